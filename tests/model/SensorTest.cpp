#include "ModelFixture.h"

namespace tarvik::test {
namespace {

struct SensorRow {
    std::uint16_t id;
    std::size_t count;
    std::uint32_t firstDpi, lastDpi;
    bool plusOne, page;
    std::array<int, 5> shownLevels; // documented DPI of default levels 0-4
};

const SensorRow kRows[] = {
    {0x3104, 48, 100, 8000, false, false, {500, 1600, 2400, 3200, 4000}},
    {0x3212, 42, 200, 4800, true, false, {800, 1200, 1600, 2400, 4000}},
    {0x3325, 59, 200, 10000, true, false, {800, 1200, 1600, 3200, 10000}},
    {0x3327, 74, 200, 12400, true, false, {400, 800, 1600, 3200, 5000}},
    {0x3335, 160, 100, 16000, false, true, {1200, 2400, 3200, 6400, 10000}},
    {0x3360, 121, 100, 24000, false, true, {400, 800, 1600, 3200, 5000}},
    {0x3370, 290, 50, 19000, false, true, {400, 800, 1600, 3200, 5000}},
    {0x3389, 160, 100, 16000, false, true, {400, 800, 1600, 3200, 5000}},
    {0x3395, 520, 50, 26000, false, true, {400, 800, 1600, 3200, 5000}},
    {0x3399, 400, 50, 20000, false, true, {400, 800, 1600, 3200, 5000}},
};

using Sensors = ModelTest;

TEST_F(Sensors, TablesAndDefaultLevels) {
    ASSERT_EQ(SensorTable().size(), std::size(kRows));
    for (const auto& row : kRows) {
        SCOPED_TRACE(::testing::Message() << std::hex << row.id);
        const SensorInfo* s = FindSensor(row.id);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(FindSensorByReportCode(static_cast<std::uint8_t>(row.id & 0xFF)), s);

        SettingsTables m;
        m.SensorId = row.id;
        m.BuildDpiTables();
        EXPECT_EQ(m.DpiStepCount, row.count);
        EXPECT_EQ(m.DpiStepTable[0] * 50, row.firstDpi);
        EXPECT_EQ(m.DpiStepTable[row.count - 1] * 50, row.lastDpi);
        EXPECT_EQ(m.SensorPageEnabled, row.page);
        EXPECT_EQ(m.DpiDeviceCode[0], row.plusOne ? 1 : 0);
        EXPECT_EQ(m.DpiDeviceCode[row.count - 1], row.plusOne ? row.count : row.count - 1);
        for (std::size_t i = 1; i < row.count; ++i) EXPECT_GT(m.DpiStepTable[i], m.DpiStepTable[i - 1]) << i;

        m.ResetProfileToDefaults(0);
        EXPECT_EQ(m.Profiles[0].XYSetting, s->defaultXY);
        for (int level = 0; level < 5; ++level)
            EXPECT_EQ(m.ShownDpi(0, level), row.shownLevels[level]) << level;
    }
    // The steps named between the ranges.
    EXPECT_EQ(FindSensor(0x3104)->steps[40] * 50, 4500u);
    EXPECT_EQ(FindSensor(0x3104)->steps[41] * 50, 4800u);
    EXPECT_EQ(FindSensor(0x3212)->steps[23] * 50, 3000u);
    EXPECT_EQ(FindSensor(0x3325)->steps[51] * 50, 6400u);
    EXPECT_EQ(FindSensor(0x3327)->steps[72] * 50, 12000u);
    EXPECT_EQ(FindSensor(0x3370)->steps[200] * 50, 10100u);
    // Levels 6 and 7 of the 0x3104 defaults lie beyond its 48 steps.
    EXPECT_GE(FindSensor(0x3104)->defaultXY[6], 48);
    EXPECT_GE(FindSensor(0x3104)->defaultXY[7], 48);
    EXPECT_EQ(FindSensor(0x1234), nullptr);
    EXPECT_EQ(FindSensorByReportCode(0), nullptr);
}

TEST_F(Sensors, ChangeSensorKeepsTheTableTail) {
    SettingsModel m(dir.path());
    FirstStart(m);
    ASSERT_TRUE(m.ChangeSensor(0x3395));
    EXPECT_EQ(m.DpiStepCount, 520u);
    ASSERT_TRUE(m.ChangeSensor(0x3325));
    EXPECT_EQ(m.DpiStepCount, 59u);
    EXPECT_EQ(m.DpiStepTable[58] * 50, 10000u);
    EXPECT_EQ(m.DpiStepTable[59] * 50, 3000u); // entry 59 of 0x3395: 50 + 59 * 50
    EXPECT_EQ(m.DpiStepTable[519] * 50, 26000u);
    EXPECT_EQ(m.DpiDeviceCode[58], 59);
    EXPECT_EQ(m.DpiDeviceCode[59], 59); // 0x3395 codes are i

    EXPECT_EQ(m.Ini[kIniSensor].Value, u"0x3325");
    EXPECT_EQ(m.Ini[kIniPreST].Value, u"0xCCDA");
    SettingsModel reloaded(dir.path());
    reloaded.LoadSettingsModel();
    EXPECT_EQ(reloaded.SensorId, 0x3325);
    for (const auto& r : reloaded.Profiles)
        EXPECT_EQ(r.XYSetting, (std::array<std::uint16_t, 8>{6, 10, 14, 30, 58, 58, 58, 50}));
    EXPECT_TRUE(problems.empty());
}

// A sensor change must reach every file: with one left alone it saves none,
// and the next start, which finds the old sensor, resets the levels again.
TEST_F(Sensors, ChangeSensorWithAFileLeftAloneSavesNothing) {
    SettingsModel first(dir.path());
    FirstStart(first);
    std::filesystem::remove(Config("default1.psf"));
    std::filesystem::create_directories(Config("default1.psf") / "inside");
    SettingsModel m(dir.path());
    m.LoadSettingsModel();
    const std::string settings = ReadBytes(Config("config.ini"));
    const std::string slot0 = ReadBytes(Config("default0.psf"));
    EXPECT_EQ(m.ChangeSensor(0x3395).error, FileError::NotWritten);
    EXPECT_EQ(m.SensorId, 0x3395); // in memory, as the mouse reported
    EXPECT_TRUE(ReadBytes(Config("config.ini")) == settings);
    EXPECT_TRUE(ReadBytes(Config("default0.psf")) == slot0);
    EXPECT_TRUE(std::filesystem::is_directory(Config("default1.psf") / "inside"));
}

TEST_F(Sensors, UnknownSensorLeavesTablesAndLevels) {
    SettingsTables m;
    m.SensorId = 0x3360;
    m.BuildDpiTables();
    m.ResetProfileToDefaults(1);
    m.SensorId = 0x9999;
    m.BuildDpiTables();
    EXPECT_EQ(m.DpiStepCount, 121u);
    EXPECT_TRUE(m.SensorPageEnabled);
    m.Profiles[1].XYSetting[0] = 42;
    m.Profiles[1].DPIOffOnFlag = 1;
    m.ApplySensorDpiDefaults(m.Profiles[1]);
    EXPECT_EQ(m.Profiles[1].XYSetting[0], 42);   // kept
    EXPECT_EQ(m.Profiles[1].DPIOffOnFlag, 0x1F); // the rest of the defaults apply
    EXPECT_EQ(m.Profiles[1].LiftDetection, 2);
}

} // namespace
} // namespace tarvik::test
