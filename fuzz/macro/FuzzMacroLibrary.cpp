// The macro library reader on arbitrary bytes: it must not crash, whatever it
// keeps must write back to a file that reads to the same library, and the tree
// operations must keep working on what was read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "macro/MacroLibrary.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

#include "FuzzCheck.h"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MacroLibrary lib;
    MacroLocation sel;
    // However far the read got, what it kept must hold together.
    const FileResult read = lib.LoadData(std::string_view(reinterpret_cast<const char*>(data), size), &sel);
    CHECK(read.ok() || (read.error == FileError::Damaged && read.line >= 1));

    // Whatever was kept round-trips exactly.
    const std::u16string text = lib.ToText(sel);
    MacroLibrary again;
    MacroLocation sel2;
    CHECK(again.LoadData(UnicodeFileBytes(text), &sel2).ok());
    CHECK(sel2 == sel);
    CHECK(again.ToText(sel2) == text);

    // Rows and locations agree.
    const auto rows = lib.Rows();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        CHECK(rows[r].IsNode() && lib.NodeAt(rows[r]));
        CHECK(lib.RowOfLocation(rows[r]) == static_cast<int>(r));
    }
    lib.ForEach([&](const MacroLocation& at, const MacroItem& item) {
        CHECK(at.IsNode() && !item.Name.empty());
        CHECK(item.IsFolder == (item.Macro == nullptr));
        if (item.Macro) {
            // The search may stop before it (behind a free entry), but what it finds is right.
            const MacroLocation found = lib.FindByIndex(item.Macro->MacroKeyIndex);
            if (found.IsNode())
                CHECK(lib.MacroAt(found) && lib.MacroAt(found)->MacroKeyIndex == item.Macro->MacroKeyIndex);
            CHECK(lib.ContainsMacro(at, item.Macro->MacroKeyIndex));
            CHECK(lib.NextMacroKeyIndex > item.Macro->MacroKeyIndex ||
                  item.Macro->MacroKeyIndex == 0xFFFFFFFF);
        }
    });

    // Tree operations on the loaded library.
    const std::size_t before = lib.NodeCount();
    MacroLocation s = sel;
    const auto added = lib.AddMacro(u"fuzz-new", s);
    CHECK((added == MacroLibrary::AddResult::Added) == (lib.NodeCount() == before + 1));
    if (added == MacroLibrary::AddResult::Added) CHECK(lib.MacroAt(s) && lib.MacroAt(s)->Name == u"fuzz-new");
    s = sel;
    lib.AddFolder(u"fuzz-folder", s);
    lib.CloseAllFolders();
    if (!rows.empty()) {
        const std::size_t n = lib.NodeCount();
        CHECK(lib.Delete(rows.front()));
        CHECK(lib.NodeCount() < n);
    }
    lib.Clear();
    CHECK(lib.Empty());
    return 0;
}
