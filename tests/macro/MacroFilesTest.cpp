#include <gtest/gtest.h>

#include "TestFiles.h"
#include "macro/MacroFiles.h"
#include "text/Language.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {
namespace {

using L = MacroLocation;
using AddResult = MacroLibrary::AddResult;

// Every node as "path" (folders end in "/"), in file order.
std::string Tree(const MacroLibrary& lib) {
    std::string s;
    lib.ForEach([&](const MacroLocation& at, const MacroItem& item) {
        s += ToUtf8(PathOf(lib, at)) + (item.IsFolder ? "/" : "") + " ";
    });
    return s;
}

class MacroFiles : public test::TempDirTest {
protected:
    // The golden library: Games/[Jump, Deep/[Ünïcode 宏=x]], Copy, Office/[Paste].
    MacroLibrary Golden() {
        MacroLibrary lib;
        const auto in = Path("golden.mlf");
        test::WriteUtf16(in, test::ReadBytes(test::MacroData("library.mlf.txt")));
        EXPECT_TRUE(lib.Load(in));
        return lib;
    }
    // The golden library exported with `selection` named in it.
    std::filesystem::path Export(const MacroLocation& selection, const char* name = "export.mbf") {
        MacroLibrary lib = Golden();
        EXPECT_TRUE(ExportLibrary(lib, selection, Path(name)));
        return Path(name);
    }
    MacroLibrary staging_;
};

TEST_F(MacroFiles, ExportNamesTheSelectedNode) {
    MacroLibrary lib = Golden();
    EXPECT_FALSE(ExportMacro(lib, L::At(0), Path("folder.mkf")));
    EXPECT_FALSE(std::filesystem::exists(Path("folder.mkf")));
    ASSERT_TRUE(ExportMacro(lib, L::At(0, 0), Path("jump.mkf")));
    MacroLibrary back;
    MacroLocation sel;
    ASSERT_TRUE(back.Load(Path("jump.mkf"), &sel));
    EXPECT_EQ(sel, L::At(0, 0));
    EXPECT_EQ(back.NodeCount(), lib.NodeCount()); // the whole library travels

    EXPECT_EQ(ToUtf8(ProposedMacroFileName(lib, L::At(1))), "Copy.mkf");
    EXPECT_EQ(ToUtf8(ProposedLibraryFileName(lib, L::At(2))), "Office.mbf");
    EXPECT_EQ(ToUtf8(ProposedLibraryFileName(lib, L::None())), "AllMacroKey.mbf");
}

TEST_F(MacroFiles, MacroImport) {
    // Where the main library already holds a macro "Copy".
    enum CopyIn { kNoCopy, kTopCopy, kDestCopy };
    struct Case {
        const char* what;
        MacroLocation fileSelection;
        CopyIn copyIn;
        bool selectFolder; // the manager has its folder "Dest" selected
        Notice notice;
        const char* tree;
    };
    const Case cases[] = {
        {"macro to the top level", L::At(1), kNoCopy, false, Notice::None, "Dest/ Copy "},
        {"macro into the selected folder", L::At(1), kNoCopy, true, Notice::None, "Dest/ Dest/Copy "},
        {"name taken", L::At(1), kTopCopy, false, Notice::NameTaken, "Dest/ Copy "},
        {"name taken in the selected folder", L::At(1), kDestCopy, true, Notice::NameTaken,
         "Dest/ Dest/Copy "},
        {"same name elsewhere is no conflict", L::At(1), kTopCopy, true, Notice::None,
         "Dest/ Copy Dest/Copy "},
        {"a folder gives an empty macro", L::At(2), kNoCopy, false, Notice::None, "Dest/ Office "},
        {"nothing named", L::None(), kNoCopy, false, Notice::None, "Dest/ "},
        {"an empty entry named", L::At(40), kNoCopy, false, Notice::None, "Dest/ "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = Export(c.fileSelection, "m.mkf");
        for (bool fromBytes : {false, true}) { // the file, then the same bytes
            SCOPED_TRACE(fromBytes);
            MacroLibrary main;
            main.NextMacroKeyIndex = 20;
            MacroLocation dest, sel;
            main.AddFolder(u"Dest", dest);
            if (c.copyIn == kTopCopy) main.AddMacro(u"Copy", sel = L::None());
            if (c.copyIn == kDestCopy) main.AddMacro(u"Copy", sel = dest);
            sel = c.selectFolder ? dest : L::None();
            const MacroLocation before = sel;
            const ImportResult r = fromBytes ? ImportMacroData(main, staging_, sel, test::ReadBytes(file))
                                             : ImportMacroFile(main, staging_, sel, file);
            EXPECT_TRUE(r.load);
            EXPECT_EQ(r.notice, c.notice);
            EXPECT_EQ(Tree(main), c.tree);
            EXPECT_TRUE(staging_.Empty());
            // The selection ends on the new macro (or stays), so the folder is not opened.
            EXPECT_FALSE(main.NodeAt(dest)->FolderIsOpen);
            if (r.created) {
                const MacroKey* m = main.MacroAt(sel);
                ASSERT_TRUE(m);
                EXPECT_EQ(m->MacroKeyIndex, c.copyIn != kNoCopy ? 21u : 20u); // its own new number
                if (c.fileSelection == L::At(1)) {
                    EXPECT_EQ(m->MacroActionNum, 3u);
                    EXPECT_EQ(m->MacroCommandActionNum, 2);
                    EXPECT_EQ(m->AllAction[1], MacroAction::Delay(120));
                    EXPECT_EQ(m->AllAction[3], MacroAction::Press(0x42));
                } else {
                    EXPECT_EQ(m->MacroActionNum, 0u);
                }
            } else {
                EXPECT_EQ(sel, before);
            }
        }
    }
}

TEST_F(MacroFiles, LibraryImportToTheTopLevel) {
    struct Case {
        const char* what;
        MacroLocation fileSelection;
        const char* tree;
        const char* last;
    };
    const Case cases[] = {
        {"everything (nothing selected in the file)", L::None(),
         "Top Games/ Copy Office/ Games/Jump Games/Deep/ Office/Paste Games/Deep/Ünïcode 宏=x ",
         "Office/Paste"},
        {"a top-level folder alone", L::At(0), "Top Games/ Games/Jump Games/Deep/ Games/Deep/Ünïcode 宏=x ",
         "Games/Deep/Ünïcode 宏=x"},
        {"a macro and its later siblings", L::At(1), "Top Copy Office/ Office/Paste ", "Office/Paste"},
        {"a second-level folder", L::At(0, 1), "Top Deep/ Deep/Ünïcode 宏=x ", "Deep/Ünïcode 宏=x"},
        {"a second-level macro", L::At(0, 0), "Top Jump Deep/ Deep/Ünïcode 宏=x ", "Deep/Ünïcode 宏=x"},
        {"an empty entry", L::At(0, 7), "Top ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = Export(c.fileSelection);
        for (bool selectMacro : {false, true}) {
            MacroLibrary main;
            MacroLocation top;
            main.AddMacro(u"Top", top);
            MacroLocation sel = selectMacro ? top : L::None();
            const ImportResult r = ImportLibraryFile(main, staging_, sel, file);
            EXPECT_EQ(r.notice, Notice::None);
            EXPECT_EQ(Tree(main), c.tree);
            EXPECT_EQ(ToUtf8(PathOf(main, sel)), *c.last ? c.last : (selectMacro ? "Top" : ""));
            EXPECT_TRUE(staging_.Empty());

            // The same file's bytes import the same way.
            MacroLibrary fromBytes;
            fromBytes.AddMacro(u"Top", top);
            MacroLocation selFromBytes = selectMacro ? top : L::None();
            ImportLibraryData(fromBytes, staging_, selFromBytes, test::ReadBytes(file));
            EXPECT_EQ(Tree(fromBytes), c.tree);
            EXPECT_EQ(selFromBytes, sel);
        }
    }
}

TEST_F(MacroFiles, LibraryImportIntoAFolder) {
    struct Case {
        const char* what;
        MacroLocation fileSelection;
        bool intoSecondLevel;
        const char* tree;
    };
    const Case cases[] = {
        // Into a top-level folder a folder comes along with its macros only.
        {"everything", L::None(), false, "D/ D/Games/ D/Copy D/Office/ D/Games/Jump D/Office/Paste "},
        {"a folder and its later siblings", L::At(0), false,
         "D/ D/Games/ D/Copy D/Office/ D/Games/Jump D/Office/Paste "},
        {"a macro and its later siblings", L::At(1), false, "D/ D/Copy D/Office/ D/Office/Paste "},
        // Into a second-level folder no folder is copied.
        {"everything, second level", L::None(), true, "D/ D/S/ D/S/Copy "},
        {"second-level run", L::At(0, 0), true, "D/ D/S/ D/S/Jump "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = Export(c.fileSelection);
        MacroLibrary main;
        MacroLocation d;
        main.AddFolder(u"D", d);
        MacroLocation sel = d;
        if (c.intoSecondLevel) main.AddFolder(u"S", sel);
        const MacroLocation dest = sel;
        const ImportResult r = ImportLibraryFile(main, staging_, sel, file);
        EXPECT_EQ(r.notice, Notice::None);
        EXPECT_EQ(Tree(main), c.tree);
        EXPECT_TRUE(main.NodeAt(dest)->FolderIsOpen);
    }
}

TEST_F(MacroFiles, LibraryImportChecksEveryNameFirst) {
    const auto file = Export(L::At(1)); // Copy, Office
    MacroLibrary main;
    MacroLocation sel;
    main.AddMacro(u"Other", sel);
    main.AddFolder(u"Office", sel = L::None());
    const auto next = main.NextMacroKeyIndex;
    sel = L::None();
    const ImportResult r = ImportLibraryFile(main, staging_, sel, file);
    EXPECT_EQ(r.notice, Notice::NameTaken);
    EXPECT_EQ(r.created, 0);
    EXPECT_EQ(Tree(main), "Other Office/ ");
    EXPECT_EQ(main.NextMacroKeyIndex, next);
    EXPECT_TRUE(staging_.Empty());
}

TEST_F(MacroFiles, LibraryImportSkipsWhatAFullFolderRefuses) {
    const auto file = Export(L::None());
    MacroLibrary main;
    MacroLocation d;
    main.AddFolder(u"D", d);
    for (int i = 0; i < 59; ++i) {
        MacroLocation sel = d;
        main.AddMacro(FromUtf8(std::string("m") + std::to_string(i)), sel);
    }
    MacroLocation sel = d;
    const ImportResult r = ImportLibraryFile(main, staging_, sel, file);
    EXPECT_EQ(r.notice, Notice::None);
    EXPECT_EQ(r.created, 2); // Games and its macro Jump; Copy and Office find no room
    EXPECT_EQ(ToUtf8(PathOf(main, sel)), "D/Games/Jump");
}

TEST_F(MacroFiles, DamagedFileImportsWhatWasRead) {
    auto lines = test::SplitLines(test::ReadBytes(test::MacroData("library.mlf.txt")));
    lines.resize(30); // ends inside Jump
    test::WriteUtf16(Path("cut.mbf"), test::JoinLines(lines));
    MacroLibrary main;
    MacroLocation sel;
    const ImportResult r = ImportLibraryFile(main, staging_, sel, Path("cut.mbf"));
    EXPECT_FALSE(r.load);
    EXPECT_EQ(r.load.error, FileError::Damaged);
    EXPECT_EQ(Tree(main), "Games/ Copy Office/ ");
    EXPECT_EQ(ImportLibraryFile(main, staging_, sel, Path("none.mbf")).created, 0);
}

// Counts beyond the step slots (a hand-edited file) travel as stored, as a
// profile file keeps them; whatever uses the steps reads the 336 slots.
TEST_F(MacroFiles, ImportKeepsCountsBeyondTheSlots) {
    auto lines = test::SplitLines(test::ReadBytes(test::MacroData("library.mlf.txt")));
    ASSERT_EQ(lines[14], "MacroActionNum=3");
    lines[14] = "MacroActionNum=100000";
    lines[15] = "MacroCommandActionNum=200";
    lines[2] = "Select Locaton:stage=0;stage0Index=1;stage1Index=0;stage2Index=0;"; // Copy
    test::WriteUtf16(Path("big.mkf"), test::JoinLines(lines));
    for (bool library : {false, true}) {
        SCOPED_TRACE(library);
        MacroLibrary main;
        MacroLocation sel;
        const ImportResult r = library ? ImportLibraryFile(main, staging_, sel, Path("big.mkf"))
                                       : ImportMacroFile(main, staging_, sel, Path("big.mkf"));
        ASSERT_TRUE(r.load);
        // The library import brings Copy and the siblings after it, Copy first.
        const MacroKey* m = main.MacroAt(library ? L::At(0) : sel);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->MacroActionNum, 100000u);
        EXPECT_EQ(m->MacroCommandActionNum, 200);
        EXPECT_EQ(m->ValidCount(), MacroKey::kMaxActions);
        EXPECT_EQ(m->AllAction[3], MacroAction::Press(0x42));
        // The library writes back with the counts it read.
        MacroLibrary again;
        ASSERT_TRUE(again.LoadData(UnicodeFileBytes(main.ToText(sel))));
        EXPECT_EQ(again.ToText(sel), main.ToText(sel));
    }
}

TEST_F(MacroFiles, SelectionDialogNeedsAMacro) {
    Language().Set(190, u"Macro:");
    MacroLibrary lib = Golden();
    EXPECT_EQ(ChooseMacro(lib, L::At(0)).notice, Notice::NoMacroSelected);
    EXPECT_EQ(ChooseMacro(lib, L::None()).notice, Notice::NoMacroSelected);
    const MacroSelectResult r = ChooseMacro(lib, L::At(0, 0));
    ASSERT_TRUE(r.choice);
    EXPECT_EQ(r.notice, Notice::None);
    EXPECT_EQ(ToUtf8(r.choice->name), "Macro:Jump");
    EXPECT_EQ(r.choice->action, (KeyAction{0x90, 0, 0}));
    EXPECT_EQ(r.macro, lib.MacroAt(L::At(0, 0)));
    Language().Set(190, u"");
}

TEST_F(MacroFiles, PathsByName) {
    MacroLibrary lib = Golden();
    EXPECT_EQ(FindByPath(lib, u"Games/Deep/Ünïcode 宏=x"), L::At(0, 1, 0));
    EXPECT_EQ(FindByPath(lib, u"Copy"), L::At(1));
    EXPECT_FALSE(FindByPath(lib, u"Games/Nope").IsNode());
    EXPECT_FALSE(FindByPath(lib, u"").IsNode());
    EXPECT_FALSE(FindByPath(lib, u"Games/Deep/Ünïcode 宏=x/more").IsNode());
}

} // namespace
} // namespace tarvik
