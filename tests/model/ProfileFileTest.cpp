// The writers byte for byte, and what the readers make of their output.
#include "ModelFixture.h"

namespace tarvik::test {
namespace {

using ProfileFile = ModelTest;

// Every field differs from its default and from the construction value.
ProfileRecord FilledRecord() {
    ProfileRecord r;
    for (int i = 0; i < kProfileSettingCount; ++i)
        r.Settings[i] = {u"Renamed" + Dec(i), i == 0 ? u"Mine = ✓ 中文" : Dec(100 + i)};
    r.Settings[3].Value = u""; // an empty value is allowed
    for (int k = 0; k < kKeyCount; ++k) {
        KeySlot& key = r.Keys[static_cast<std::size_t>(k)];
        key.Name = u"key=" + Dec(k);
        key.Action = {static_cast<std::uint8_t>(0xA0 + k), 0x0B, static_cast<std::uint8_t>(0xFF - k)};
        key.MacroKeyIndex = 4000000000u + static_cast<std::uint32_t>(k);
        key.Macro.Name = u"macro " + Dec(k);
        key.Macro.MacroActionNum = static_cast<std::uint32_t>(k * 60);
        for (std::size_t n = 0; n < MacroKey::kMaxActions; ++n)
            key.Macro.AllAction[n] = MacroAction::FromValue(static_cast<std::uint32_t>(n * 0x01030507u + k));
    }
    r.PollingRateName = u"500HZ";
    r.PollingRate = {2, 0xAB, 0xCD};
    r.Lighting1OffOn = 0xFE;
    r.Lighting1Name = u"Wave";
    r.Lighting1Mode = {9, 8, 7};
    for (int e = 0; e < kEffects; ++e) {
        r.Lighting1Speed[e] = static_cast<std::uint8_t>(e + 1);
        r.Lighting1Brightness[e] = static_cast<std::uint8_t>(0xF0 + e);
        r.Lighting1Direction[e] = static_cast<std::uint8_t>(e * 3);
        for (int c = 0; c < kColourSlots; ++c) {
            r.Lighting1ColorSelected[e][c] = static_cast<std::uint8_t>((e + c) % 3);
            r.Lighting1FixedColor[e][c] =
                Rgb(static_cast<std::uint8_t>(e * 16 + c), 0x80, static_cast<std::uint8_t>(c));
        }
    }
    r.Lighting2OffOn = 0x11;
    r.Lighting2Name = u"Zone 2";
    r.Lighting2Mode = {4, 5, 6};
    r.Lighting2Speed = 0x22;
    r.Lighting2Brightness = 0x33;
    r.Lighting2FixedColor = Rgb(0x12, 0x34, 0x56);
    r.DPIOffOnFlag = 0xA5;
    r.XYSetting = {0, 1, 0x207, 0xFFFF, 58, 0x1234, 7, 519};
    r.CurrentDPILevel = 3;
    r.DPILevelIndication = {Rgb(1, 2, 3), Rgb(4, 5, 6), 0, 0xFFFFFF, Rgb(0xAA, 0, 0), 7, 8, 9};
    r.AngleSnap = 1;
    r.LiftDetection = 0x7F;
    return r;
}

TEST_F(ProfileFile, DefaultFileMatchesGoldenBytes) {
    SettingsModel m(dir.path());
    m.SensorId = 0x3325;
    m.ResetProfileToDefaults(2);
    ASSERT_TRUE(m.WriteProfileFile(2, dir / "out.psf"));
    const std::string golden = ReadBytes(std::filesystem::path(TARVIK_TEST_DATA) / "model/data/default2.psf");
    const std::string bytes = ReadBytes(dir / "out.psf");
    ASSERT_EQ(bytes.size(), golden.size());
    EXPECT_TRUE(bytes == golden);

    // The shape every profile file has.
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE[\0", 4));
    EXPECT_EQ(bytes.find(std::string("\r\0", 2)), std::string::npos);
    const auto lines = SplitU16Lines(bytes);
    ASSERT_EQ(lines.size(), 94u); // 93 lines, each ended by a line feed
    EXPECT_EQ(lines[93], u"");
    EXPECT_EQ(lines[1], u"ProfileName=Profil 3 — Jeu");
    EXPECT_EQ(lines[21], u"DPIOffOnFlagValue=1F");
    for (int k = 0; k < kKeyCount; ++k) EXPECT_EQ(lines[62 + 6 * k].size(), 2700u) << k;
}

TEST_F(ProfileFile, FilledRecordLines) {
    SettingsModel m(dir.path());
    m.Profiles[0] = FilledRecord();
    ASSERT_TRUE(m.WriteProfileFile(0, dir / "f.psf"));
    const auto lines = SplitU16Lines(ReadBytes(dir / "f.psf"));
    ASSERT_EQ(lines.size(), 94u);
    EXPECT_EQ(lines[1], u"Renamed0=Mine = ✓ 中文");
    EXPECT_EQ(lines[4], u"Renamed3=");
    EXPECT_EQ(lines[21], u"DPIOffOnFlagValue=A5");
    EXPECT_EQ(lines[25], u"\tXYSetting4Value=FFFF");
    EXPECT_EQ(lines[31], u"\tDPILevelIndication0Valuer=010203"); // red, green, blue
    EXPECT_EQ(lines[42], u"\tPollingRateValue=02ABCD");
    EXPECT_EQ(lines[46], u"\tLighting1Speed=01|02|03|04|05|06|07|08|09|0A");
    EXPECT_EQ(lines[48].substr(0, 51), u"\tLighting1ColorSelected=00|01|02|00|01|02|00|01|02|");
    EXPECT_EQ(lines[48].size(), 24u + 300u);
    EXPECT_EQ(lines[49].substr(0, 35), u"\tLighting1FixedColor=008000|018001|");
    EXPECT_EQ(lines[49].size(), 21u + 700u);
    EXPECT_EQ(lines[56], u"\tLighting2FixedColor=123456");
    EXPECT_EQ(lines[57], u"Key0Name=key=0");
    EXPECT_EQ(lines[58], u"\tKey0Value=A00BFF");
    EXPECT_EQ(lines[59], u"\tMacroKeyIndex=4000000000");
    EXPECT_EQ(lines[60], u"\tMacroKey0Name=macro 0");
    EXPECT_EQ(lines[61], u"\t\tMacroActionNum=0");
    EXPECT_EQ(lines[62].substr(0, 28), u"\t\tAllAction=0000000007050301"); // bytes 0..3 of each step
}

TEST_F(ProfileFile, ReadAfterWriteGivesTheSameRecord) {
    SettingsModel m(dir.path());
    m.Profiles[0] = FilledRecord();
    ASSERT_TRUE(m.WriteProfileFile(0, dir / "f.psf"));
    // The macro header fields that the file does not carry keep their values.
    m.Profiles[1].Keys[2].Macro.MacroKeyLoopType = 4;
    ASSERT_TRUE(m.ReadProfileFile(1, dir / "f.psf"));
    EXPECT_EQ(m.Profiles[1].Keys[2].Macro.MacroKeyLoopType, 4);
    m.Profiles[1].Keys[2].Macro.MacroKeyLoopType = m.Profiles[0].Keys[2].Macro.MacroKeyLoopType;
    EXPECT_TRUE(m.Profiles[1] == m.Profiles[0]);
    EXPECT_TRUE(problems.empty());

    // The same through the in-memory reader, and the writer gives the same bytes again.
    ProfileRecord again;
    ASSERT_TRUE(ParseProfileData(ReadBytes(dir / "f.psf"), again));
    EXPECT_EQ(Utf16Bytes(FormatProfileText(again)), ReadBytes(dir / "f.psf"));
}

TEST_F(ProfileFile, SettingsFileMatchesExpectedBytes) {
    SettingsModel m(dir.path());
    std::filesystem::create_directories(dir / "config");
    m.Ini = m.DefaultIni();
    ASSERT_TRUE(m.SaveSettingsFile());
    std::u16string expected = u"[Setting]\nVersion=1\nSensor=0x3325\nPreST=0xCCDA\nMac_ID=0xFFFFFFFF\n"
                              u"DataChange=0x1234\nCurrentProfile=0\nProfileShowCount=3\n";
    for (int i = 0; i < 5; ++i) expected += u"ProfileShowList" + Dec(i) + u"=" + Dec(i) + u"\n";
    for (int i = 0; i < 5; ++i)
        expected += u"ProfileSlot" + Dec(i) + u"URL=" + PathToU16(dir.path()) + u"/config/default" + Dec(i) +
                    u".psf\n";
    EXPECT_EQ(ReadBytes(m.SettingsPath()), Utf16Bytes(expected));

    // Names are kept as read: a renamed pair is written back renamed.
    SettingsModel other(dir.path());
    other.Ini[kIniMacId] = {u"Other", u"x"};
    ASSERT_TRUE(other.ReadSettingsFile(m.SettingsPath()));
    EXPECT_EQ(other.Ini, m.Ini);
    other.Ini[kIniDataChange].Name = u"Renamed";
    ASSERT_TRUE(other.SaveSettingsFile());
    SettingsModel third(dir.path());
    ASSERT_TRUE(third.ReadSettingsFile(m.SettingsPath()));
    EXPECT_EQ(third.Ini[kIniDataChange], (ProfileSetting{u"Renamed", u"0x1234"}));
}

// A writer on another thread holds a copy of the tables and the store: the
// copy writes the same bytes as the model itself would, and a change the model
// makes after the copy was taken does not reach it.
TEST_F(ProfileFile, CopiedTablesAndStoreWriteWhatTheModelWrites) {
    SettingsModel m(dir.path());
    FirstStart(m);
    m.Profiles[1] = FilledRecord();
    m.Ini[kIniCurrentProfile].Value = u"9"; // hand-edited: saved as the slot it reads as
    m.Ini[kIniDataChange].Name = u"Renamed";
    m.Ini[kIniSlotUrl0 + 3].Value = u"mine.psf"; // relative to config/
    const SettingsTables tables = m.Tables();
    const SettingsStore store = m.Store();
    m.Profiles[1].Settings[kSetProfileName].Value = u"After the copy";
    m.Ini[kIniShowCount].Value = u"5";

    ASSERT_TRUE(store.SaveSettingsAndProfiles(tables));
    const char* files[] = {"config.ini",   "default0.psf", "default1.psf",
                           "default2.psf", "mine.psf",     "default4.psf"};
    std::vector<std::string> copied;
    for (const char* f : files) copied.push_back(ReadBytes(Config(f)));
    EXPECT_EQ(SplitU16Lines(copied[0])[6], u"CurrentProfile=0");
    EXPECT_EQ(SplitU16Lines(copied[0])[7], u"ProfileShowCount=3");

    m.Tables() = tables;
    std::filesystem::remove(Config("mine.psf"));
    ASSERT_TRUE(m.SaveSettingsAndProfiles());
    for (std::size_t i = 0; i < std::size(files); ++i)
        EXPECT_TRUE(ReadBytes(Config(files[i])) == copied[i]) << files[i];
    EXPECT_TRUE(problems.empty());
}

TEST_F(ProfileFile, WritersReportUnwritablePathsAndIgnoreEmptyOnes) {
    SettingsModel m(dir / "missing-folder");
    EXPECT_FALSE(m.SaveSettingsFile());
    EXPECT_FALSE(m.WriteProfileFile(0, dir / "missing-folder" / "x.psf"));
    EXPECT_EQ(problems.size(), 2u);
    EXPECT_FALSE(m.WriteProfileFile(0, {}));
    EXPECT_FALSE(m.WriteProfileFile(7, dir / "x.psf"));
    EXPECT_EQ(problems.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.psf"));
}

} // namespace
} // namespace tarvik::test
