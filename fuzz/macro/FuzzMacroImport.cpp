// Macro (.mkf) and library (.mbf) import of arbitrary bytes into a small main
// library, at a destination chosen by the first byte. Whatever the file holds,
// the main library stays a well-formed tree that writes back to itself, a
// refused import changes nothing, and the staging library is left empty.
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "macro/MacroFiles.h"
#include "text/StdioFileEx.h"

#include "FuzzCheck.h"

using namespace tarvik;

namespace {

using L = MacroLocation;

// Games/[Jump, Deep/[x]], Copy, Office/[Paste]; the next macro number is 10.
void FillMain(MacroLibrary& lib) {
    lib.NextMacroKeyIndex = 10;
    L games, deep, office, added;
    lib.AddChild(L::None(), u"Games", true, &games);
    lib.AddChild(games, u"Jump", false, &added);
    lib.AddChild(games, u"Deep", true, &deep);
    lib.AddChild(deep, u"x", false, &added);
    lib.AddChild(L::None(), u"Copy", false, &added);
    lib.AddChild(L::None(), u"Office", true, &office);
    lib.AddChild(office, u"Paste", false, &added);
}

// Where the manager's selection is when the user imports.
constexpr L kDestinations[] = {
    {-1, 0, 0, 0}, {0, 0, 0, 0}, {1, 0, 1, 0}, {2, 0, 1, 0},
    {0, 1, 0, 0},  {0, 2, 0, 0}, {1, 2, 0, 0}, {0, 7, 0, 0},
};

// Folders only above stage 2, every node under a stored folder, sibling names
// distinct and macro numbers below the next one. Step counts are not bounded:
// a count beyond the slots travels as the file holds it.
void CheckTree(const MacroLibrary& lib) {
    std::map<std::uint32_t, std::set<std::u16string>> names; // by parent, keyed as stage*1e6+indices
    lib.ForEach([&](const L& at, const MacroItem& item) {
        CHECK(at.IsNode() && !item.Name.empty());
        CHECK(item.IsFolder == (item.Macro == nullptr));
        CHECK(!(item.IsFolder && at.stage == 2));
        const L parent = at.Parent();
        if (parent.IsNode()) CHECK(lib.NodeAt(parent) && lib.NodeAt(parent)->IsFolder);
        const auto key =
            static_cast<std::uint32_t>((parent.stage + 1) * 1000000 + parent.stage0Index * 10000 +
                                       parent.stage1Index * 100 + parent.stage2Index);
        CHECK(names[key].insert(item.Name).second);
        if (item.Macro) {
            CHECK(item.Macro->MacroKeyIndex < lib.NextMacroKeyIndex);
        }
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool libraryImport = data[0] & 0x80;
    const L destination = kDestinations[data[0] % std::size(kDestinations)];
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);

    MacroLibrary main;
    FillMain(main);
    MacroLibrary staging;
    // The library is the same before every import: its text is made once.
    static const std::u16string before = main.ToText(L::None());
    static const std::size_t nodesBefore = main.NodeCount();

    L selection = destination;
    const ImportResult r = libraryImport ? ImportLibraryData(main, staging, selection, file)
                                         : ImportMacroData(main, staging, selection, file);
    CHECK(staging.Empty());
    CHECK(r.load.ok() || r.load.error == FileError::Damaged);
    CHECK(main.NodeCount() == nodesBefore + static_cast<std::size_t>(r.created));
    if (!libraryImport) CHECK(r.created <= 1);
    if (r.notice == Notice::NameTaken) {
        CHECK(r.created == 0 && main.ToText(L::None()) == before);
    } else {
        CHECK(r.notice == Notice::None);
    }
    if (r.created) {
        CHECK(main.NodeAt(selection));
        if (!libraryImport) {
            // The new macro is the file's selected macro under a new number.
            const MacroKey* m = main.MacroAt(selection);
            CHECK(m && m->MacroKeyIndex >= 10);
            MacroLibrary source;
            L fileSelection;
            (void)source.LoadData(file, &fileSelection);
            const MacroItem* from = source.NodeAt(fileSelection);
            CHECK(from && m->Name == from->Name);
            if (from->Macro) {
                const MacroKey& f = *from->Macro;
                CHECK(m->MacroActionNum == f.MacroActionNum &&
                      m->MacroCommandActionNum == f.MacroCommandActionNum &&
                      m->MacroKeyLoopType == f.MacroKeyLoopType && m->MacroKeyLoopNum == f.MacroKeyLoopNum &&
                      m->AllAction == f.AllAction);
            } else {
                CHECK(m->MacroActionNum == 0); // a folder gives an empty macro
            }
        }
    } else {
        CHECK(selection == destination);
    }
    CheckTree(main);

    // The library after the import writes back to itself.
    const std::u16string text = main.ToText(selection);
    MacroLibrary again;
    L selectionAgain;
    CHECK(again.LoadData(UnicodeFileBytes(text), &selectionAgain).ok());
    CHECK(selectionAgain == selection);
    CHECK(again.ToText(selectionAgain) == text);
    return 0;
}
