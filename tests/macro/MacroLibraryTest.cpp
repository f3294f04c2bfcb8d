#include <gtest/gtest.h>

#include "TestFiles.h"
#include "macro/MacroLibrary.h"
#include "text/U16.h"

namespace tarvik {
namespace {

using AddResult = MacroLibrary::AddResult;
using L = MacroLocation;

std::string NameAt(const MacroLibrary& lib, const MacroLocation& at) {
    const MacroItem* n = lib.NodeAt(at);
    return n ? ToUtf8(n->Name) : "-";
}

// Adds under `parent` and returns where the node went.
MacroLocation Add(MacroLibrary& lib, const MacroLocation& parent, const char* name, bool folder) {
    MacroLocation at;
    EXPECT_EQ(lib.AddChild(parent, FromUtf8(name), folder, &at), AddResult::Added) << name;
    return at;
}

// Top: F0 (folder) [m0, F01 (folder) [x]], M1, F2 (folder) [z]
struct SmallTree {
    MacroLibrary lib;
    MacroLocation F0, m0, F01, x, M1, F2, z;
    SmallTree() {
        F0 = Add(lib, L::None(), "F0", true);
        m0 = Add(lib, F0, "m0", false);
        F01 = Add(lib, F0, "F01", true);
        x = Add(lib, F01, "x", false);
        M1 = Add(lib, L::None(), "M1", false);
        F2 = Add(lib, L::None(), "F2", true);
        z = Add(lib, F2, "z", false);
    }
};

TEST(MacroLibrary, DestinationOfANewNodeFollowsTheSelection) {
    SmallTree t;
    struct Case {
        const char* what;
        MacroLocation selection;
        bool folder;
        AddResult result;
        MacroLocation added;
    };
    const Case cases[] = {
        {"macro, nothing selected", L::None(), false, AddResult::Added, L::At(3)},
        {"macro, top-level macro selected", t.M1, false, AddResult::Added, L::At(3)},
        {"macro, stage-0 folder selected", t.F0, false, AddResult::Added, L::At(0, 2)},
        {"macro, stage-1 folder selected", t.F01, false, AddResult::Added, L::At(0, 1, 1)},
        {"macro, stage-1 macro selected", t.m0, false, AddResult::Added, L::At(3)},
        {"macro, stage-2 macro selected", t.x, false, AddResult::Added, L::At(3)},
        {"folder, nothing selected", L::None(), true, AddResult::Added, L::At(3)},
        {"folder, stage-0 folder selected", t.F2, true, AddResult::Added, L::At(2, 1)},
        {"folder, stage-1 folder selected", t.F01, true, AddResult::NotAllowed, t.F01},
        {"folder, stage-2 macro selected", t.x, true, AddResult::Added, L::At(3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SmallTree fresh;
        MacroLocation sel = c.selection;
        const auto r = c.folder ? fresh.lib.AddFolder(u"new", sel) : fresh.lib.AddMacro(u"new", sel);
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(sel, c.added);
        if (r == AddResult::Added) {
            EXPECT_EQ(NameAt(fresh.lib, c.added), "new");
            EXPECT_EQ(fresh.lib.NodeAt(c.added)->IsFolder, c.folder);
            EXPECT_EQ(fresh.lib.MacroAt(c.added) != nullptr, !c.folder);
        }
    }
}

TEST(MacroLibrary, NameConflictsAreBySiblingListAndExact) {
    SmallTree t;
    const auto next = t.lib.NextMacroKeyIndex;
    MacroLocation sel = L::None();
    EXPECT_EQ(t.lib.AddMacro(u"M1", sel), AddResult::NameConflict);
    EXPECT_EQ(t.lib.AddFolder(u"M1", sel), AddResult::NameConflict); // folders and macros share names
    sel = t.M1;
    EXPECT_EQ(t.lib.AddMacro(u"F2", sel), AddResult::NameConflict);
    EXPECT_EQ(sel, t.M1);
    EXPECT_EQ(t.lib.NextMacroKeyIndex, next);
    EXPECT_EQ(t.lib.NodeCount(), 7u);

    sel = t.F0;
    EXPECT_EQ(t.lib.AddMacro(u"M1", sel), AddResult::Added); // another list
    sel = L::None();
    EXPECT_EQ(t.lib.AddMacro(u"m1", sel), AddResult::Added); // case-sensitive
    EXPECT_EQ(t.lib.AddMacro(u"", sel), AddResult::InvalidName);
    EXPECT_EQ(t.lib.AddMacro(u"two\nlines", sel), AddResult::InvalidName);

    EXPECT_EQ(t.lib.Rename(t.M1, u"F0"), AddResult::NameConflict);
    EXPECT_EQ(t.lib.Rename(t.M1, u"M1"), AddResult::Added);
    EXPECT_EQ(t.lib.Rename(t.M1, u"Renamed"), AddResult::Added);
    EXPECT_EQ(NameAt(t.lib, t.M1), "Renamed");
    EXPECT_EQ(t.lib.MacroAt(t.M1)->Name, u"Renamed");
}

TEST(MacroLibrary, FullSiblingListTakesNothing) {
    MacroLibrary lib;
    MacroLocation folder = Add(lib, L::None(), "folder", true);
    for (int i = 0; i < MacroLibrary::kEntries; ++i)
        Add(lib, folder, (std::string("m") + std::to_string(i)).c_str(), false);
    MacroLocation sel = folder;
    const auto next = lib.NextMacroKeyIndex;
    EXPECT_EQ(lib.AddMacro(u"one more", sel), AddResult::Full);
    EXPECT_EQ(lib.AddFolder(u"one more", sel), AddResult::Full);
    EXPECT_EQ(sel, folder);
    EXPECT_EQ(lib.NextMacroKeyIndex, next);
    EXPECT_EQ(lib.NodeCount(), 61u);

    ASSERT_TRUE(lib.Delete(L::At(0, 10)));
    EXPECT_EQ(lib.AddMacro(u"one more", sel), AddResult::Added);
    EXPECT_EQ(sel, L::At(0, 59));
}

TEST(MacroLibrary, NewMacroNumbersAreNeverReused) {
    MacroLibrary lib;
    lib.NextMacroKeyIndex = 7;
    MacroLocation sel;
    ASSERT_EQ(lib.AddMacro(u"a", sel), AddResult::Added);
    EXPECT_EQ(lib.MacroAt(sel)->MacroKeyIndex, 7u);
    EXPECT_EQ(lib.MacroAt(sel)->Name, u"a");
    EXPECT_EQ(lib.MacroAt(sel)->MacroKeyLoopType, 2);
    lib.Delete(sel);
    sel = L::None();
    ASSERT_EQ(lib.AddFolder(u"f", sel), AddResult::Added); // folders take no number
    ASSERT_EQ(lib.AddMacro(u"b", sel), AddResult::Added);
    EXPECT_EQ(lib.MacroAt(sel)->MacroKeyIndex, 8u);
    EXPECT_EQ(lib.NextMacroKeyIndex, 9u);
}

TEST(MacroLibrary, DeleteMovesLaterSiblingsWithTheirSubtrees) {
    MacroLibrary lib;
    // Five top-level folders n0..n4, each with a macro and a sub-folder holding a macro.
    for (int i = 0; i < 5; ++i) {
        const std::string n = std::string("n") + std::to_string(i);
        MacroLocation f = Add(lib, L::None(), n.c_str(), true);
        Add(lib, f, (n + "-m").c_str(), false);
        MacroLocation sub = Add(lib, f, (n + "-f").c_str(), true);
        Add(lib, sub, (n + "-f-m").c_str(), false);
    }
    const std::uint32_t gone = lib.MacroAt(L::At(2, 0))->MacroKeyIndex;
    const std::uint32_t moved = lib.MacroAt(L::At(4, 1, 0))->MacroKeyIndex;
    ASSERT_TRUE(lib.Delete(L::At(2)));

    const std::pair<MacroLocation, const char*> expect[] = {
        {L::At(1), "n1"},      {L::At(1, 1, 0), "n1-f-m"}, {L::At(2), "n3"},      {L::At(2, 0), "n3-m"},
        {L::At(2, 1), "n3-f"}, {L::At(2, 1, 0), "n3-f-m"}, {L::At(3), "n4"},      {L::At(3, 1, 0), "n4-f-m"},
        {L::At(4), "-"},       {L::At(4, 0), "-"},         {L::At(4, 1, 0), "-"},
    };
    for (const auto& [at, name] : expect) EXPECT_EQ(NameAt(lib, at), name) << at.stage << at.stage0Index;
    EXPECT_EQ(lib.NodeCount(), 16u);
    EXPECT_FALSE(lib.FindByIndex(gone).IsNode());
    EXPECT_EQ(lib.FindByIndex(moved), L::At(3, 1, 0));

    // Inside a folder: the later sub-folder takes its macro along.
    ASSERT_TRUE(lib.Delete(L::At(0, 0)));
    EXPECT_EQ(NameAt(lib, L::At(0, 0)), "n0-f");
    EXPECT_EQ(NameAt(lib, L::At(0, 0, 0)), "n0-f-m");
    EXPECT_EQ(NameAt(lib, L::At(0, 1)), "-");
    EXPECT_EQ(NameAt(lib, L::At(0, 1, 0)), "-");
    EXPECT_FALSE(lib.Delete(L::At(0, 5)));
}

TEST(MacroLibrary, RowsOfOpenAndClosedFolders) {
    SmallTree t;
    auto names = [&] {
        std::string s;
        for (const auto& at : t.lib.Rows()) s += NameAt(t.lib, at) + " ";
        return s;
    };
    EXPECT_EQ(names(), "F0 M1 F2 ");
    t.lib.NodeAt(t.F0)->FolderIsOpen = true;
    EXPECT_EQ(names(), "F0 m0 F01 M1 F2 ");
    t.lib.NodeAt(t.F01)->FolderIsOpen = true;
    t.lib.NodeAt(t.F2)->FolderIsOpen = true;
    EXPECT_EQ(names(), "F0 m0 F01 x M1 F2 z ");
    EXPECT_EQ(t.lib.RowCount(), 7);
    EXPECT_EQ(t.lib.LocationOfRow(3), t.x);
    EXPECT_EQ(t.lib.LocationOfRow(7), L::None());
    EXPECT_EQ(t.lib.LocationOfRow(-1), L::None());
    EXPECT_EQ(t.lib.RowOfLocation(t.z), 6);
    // An open sub-folder inside a closed folder is not shown.
    t.lib.NodeAt(t.F0)->FolderIsOpen = false;
    EXPECT_EQ(names(), "F0 M1 F2 z ");
    EXPECT_EQ(t.lib.RowOfLocation(t.x), -1);
    EXPECT_EQ(t.lib.RowOfLocation(L::None()), -1);

    t.lib.CloseAllFolders();
    EXPECT_EQ(names(), "F0 M1 F2 ");
    EXPECT_FALSE(t.lib.NodeAt(t.F01)->FolderIsOpen);
}

// The row list is kept between queries; each kind of change must show at the next one.
TEST(MacroLibrary, RowsFollowEveryChangeOfTheTree) {
    SmallTree t;
    t.lib.NodeAt(t.F0)->FolderIsOpen = true;
    EXPECT_EQ(t.lib.RowCount(), 5);
    const MacroLocation added = Add(t.lib, t.F0, "m2", false);
    EXPECT_EQ(t.lib.RowCount(), 6);
    EXPECT_EQ(t.lib.RowOfLocation(added), 3);
    ASSERT_TRUE(t.lib.Delete(t.m0));
    EXPECT_EQ(t.lib.RowCount(), 5);
    EXPECT_EQ(NameAt(t.lib, t.lib.LocationOfRow(1)), "F01");

    MacroLibrary copy;
    const std::u16string text = t.lib.ToText(L::None());
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    EXPECT_EQ(copy.RowCount(), 0);
    ASSERT_TRUE(copy.LoadData(bytes));
    EXPECT_EQ(copy.Rows(), t.lib.Rows());
    copy.Clear();
    EXPECT_EQ(copy.RowCount(), 0);
    EXPECT_EQ(copy.LocationOfRow(0), L::None());
}

// A clone writes the same file and is a library of its own.
TEST(MacroLibrary, CloneIsAWholeIndependentCopy) {
    SmallTree t;
    t.lib.MacroAt(t.x)->InsertAction(0, MacroAction::Press(0x41));
    t.lib.NodeAt(t.F0)->FolderIsOpen = true;
    MacroLibrary copy = t.lib.Clone();
    EXPECT_EQ(copy.ToText(L::None()), t.lib.ToText(L::None()));
    EXPECT_EQ(copy.NextMacroKeyIndex, t.lib.NextMacroKeyIndex);
    EXPECT_EQ(copy.RowCount(), t.lib.RowCount());
    copy.MacroAt(t.x)->InsertAction(0, MacroAction::Press(0x42));
    copy.Delete(t.M1);
    EXPECT_EQ(t.lib.MacroAt(t.x)->ValidCount(), 1u);
    EXPECT_EQ(NameAt(t.lib, t.M1), "M1");
}

TEST(MacroLibrary, ContainsMacroLooksIntoFolders) {
    SmallTree t;
    const auto idx = [&](const MacroLocation& at) { return t.lib.MacroAt(at)->MacroKeyIndex; };
    EXPECT_TRUE(t.lib.ContainsMacro(t.F0, idx(t.x)));
    EXPECT_TRUE(t.lib.ContainsMacro(t.F0, idx(t.m0)));
    EXPECT_TRUE(t.lib.ContainsMacro(t.F01, idx(t.x)));
    EXPECT_TRUE(t.lib.ContainsMacro(t.M1, idx(t.M1)));
    EXPECT_FALSE(t.lib.ContainsMacro(t.F0, idx(t.z)));
    EXPECT_FALSE(t.lib.ContainsMacro(t.M1, idx(t.x)));
    EXPECT_FALSE(t.lib.ContainsMacro(L::None(), idx(t.x)));
}

class MacroLibraryGaps : public test::TempDirTest {};

TEST_F(MacroLibraryGaps, ScansStopAtTheFirstFreeEntryButLoadedGapsAreKept) {
    // A hand-made file: top-level entries 0 and 2, a macro numbered 9 behind the gap.
    const auto path = Path("gap.mlf");
    auto rec = [](int s0, const char* name, int index) {
        return std::string("++++++++MacroItemName=") + name +
               "\nMacroItemLocation:stage=0;stage0Index=" + std::to_string(s0) +
               ";stage1Index=0;stage2Index=0;\nMacroItemIsFolder=0\nMacroItemFolderIsOpen=0\nMacroKeyIndex=" +
               std::to_string(index) +
               "\nMacroKeyLoopType=2\nMacroKeyLoopNum=1\nMacroActionNum=0\n"
               "MacroCommandActionNum=0\nAllAction=" +
               std::string(2688, '0') + "\n";
    };
    test::WriteUtf16(path,
                     "[MacroLibrary]\nMacroKeyIndex=10\nSelect Locaton:stage=-1;stage0Index=0;stage1Index=0;"
                     "stage2Index=0;\n" +
                         rec(0, "a", 3) + rec(2, "c", 9));
    MacroLibrary lib;
    ASSERT_TRUE(lib.Load(path));
    EXPECT_EQ(lib.RowCount(), 2); // the tree shows both
    EXPECT_EQ(lib.FindByIndex(3), L::At(0));
    EXPECT_FALSE(lib.FindByIndex(9).IsNode()); // the search stops at entry 1
    MacroLocation sel;
    ASSERT_EQ(lib.AddMacro(u"b", sel), AddResult::Added);
    EXPECT_EQ(sel, L::At(1)); // first free entry
    EXPECT_EQ(lib.FindByIndex(9), L::At(2));
    lib.Clear();
    EXPECT_TRUE(lib.Empty());
}

} // namespace
} // namespace tarvik
