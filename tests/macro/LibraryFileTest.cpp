#include <gtest/gtest.h>

#include <algorithm>

#include "TestFiles.h"
#include "macro/MacroLibrary.h"
#include "text/Log.h"
#include "text/U16.h"

namespace tarvik {
namespace {

using L = MacroLocation;

class LibraryFile : public test::TempDirTest {
protected:
    std::string golden_ = test::ReadBytes(test::MacroData("library.mlf.txt"));

    std::filesystem::path WriteLines(const std::vector<std::string>& lines,
                                     const std::string& name = "lib.mlf") {
        const auto p = Path(name);
        test::WriteUtf16(p, test::JoinLines(lines));
        return p;
    }
};

TEST_F(LibraryFile, GoldenFileLoadsAndSavesByteForByte) {
    const auto in = Path("in.mlf");
    test::WriteUtf16(in, golden_);
    MacroLibrary lib;
    MacroLocation sel = L::At(5);
    const FileResult r = lib.Load(in, &sel);
    ASSERT_TRUE(r) << r.Describe();
    EXPECT_EQ(sel, L::None());
    EXPECT_EQ(lib.NextMacroKeyIndex, 6u);
    EXPECT_EQ(lib.NodeCount(), 7u);
    EXPECT_EQ(lib.MacroCount(), 4u);

    const MacroItem* games = lib.NodeAt(L::At(0));
    ASSERT_TRUE(games && games->IsFolder && games->FolderIsOpen && !games->Macro);
    const MacroKey* copy = lib.MacroAt(L::At(1));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Name, u"Copy");
    EXPECT_EQ(copy->MacroActionNum, 3u);
    EXPECT_EQ(copy->MacroCommandActionNum, 2);
    EXPECT_EQ(copy->AllAction[1], MacroAction::Delay(120));
    EXPECT_EQ(copy->AllAction[3], MacroAction::Press(0x42)); // beyond the count, still kept
    const MacroKey* deep = lib.MacroAt(L::At(0, 1, 0));
    ASSERT_TRUE(deep);
    EXPECT_EQ(ToUtf8(deep->Name), "Ünïcode 宏=x");
    EXPECT_EQ(deep->MacroKeyLoopNum, 255);
    EXPECT_EQ(deep->AllAction[3], MacroAction::FromBytes(0xE6, 0, 0, 5));
    EXPECT_EQ(lib.MacroAt(L::At(0, 0))->MacroKeyLoopType, 4);
    EXPECT_EQ(lib.MacroAt(L::At(2, 0))->MacroKeyLoopType, 1);

    const auto out = Path("out.mlf");
    ASSERT_TRUE(lib.Save(out));
    EXPECT_EQ(test::ReadBytes(out), test::Utf16File(FromUtf8(golden_)));

    // The selection passed in is what line 3 says.
    ASSERT_TRUE(lib.Save(out, L::At(0, 1, 0)));
    EXPECT_EQ(test::SplitLines(ToUtf8(lib.ToText(L::At(0, 1, 0))))[2],
              "Select Locaton:stage=2;stage0Index=0;stage1Index=1;stage2Index=0;");
}

TEST_F(LibraryFile, WriterPutsEachLevelAfterTheOneAbove) {
    MacroLibrary lib;
    MacroLocation sel;
    ASSERT_EQ(lib.AddFolder(u"F", sel), MacroLibrary::AddResult::Added);
    lib.NodeAt(sel)->FolderIsOpen = true;
    ASSERT_EQ(lib.AddMacro(u"m", sel), MacroLibrary::AddResult::Added);
    ASSERT_EQ(lib.AddMacro(u"top", sel = L::None()), MacroLibrary::AddResult::Added);
    const auto lines = test::SplitLines(ToUtf8(lib.ToText(L::None())));
    ASSERT_EQ(lines.size(), 3u + 4 + 10 + 10);
    EXPECT_EQ(lines[1], "MacroKeyIndex=3");
    EXPECT_EQ(lines[3], "++++++++MacroItemName=F");
    EXPECT_EQ(lines[6], "MacroItemFolderIsOpen=1");
    EXPECT_EQ(lines[7], "++++++++MacroItemName=top"); // stage 0 before stage 1
    EXPECT_EQ(lines[11], "MacroKeyIndex=2");
    EXPECT_EQ(lines[17], "\t++++++++MacroItemName=m");
    EXPECT_EQ(lines[18], "\tMacroItemLocation:stage=1;stage0Index=0;stage1Index=0;stage2Index=0;");
    for (std::size_t i = 17; i < 27; ++i) {
        EXPECT_EQ(lines[i][0], '\t');
        EXPECT_NE(lines[i][1], '\t');
    }
    EXPECT_EQ(lines[26].size(), 1 + 10 + 2688u);
}

// Each case edits the golden file; the load fails at `line` (0: succeeds) and
// keeps `kept` nodes.
struct Damage {
    const char* what;
    std::function<void(std::vector<std::string>&)> edit;
    int line;
    std::size_t kept;
};

TEST_F(LibraryFile, LoadStopsAtTheFirstBadLineAndKeepsWhatCameBefore) {
    auto setLine = [](int n, std::string text) {
        return [n, text](std::vector<std::string>& l) { l[static_cast<std::size_t>(n - 1)] = text; };
    };
    auto cutLine = [](int n, int delta) {
        return [n, delta](std::vector<std::string>& l) {
            auto& s = l[static_cast<std::size_t>(n - 1)];
            if (delta < 0)
                s.resize(s.size() - static_cast<std::size_t>(-delta));
            else
                s += std::string(static_cast<std::size_t>(delta), '0');
        };
    };
    auto keepLines = [](int n) {
        return [n](std::vector<std::string>& l) { l.resize(static_cast<std::size_t>(n)); };
    };
    const Damage cases[] = {
        {"header followed by a blank", setLine(1, "[MacroLibrary] "), 1, 0},
        {"number line without =", setLine(2, "MacroKeyIndex 6"), 2, 0},
        {"selection with three numbers", setLine(3, "Select Locaton:stage=-1;stage0Index=0;stage1Index=0;"),
         3, 0},
        {"file ends after line 2", keepLines(2), 3, 0},
        {"steps one digit short", cutLine(17, -1), 17, 1},
        {"steps one digit long", cutLine(17, 1), 17, 1},
        {"empty loop count", setLine(14, "MacroKeyLoopNum="), 14, 1},
        {"folder flag without =", setLine(20, "MacroItemIsFolder1"), 20, 2},
        {"empty name", setLine(22, "\t++++++++MacroItemName="), 22, 3},
        {"stage 3", setLine(23, "\tMacroItemLocation:stage=3;stage0Index=0;stage1Index=0;stage2Index=0;"), 23,
         3},
        {"index 60", setLine(23, "\tMacroItemLocation:stage=1;stage0Index=60;stage1Index=0;stage2Index=0;"),
         23, 3},
        {"negative index",
         setLine(23, "\tMacroItemLocation:stage=1;stage0Index=0;stage1Index=-1;stage2Index=0;"), 23, 3},
        {"file ends inside a record", keepLines(50), 51, 6},
        {"empty line after the last record", [](auto& l) { l.push_back(""); }, 56, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto lines = test::SplitLines(golden_);
        c.edit(lines);
        MacroLibrary lib;
        const FileResult r = lib.Load(WriteLines(lines));
        EXPECT_EQ(r.error, FileError::Damaged);
        EXPECT_EQ(r.line, c.line) << r.reason;
        EXPECT_EQ(lib.NodeCount(), c.kept);
    }
}

// A library saved on another system, with CR LF line ends, reads as the same library.
TEST_F(LibraryFile, CarriageReturnLineFeedReadsAsLineFeed) {
    auto lines = test::SplitLines(golden_);
    MacroLibrary plain;
    ASSERT_TRUE(plain.Load(WriteLines(lines)));
    for (auto& l : lines) l += "\r";
    MacroLibrary crlf;
    MacroLocation sel;
    ASSERT_TRUE(crlf.Load(WriteLines(lines), &sel));
    EXPECT_EQ(crlf.NodeCount(), 7u);
    EXPECT_EQ(crlf.ToText(sel), plain.ToText(sel));
}

TEST_F(LibraryFile, LenientFieldsAndEmptyLibraries) {
    auto lines = test::SplitLines(golden_);
    lines[13] = "MacroKeyLoopNum=300";    // low 8 bits: 44
    lines[11] = "MacroKeyIndex=1x";       // leading digits
    lines[15] = "MacroCommandActionNum="; // empty: fails...
    {
        MacroLibrary lib;
        EXPECT_FALSE(lib.Load(WriteLines(lines)));
    }
    lines[15] = "MacroCommandActionNum=abc"; // ...no digits: 0
    lines[16].replace(10, 8, "zz123456");    // a pair without hex digits reads 0
    MacroLibrary lib;
    ASSERT_TRUE(lib.Load(WriteLines(lines)));
    const MacroKey* m = lib.MacroAt(L::At(1));
    EXPECT_EQ(m->MacroKeyLoopNum, 44);
    EXPECT_EQ(m->MacroKeyIndex, 1u);
    EXPECT_EQ(m->MacroCommandActionNum, 0);
    EXPECT_EQ(m->AllAction[0], MacroAction::FromBytes(0, 0x12, 0x34, 0x56));

    // Ends after the selection line: an empty library.
    lines.resize(3);
    ASSERT_TRUE(lib.Load(WriteLines(lines)));
    EXPECT_TRUE(lib.Empty());
    EXPECT_EQ(lib.NextMacroKeyIndex, 6u);
}

TEST_F(LibraryFile, StoredNumbersRaiseALowCounter) {
    auto lines = test::SplitLines(golden_);
    lines[1] = "MacroKeyIndex=2";
    MacroLibrary lib;
    ASSERT_TRUE(lib.Load(WriteLines(lines)));
    EXPECT_EQ(lib.NextMacroKeyIndex, 6u); // macros 1, 2, 4, 5 are stored

    // Also when the load fails: number 0 would mean "no macro".
    lines[1] = "MacroKeyIndex=0";
    lines[2] = "Select Locaton:";
    EXPECT_FALSE(lib.Load(WriteLines(lines)));
    EXPECT_TRUE(lib.Empty());
    EXPECT_EQ(lib.NextMacroKeyIndex, 1u);
}

TEST_F(LibraryFile, UnreadableFileLeavesTheLibraryAlone) {
    MacroLibrary lib;
    MacroLocation sel;
    lib.AddMacro(u"kept", sel);
    EXPECT_EQ(lib.Load(Path("missing.mlf")).error, FileError::Missing);
    EXPECT_EQ(lib.NodeCount(), 1u);
    // A folder where the file should be exists but cannot be read.
    std::filesystem::create_directory(Path("folder.mlf"));
    EXPECT_EQ(lib.Load(Path("folder.mlf")).error, FileError::Unreadable);
    EXPECT_EQ(lib.NodeCount(), 1u);
}

TEST_F(LibraryFile, DamagedMainLibraryIsKeptAsBackupAndLoggedOnce) {
    std::vector<std::string> problems;
    auto old = SetProblemSink([&](const std::string& m) { problems.push_back(m); }, true);

    MacroLibrary lib;
    EXPECT_EQ(LoadMainLibrary(lib, Path("MacroLibraryFile.mlf")).state,
              LoadState::Missing); // first run: nothing to report
    EXPECT_TRUE(problems.empty());

    auto lines = test::SplitLines(golden_);
    lines[22] = "\tMacroItemLocation:stage=9;stage0Index=0;stage1Index=0;stage2Index=0;";
    const auto path = WriteLines(lines, "MacroLibraryFile.mlf");
    const std::string damaged = test::ReadBytes(path);
    const LoadOutcome damagedLoad = LoadMainLibrary(lib, path);
    EXPECT_EQ(damagedLoad.state, LoadState::Replaced);
    EXPECT_EQ(damagedLoad.backup, Path("MacroLibraryFile.mlf.bak"));
    EXPECT_EQ(lib.NodeCount(), 3u);
    EXPECT_EQ(test::ReadBytes(Path("MacroLibraryFile.mlf.bak")), damaged);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("line 23"), std::string::npos) << problems[0];

    std::filesystem::remove(Path("MacroLibraryFile.mlf.bak"));
    test::WriteUtf16(path, golden_);
    EXPECT_EQ(LoadMainLibrary(lib, path).state, LoadState::Loaded);
    EXPECT_FALSE(std::filesystem::exists(Path("MacroLibraryFile.mlf.bak")));
    EXPECT_EQ(problems.size(), 1u);
    SetProblemSink(old);
}

} // namespace
} // namespace tarvik
