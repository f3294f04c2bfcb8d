#include <gtest/gtest.h>

#include <array>

#include "TestFiles.h"
#include "macro/MacroEditor.h"
#include "text/Log.h"
#include "text/U16.h"

namespace tarvik {
namespace {

using test::S;

using L = MacroLocation;

std::vector<MacroAction> Steps(const MacroKey& m) {
    return {m.AllAction.begin(), m.AllAction.begin() + static_cast<std::ptrdiff_t>(m.ValidCount())};
}

constexpr std::uint32_t kUp = 0x80000000;

class MacroEditorTest : public test::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        editor_ = std::make_unique<MacroEditor>(lib_, Path("MacroLibraryFile.mlf"));
        editor_->Open();
        ASSERT_EQ(editor_->NewMacro(u"m"), Notice::None);
    }
    MacroKey& M() { return *editor_->CurrentMacro(); }
    // A macro of `n` key presses, N = n.
    void Fill(int n) {
        for (int i = 0; i < n; ++i) M().InsertAction(M().ValidCount(), MacroAction::Press(0x41));
        M().MacroCommandActionNum = static_cast<std::uint8_t>(n);
    }

    MacroLibrary lib_;
    std::unique_ptr<MacroEditor> editor_;
};

struct Recording {
    const char* what;
    bool delays;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> messages; // wParam, lParam
    std::vector<MacroAction> steps;
    int count;
};

TEST_F(MacroEditorTest, RecordingFromKeyMessages) {
    const Recording cases[] = {
        {"with delays",
         true,
         {{0x41, 1000}, {0x41, kUp | 1120}, {0x42, 1150}},
         {S(0x41, 0, 0, 0), S(3, 0, 0, 0x78), S(0x41, 0x80, 0, 0), S(3, 0, 0, 0x1E), S(0x42, 0, 0, 0)},
         3},
        {"without delays",
         false,
         {{0x41, 1000}, {0x41, kUp | 1120}, {0x42, 1150}},
         {S(0x41, 0, 0, 0), S(0x41, 0x80, 0, 0), S(0x42, 0, 0, 0)},
         3},
        {"five seconds become 4095 ms",
         true,
         {{0x41, 1000}, {0x41, kUp | 6000}},
         {S(0x41, 0, 0, 0), S(3, 0, 0x0F, 0xFF), S(0x41, 0x80, 0, 0)},
         2},
        {"auto-repeat adds nothing",
         true,
         {{0xA0, 10}, {0xA0, 40}, {0xA0, 70}, {0xA0, kUp | 100}},
         {S(0xA0, 0, 0, 0), S(3, 0, 0, 90), S(0xA0, 0x80, 0, 0)},
         2},
        {"codes 0-7 are no keys", true, {{0x00, 5}, {0x07, 6}, {0x141, 10}}, {S(0x41, 0, 0, 0)}, 1},
        {"time wraps at 2^31",
         true,
         {{0x41, 0x7FFFFFF0}, {0x41, kUp | 0x10}},
         {S(0x41, 0, 0, 0), S(3, 0, 0, 0x20), S(0x41, 0x80, 0, 0)},
         2},
        {"a release whose press was not recorded is dropped",
         true,
         {{0xA2, kUp | 10}, {0x0D, kUp | 20}, {0x41, 30}, {0x41, kUp | 40}, {0x41, kUp | 50}},
         {S(0x41, 0, 0, 0), S(3, 0, 0, 10), S(0x41, 0x80, 0, 0)},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        M().InsertAction(0, MacroAction::Press(0x55)); // old steps are discarded
        editor_->SetRecordDelays(c.delays);
        ASSERT_EQ(editor_->StartRecording(), Notice::None);
        for (auto [w, l] : c.messages) editor_->OnKeyMessage(w, l);
        EXPECT_EQ(Steps(M()), c.steps);
        EXPECT_EQ(M().MacroCommandActionNum, c.count);
        EXPECT_TRUE(editor_->StopRecording());
        EXPECT_FALSE(editor_->Recording());
    }
    // Stopping saved the library.
    MacroLibrary saved;
    ASSERT_TRUE(saved.Load(Path("MacroLibraryFile.mlf")));
    EXPECT_EQ(saved.MacroAt(L::At(0))->MacroActionNum, 3u);
    // Nothing is recorded once the recording has ended.
    EXPECT_FALSE(editor_->OnKeyMessage(0x43, 5000).added);
}

TEST_F(MacroEditorTest, TheStepLimitEndsTheRecording) {
    ASSERT_EQ(editor_->StartRecording(), Notice::None);
    std::uint32_t t = 0;
    for (int i = 0; i < 168; ++i) {
        const bool up = i % 2;
        ASSERT_TRUE(editor_->OnKeyMessage(0x41, (up ? kUp : 0) | (t += 10)).added) << i;
    }
    EXPECT_EQ(M().MacroCommandActionNum, 168);
    EXPECT_EQ(M().MacroActionNum, 335u);
    const auto r = editor_->OnKeyMessage(0x42, t + 10); // the 169th key event
    EXPECT_FALSE(r.added);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.notice, Notice::RecordingLimit);
    EXPECT_TRUE(r.saved);
    EXPECT_FALSE(editor_->Recording());
    EXPECT_EQ(M().MacroActionNum, 335u);
    EXPECT_TRUE(std::filesystem::exists(Path("MacroLibraryFile.mlf")));
}

TEST_F(MacroEditorTest, RecordingNeedsAMacro) {
    editor_->Select(L::None());
    EXPECT_EQ(editor_->StartRecording(), Notice::NoMacroSelected);
    EXPECT_FALSE(editor_->Recording());
    EXPECT_EQ(editor_->InsertStep(kInsertLeftClick, {}), Notice::NoMacroForStep);
}

TEST_F(MacroEditorTest, InsertingStepsAndTheirLimits) {
    struct Case {
        const char* what;
        int before;   // key steps already there (N)
        int selected; // step selected before, -1 none
        int kind;
        Notice notice;
        int count;                         // N afterwards
        std::vector<MacroAction> inserted; // at the insertion point
        int at;
    };
    const Case cases[] = {
        {"left click at the end",
         2,
         -1,
         kInsertLeftClick,
         Notice::None,
         4,
         {S(0xE0, 0, 0, 0), S(3, 0, 0, 0x32), S(0xE0, 0x80, 0, 0)},
         2},
        {"middle click after step 0",
         2,
         0,
         kInsertMiddleClick,
         Notice::None,
         4,
         {S(0xE2, 0, 0, 0), S(3, 0, 0, 0x32), S(0xE2, 0x80, 0, 0)},
         1},
        {"click at N = 166", 166, -1, kInsertRightClick, Notice::None, 168, {S(0xE1, 0, 0, 0)}, 166},
        {"click at N = 167", 167, -1, kInsertRightClick, Notice::StepLimit, 167, {}, 0},
        {"move at N = 167", 167, -1, kMoveRight, Notice::None, 168, {S(0xE5, 0, 0, 9)}, 167},
        {"move at N = 168", 168, -1, kMoveRight, Notice::StepLimit, 168, {}, 0},
        {"move up", 0, -1, kMoveUp, Notice::None, 1, {S(0xE6, 0, 0, 0xF7)}, 0},
        {"key",
         1,
         -1,
         kInsertKey,
         Notice::None,
         3,
         {S(0xA0, 0, 0, 0), S(3, 0, 0, 0x32), S(0xA0, 0x80, 0, 0)},
         1},
        {"delay of 100 ms edited to 9 ms", 1, -1, kInsertDelay, Notice::None, 1, {S(3, 0, 0, 9)}, 1},
    };
    StepDialogs ok;
    ok.key = [](const MacroAction& s) {
        EXPECT_EQ(s, S(0x41, 0, 0, 0));
        return std::optional<std::uint8_t>(0xA0);
    };
    ok.delay = [](const MacroAction& s) {
        EXPECT_EQ(s, MacroAction::Delay(100));
        return std::optional<std::u16string>(u"9");
    };
    ok.move = [](const MacroAction&, int) { return std::optional<std::u16string>(u"9"); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        M().MacroActionNum = 0;
        Fill(c.before);
        editor_->SelectStep(c.selected);
        EXPECT_EQ(editor_->InsertStep(c.kind, ok), c.notice);
        EXPECT_EQ(M().MacroCommandActionNum, c.count);
        for (std::size_t i = 0; i < c.inserted.size(); ++i)
            EXPECT_EQ(M().GetAction(static_cast<std::size_t>(c.at) + i), c.inserted[i]) << i;
        if (c.notice == Notice::None) {
            const int last = c.kind <= kInsertMiddleClick || c.kind == kInsertKey ? c.at + 2 : c.at;
            EXPECT_EQ(editor_->SelectedStep(), last);
        }
    }
}

TEST_F(MacroEditorTest, CancelledInsertionsLeaveNothing) {
    StepDialogs cancel;
    cancel.key = [](const MacroAction&) { return std::optional<std::uint8_t>(); };
    cancel.delay = [](const MacroAction&) { return std::optional<std::u16string>(); };
    cancel.move = [](const MacroAction&, int) { return std::optional<std::u16string>(); };
    Fill(2);
    const auto before = M();
    for (int kind : {int{kInsertKey}, int{kInsertDelay}, int{kMoveLeft}, int{kMoveDown}}) {
        EXPECT_EQ(editor_->InsertStep(kind, cancel), Notice::None);
        EXPECT_EQ(M(), before) << kind;
    }
    // Without room for all three steps of a click nothing goes in.
    M().MacroActionNum = 334;
    EXPECT_EQ(editor_->InsertStep(kInsertLeftClick, cancel), Notice::StepLimit);
    EXPECT_EQ(M().MacroActionNum, 334u);
    // A full macro takes no delay after key step 0; step 1 (a key) stays.
    M().MacroActionNum = 336;
    editor_->SelectStep(0);
    const auto full = M();
    EXPECT_EQ(editor_->InsertStep(kInsertDelay, cancel), Notice::StepLimit);
    EXPECT_EQ(M(), full);
}

TEST_F(MacroEditorTest, DelaysCrossing127msCountAsSteps) {
    StepDialogs d;
    std::u16string entered;
    d.delay = [&](const MacroAction&) { return std::optional<std::u16string>(entered); };
    Fill(1);
    // A new delay (100 ms) set to 300 ms.
    entered = u"300";
    ASSERT_EQ(editor_->InsertStep(kInsertDelay, d), Notice::None);
    EXPECT_EQ(M().GetAction(1), MacroAction::Delay(300));
    EXPECT_EQ(M().MacroCommandActionNum, 2);
    // Inserting a delay right after a delay edits that one: 300 → 127.
    entered = u"127";
    ASSERT_EQ(editor_->InsertStep(kInsertDelay, d), Notice::None);
    EXPECT_EQ(M().ValidCount(), 2u);
    EXPECT_EQ(M().MacroCommandActionNum, 1);
    // Edit step: 127 → 128 → 20000000 (capped, stays above).
    editor_->SelectStep(1);
    entered = u"128";
    EXPECT_TRUE(editor_->EditStep(d));
    EXPECT_EQ(M().MacroCommandActionNum, 2);
    entered = u"20000000";
    EXPECT_TRUE(editor_->EditStep(d));
    EXPECT_EQ(M().GetAction(1), S(3, 0xE9, 0x75, 0xA0));
    EXPECT_EQ(M().MacroCommandActionNum, 2);
    // Never below zero.
    M().MacroCommandActionNum = 0;
    entered = u"5";
    EXPECT_TRUE(editor_->EditStep(d));
    EXPECT_EQ(M().MacroCommandActionNum, 0);
}

TEST_F(MacroEditorTest, EditingAndDeletingSteps) {
    for (const auto& s :
         {S(0x41, 0, 0, 0), S(3, 0, 0, 10), S(0xE0, 0, 0, 0), S(0xE5, 0, 0, 1), S(0x41, 0x80, 0, 0)})
        M().InsertAction(M().ValidCount(), s);
    M().MacroCommandActionNum = 4;
    int keyDialogs = 0;
    StepDialogs d;
    d.key = [&](const MacroAction&) {
        ++keyDialogs;
        return std::optional<std::uint8_t>(0x5B);
    };
    editor_->SelectStep(4);
    EXPECT_TRUE(editor_->EditStep(d));
    EXPECT_EQ(M().GetAction(4), S(0x5B, 0x80, 0, 0)); // b0 only
    for (int mouseStep : {2, 3}) {
        editor_->SelectStep(mouseStep);
        EXPECT_FALSE(editor_->EditStep(d));
    }
    EXPECT_EQ(keyDialogs, 1);

    editor_->SelectStep(1);
    EXPECT_TRUE(editor_->DeleteStep()); // a delay: N stays
    EXPECT_EQ(M().MacroCommandActionNum, 4);
    EXPECT_EQ(editor_->SelectedStep(), 1);
    EXPECT_EQ(M().GetAction(1), S(0xE0, 0, 0, 0));
    editor_->SelectStep(3);
    EXPECT_TRUE(editor_->DeleteStep()); // the last step: the selection moves back
    EXPECT_EQ(M().MacroCommandActionNum, 3);
    EXPECT_EQ(editor_->SelectedStep(), 2);
    editor_->SelectStep(-1);
    EXPECT_FALSE(editor_->DeleteStep());
}

TEST_F(MacroEditorTest, LoopSettings) {
    EXPECT_EQ(editor_->LoopRadio(), 2); // new macros repeat once
    EXPECT_TRUE(editor_->LoopCountShown());
    EXPECT_EQ(editor_->LoopCountText(), u"1");
    EXPECT_EQ(editor_->SetLoopCountText(u"300").replacement, u"255");
    EXPECT_EQ(M().MacroKeyLoopNum, 255);
    // A cleared field stays empty while it is edited, and shows the count when left.
    EXPECT_FALSE(editor_->SetLoopCountText(u"").replacement);
    EXPECT_EQ(M().MacroKeyLoopNum, 255);
    EXPECT_EQ(editor_->FinishLoopCountText(u""), u"255");
    EXPECT_FALSE(editor_->FinishLoopCountText(u"7"));
    EXPECT_TRUE(editor_->SetLoopType(4));
    EXPECT_EQ(editor_->LoopRadio(), 4);
    EXPECT_FALSE(editor_->LoopCountShown());
    EXPECT_FALSE(editor_->SetLoopCountText(u"7").replacement); // ignored outside type 2
    EXPECT_EQ(M().MacroKeyLoopNum, 255);
    M().MacroKeyLoopType = 9;
    EXPECT_EQ(editor_->LoopRadio(), 0);
    editor_->Select(L::None());
    EXPECT_FALSE(editor_->SetLoopType(1));
    EXPECT_EQ(editor_->LoopRadio(), 0);
}

TEST_F(MacroEditorTest, TreeCommands) {
    EXPECT_EQ(editor_->NewMacro(u""), Notice::EmptyName);
    EXPECT_EQ(editor_->NewFolder(u" \t "), Notice::EmptyName);
    editor_->Select(L::None());
    EXPECT_EQ(editor_->NewMacro(u"m"), Notice::NameTaken);
    EXPECT_EQ(editor_->NewFolder(u"f"), Notice::None);
    const MacroLocation f = editor_->Selection();
    EXPECT_TRUE(lib_.NodeAt(f)->FolderIsOpen);
    EXPECT_EQ(editor_->NewMacro(u"inner"), Notice::None);
    EXPECT_EQ(editor_->Selection(), L::At(1, 0));
    EXPECT_EQ(editor_->SelectedStep(), -1);

    EXPECT_EQ(editor_->Rename(u""), Notice::EmptyName);
    EXPECT_EQ(editor_->Rename(u"  \u3000"), Notice::EmptyName);
    EXPECT_EQ(editor_->Rename(u"inner"), Notice::None); // unchanged: nothing happens
    editor_->Select(f);
    EXPECT_EQ(editor_->Rename(u"m"), Notice::NameTaken);
    EXPECT_EQ(editor_->Rename(u"g"), Notice::None);
    EXPECT_EQ(lib_.NodeAt(f)->Name, u"g");

    // A button of the current profile uses the macro inside the folder.
    std::array<KeySlot, 6> keys{};
    keys[3].Action = KeyAction{0x90, 0x21, 0};
    keys[3].MacroKeyIndex = lib_.MacroAt(L::At(1, 0))->MacroKeyIndex;
    EXPECT_EQ(editor_->DeleteNode(keys), Notice::MacroInUse);
    EXPECT_EQ(lib_.NodeCount(), 3u);
    keys[3].Action = KeyAction{0x10, 0x01, 0}; // the number alone does not count
    EXPECT_EQ(editor_->DeleteNode(keys), Notice::None);
    EXPECT_EQ(lib_.NodeCount(), 1u);
    EXPECT_EQ(editor_->Selection(), L::None());
    EXPECT_EQ(editor_->CanDelete(), Notice::NothingSelected);
    EXPECT_EQ(editor_->DeleteNode(keys), Notice::NothingSelected);
}

// A recording belongs to the macro it started in: selecting that macro again
// keeps it, selecting anything else ends it (saved) before the next key.
TEST_F(MacroEditorTest, ARecordingEndsWhenAnotherNodeIsSelected) {
    const MacroLocation m = editor_->Selection();
    editor_->Select(L::None());
    ASSERT_EQ(editor_->NewMacro(u"n"), Notice::None);
    const MacroLocation n = editor_->Selection();
    editor_->Select(m);
    ASSERT_EQ(editor_->StartRecording(), Notice::None);
    EXPECT_TRUE(editor_->OnKeyMessage(0x41, 10).added);
    editor_->Select(m);
    EXPECT_TRUE(editor_->Recording());
    editor_->Select(n);
    EXPECT_FALSE(editor_->Recording());
    EXPECT_FALSE(editor_->OnKeyMessage(0x42, 20).added);
    EXPECT_EQ(lib_.MacroAt(n)->MacroActionNum, 0u);
    EXPECT_EQ(lib_.MacroAt(m)->MacroActionNum, 1u);
    MacroLibrary saved;
    ASSERT_TRUE(saved.Load(Path("MacroLibraryFile.mlf")));
    EXPECT_EQ(saved.MacroAt(m)->MacroActionNum, 1u);
}

// New needs a free entry at its place: a full list is told before a name is asked.
TEST_F(MacroEditorTest, NewNeedsAFreeEntry) {
    editor_->Select(L::None());
    for (int i = 1; i < MacroLibrary::kEntries; ++i) {
        EXPECT_TRUE(editor_->HasRoomForNew(false));
        ASSERT_EQ(editor_->NewMacro(Dec(static_cast<std::uint32_t>(i))), Notice::None);
    }
    EXPECT_FALSE(editor_->HasRoomForNew(false)); // a macro is selected: the top level is full
    EXPECT_FALSE(editor_->HasRoomForNew(true));
}

// The step count shows against the mouse's limit once a macro passes it.
TEST_F(MacroEditorTest, StepsOverTheMouseLimit) {
    Fill(125);
    EXPECT_FALSE(editor_->StepsOverMouseLimit());
    Fill(1);
    M().MacroCommandActionNum = 126;
    EXPECT_EQ(editor_->StepsOverMouseLimit(), 126);
}

TEST_F(MacroEditorTest, TreeClicksAndSelectionChange) {
    editor_->Select(L::None());
    editor_->NewFolder(u"f");
    editor_->NewMacro(u"inner");
    Fill(3);
    editor_->SelectStep(2);
    editor_->SelectRow(0); // "m"
    EXPECT_EQ(editor_->Selection(), L::At(0));
    EXPECT_EQ(editor_->SelectedStep(), -1);
    editor_->SelectRow(99);
    EXPECT_EQ(editor_->Selection(), L::None());
    EXPECT_EQ(editor_->CurrentMacro(), nullptr);
    EXPECT_EQ(lib_.RowCount(), 3);
    EXPECT_TRUE(editor_->ToggleFolderRow(1));
    EXPECT_EQ(lib_.RowCount(), 2);
    EXPECT_FALSE(editor_->ToggleFolderRow(0)); // a macro row
    editor_->Open();                           // every folder closed, nothing selected
    EXPECT_EQ(editor_->Selection(), L::None());

    EXPECT_TRUE(editor_->Close());
    MacroLibrary saved;
    MacroLocation sel = L::At(3);
    ASSERT_TRUE(saved.Load(Path("MacroLibraryFile.mlf"), &sel));
    EXPECT_EQ(sel, L::None());
    EXPECT_EQ(saved.NodeCount(), 3u);
}

// The library file cannot be created (its folder is a regular file): every
// save says so, the failure is reported once per save, and the recorded steps
// stay in memory for the window to try again.
TEST_F(MacroEditorTest, SavesThatCannotBeWrittenComeBackAsFailures) {
    test::WriteUtf16(Path("file"), "not a folder");
    std::vector<std::string> problems;
    auto old = SetProblemSink([&](const std::string& m) { problems.push_back(m); }, /*quiet=*/true);
    MacroEditor editor(lib_, Path("file") / "MacroLibraryFile.mlf");
    editor.Select(L::At(0));

    ASSERT_EQ(editor.StartRecording(), Notice::None);
    ASSERT_TRUE(editor.OnKeyMessage(0x41, 100).added);
    const FileResult stopped = editor.StopRecording();
    EXPECT_EQ(stopped.error, FileError::NotWritten);
    EXPECT_EQ(M().ValidCount(), 1u);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("MacroLibraryFile.mlf: cannot be written: Not a directory"), std::string::npos)
        << problems[0];

    // The step limit ends a recording with the same save.
    ASSERT_EQ(editor.StartRecording(), Notice::None);
    M().MacroCommandActionNum = MacroEditor::kMaxCommandSteps;
    const auto atLimit = editor.OnKeyMessage(0x42, 200);
    EXPECT_TRUE(atLimit.stopped);
    EXPECT_EQ(atLimit.saved.error, FileError::NotWritten);

    EXPECT_FALSE(editor.Close());
    EXPECT_FALSE(std::filesystem::exists(Path("file") / "MacroLibraryFile.mlf"));
    EXPECT_TRUE(editor.StopRecording()); // no recording: nothing was due
    SetProblemSink(old);
}

} // namespace
} // namespace tarvik
