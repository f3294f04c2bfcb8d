// Runs the built tarvikctl on a temporary data folder.
#include "ModelFixture.h"

#include "support/RunCtl.h"
#include <nlohmann/json.hpp>

namespace tarvik::test {
namespace {

CtlResult Ctl(const std::filesystem::path& dataDir, const std::string& args) {
    return test::RunTarvikctl(dataDir, args);
}

TEST(CliSmoke, InitShowExportImportCheck) {
    TempDir dir;
    const auto data = dir / "data";
    ASSERT_EQ(Ctl(data, "init").status, 0);
    EXPECT_TRUE(CheckSettingsFile(data / "config" / "config.ini"));

    CtlResult all = Ctl(data, "show --all --json");
    ASSERT_EQ(all.status, 0);
    const auto j = nlohmann::json::parse(all.out);
    ASSERT_EQ(j["Profiles"].size(), 5u);
    EXPECT_EQ(j["SensorId"], 0x3325);
    EXPECT_EQ(j["Settings"].size(), 17u);
    EXPECT_EQ(j["Profiles"][2]["Slot"], 2);
    EXPECT_EQ(j["Profiles"][0]["Keys"][0]["Action"], "100100");
    EXPECT_EQ(j["Profiles"][0]["ShownDpi"][4], 10000);
    EXPECT_EQ(j["Profiles"][0]["DPILevelIndication"][0], "#FF0000");
    EXPECT_EQ(j["Profiles"][0]["Lighting1FixedColor"][2][0], "#FF0000");

    const auto file = dir / "exported.psf";
    ASSERT_EQ(Ctl(data, "export --slot 1 '" + file.string() + "'").status, 0);
    CtlResult valid = Ctl(data, "check '" + file.string() + "'");
    EXPECT_EQ(valid.status, 0);
    EXPECT_EQ(valid.out, "valid\n");
    ASSERT_EQ(Ctl(data, "import --slot 4 '" + file.string() + "'").status, 0);
    const auto slot4 = nlohmann::json::parse(Ctl(data, "show --slot 4 --json").out)["Profiles"][0];
    auto slot1 = j["Profiles"][1];
    slot1["Slot"] = 4;
    EXPECT_EQ(slot4, slot1);

    auto lines = SplitLines(ReadBytes(file));
    lines[59] = u"\tMacroKeyIndex=";
    lines.pop_back();
    const auto bad = dir / "bad.psf";
    WriteBytes(bad, JoinLines(lines));
    CtlResult invalid = Ctl(data, "check '" + bad.string() + "'");
    EXPECT_EQ(invalid.status, 1);
    EXPECT_EQ(invalid.out.rfind("line 60: ", 0), 0u) << invalid.out;
    EXPECT_EQ(Ctl(data, "import --slot 3 '" + bad.string() + "'").status, 1);
    EXPECT_TRUE(std::filesystem::exists(data / "config" / "default3.psf.bak"));
    EXPECT_EQ(Ctl(data, "import --slot 3 '" + (dir / "missing.psf").string() + "'").status, 1);
    EXPECT_EQ(Ctl(data, "check '" + (dir / "x.txt").string() + "'").status, 2);
}

} // namespace
} // namespace tarvik::test
