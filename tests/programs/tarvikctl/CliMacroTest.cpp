// Runs the built tarvikctl's macro commands on a temporary data folder.
#include <gtest/gtest.h>

#include "support/RunCtl.h"
#include <nlohmann/json.hpp>

#include "macro/MacroLibrary.h"
#include "macro/TestFiles.h"

namespace tarvik {
namespace {

using test::CtlResult;

CtlResult Ctl(const std::filesystem::path& dataDir, const std::string& args) {
    return test::RunTarvikctl(dataDir, args);
}

class CliMacro : public test::TempDirTest {};

TEST_F(CliMacro, ListAssignExportImportCheck) {
    const auto data = Path("data");
    ASSERT_EQ(Ctl(data, "init").status, 0);
    test::WriteUtf16(data / "config" / "MacroLibraryFile.mlf",
                     test::ReadBytes(test::MacroData("library.mlf.txt")));

    CtlResult list = Ctl(data, "macro list --json");
    ASSERT_EQ(list.status, 0);
    const auto j = nlohmann::json::parse(list.out);
    EXPECT_EQ(j["NextMacroKeyIndex"], 6);
    ASSERT_EQ(j["nodes"].size(), 3u);
    const auto& deep = j["nodes"][0]["children"][1]["children"][0];
    EXPECT_EQ(deep["path"], "Games/Deep/Ünïcode 宏=x");
    EXPECT_EQ(deep["MacroKeyIndex"], 5);
    EXPECT_EQ(deep["steps"][1]["text"], "1000000ms");
    EXPECT_EQ(deep["steps"][3]["text"], "Move Down 5");
    EXPECT_EQ(j["nodes"][1]["steps"][2]["kind"], "release");

    // Button 1 is the only left button: the rule puts it back.
    CtlResult lone = Ctl(data, "assign --button 1 dpi-lock 800");
    EXPECT_EQ(lone.status, 3);
    EXPECT_NE(lone.out.find("10 01 00"), std::string::npos) << lone.out;
    CtlResult lock = Ctl(data, "assign --button 2 dpi-lock 800");
    EXPECT_EQ(lock.status, 0);
    EXPECT_NE(lock.out.find("50 07 00"), std::string::npos) << lock.out;
    EXPECT_EQ(Ctl(data, "assign --slot 3 --button 4 macro Games/Jump").status, 0);
    EXPECT_EQ(Ctl(data, "assign --button 5 shortcut ctrl+alt+del").status, 0);
    EXPECT_EQ(Ctl(data, "assign --button 6 media nope").status, 2);
    EXPECT_EQ(Ctl(data, "assign --button 6 macro Games/Deep").status, 2); // a folder
    const auto shown = nlohmann::json::parse(Ctl(data, "show --all --json").out);
    EXPECT_EQ(shown["Profiles"][0]["Keys"][1]["Action"], "500700");
    EXPECT_EQ(shown["Profiles"][0]["Keys"][4]["Action"], "70054C");
    EXPECT_EQ(shown["Profiles"][3]["Keys"][3]["Action"], "900000");
    EXPECT_EQ(shown["Profiles"][3]["Keys"][3]["MacroKeyIndex"], 2);

    const auto mkf = Path("copy.mkf");
    ASSERT_EQ(Ctl(data, "macro export --path Copy '" + mkf.string() + "'").status, 0);
    EXPECT_EQ(Ctl(data, "macro export --path Nope '" + mkf.string() + "'").status, 1);
    EXPECT_EQ(Ctl(data, "macro import '" + mkf.string() + "'").status, 1); // "Copy" is taken
    EXPECT_EQ(Ctl(data, "macro import '" + mkf.string() + "' --into Office").status, 0);
    const auto after = nlohmann::json::parse(Ctl(data, "macro list --json").out);
    EXPECT_EQ(after["nodes"][2]["children"][1]["path"], "Office/Copy");
    EXPECT_EQ(after["nodes"][2]["children"][1]["MacroKeyIndex"], 6);
    EXPECT_EQ(after["NextMacroKeyIndex"], 7);

    CtlResult valid = Ctl(data, "check '" + mkf.string() + "'");
    EXPECT_EQ(valid.status, 0);
    EXPECT_EQ(valid.out, "valid\n");
    auto lines = test::SplitLines(test::ReadBytes(test::MacroData("library.mlf.txt")));
    lines[16].pop_back();
    test::WriteUtf16(Path("bad.mlf"), test::JoinLines(lines));
    CtlResult invalid = Ctl(data, "check '" + Path("bad.mlf").string() + "'");
    EXPECT_EQ(invalid.status, 1);
    EXPECT_EQ(invalid.out.rfind("line 17: ", 0), 0u) << invalid.out;
}

// A macro longer than the mouse takes is not assigned: the button keeps its
// function, and the reason gives the step count and the limit.
TEST_F(CliMacro, AMacroTooLongForTheMouseIsNotAssigned) {
    const auto data = Path("data");
    ASSERT_EQ(Ctl(data, "init").status, 0);
    MacroLibrary library;
    MacroLocation at;
    ASSERT_EQ(library.AddChild(MacroLocation::None(), u"long", false, &at), MacroLibrary::AddResult::Added);
    MacroKey& m = *library.MacroAt(at);
    for (int i = 0; i < 126; ++i) m.InsertAction(m.ValidCount(), MacroAction::Press(0x41));
    m.MacroCommandActionNum = 126;
    ASSERT_TRUE(library.Save(data / "config" / "MacroLibraryFile.mlf", MacroLocation::None()));
    const std::string before = Ctl(data, "show --all --json").out;
    const CtlResult r = Ctl(data, "assign --button 4 macro long");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.Err().find("126 steps; the mouse holds at most 125"), std::string::npos) << r.Err();
    EXPECT_EQ(Ctl(data, "show --all --json").out, before);
}

} // namespace
} // namespace tarvik
