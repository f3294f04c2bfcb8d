// The start-up load on damaged and hand-edited files: one table of cases. Each
// case starts from a data folder with a customised profile 2 and current profile
// 3, edits one file, loads, and checks what the load kept, replaced and reported.
#include "ModelFixture.h"

#include <sys/stat.h>

#include <functional>

namespace tarvik::test {
namespace {

using Lines = std::vector<std::u16string>;

struct LoadCase {
    const char* name;
    const char* file; // "config.ini" or "default2.psf"
    std::function<void(Lines&)> edit;
    int failLine; // 0: the file is valid
    std::u16string eol = u"\n";
    std::size_t problems = 0; // expected for a valid file (a refused one reports exactly one)
    std::function<void(const SettingsModel&, const std::filesystem::path& config)> check = nullptr;
};

// Line n (1-based) of the file.
std::u16string& L(Lines& lines, int n) {
    return lines[static_cast<std::size_t>(n - 1)];
}

constexpr int kAllActionLine0 = 63; // AllAction of key 0

class Load : public ModelTest {
protected:
    void Prepare() {
        SettingsModel first(dir.path());
        FirstStart(first);
        first.Profiles[2].Settings[kSetProfileName].Value = u"Mine";
        first.Profiles[2].Keys[1].Macro.MacroActionNum = 2;
        first.SetCurrentProfile(3);
        ASSERT_TRUE(first.SaveSettingsAndProfiles());
        problems.clear();
    }
};

bool IsDefaultRecord(const SettingsModel& m, int slot) {
    SettingsModel reference(m.DataFolder());
    reference.SensorId = m.SensorId;
    reference.ResetProfileToDefaults(slot);
    return m.Profiles[static_cast<std::size_t>(slot)] == reference.Profiles[static_cast<std::size_t>(slot)];
}

TEST_F(Load, DamagedAndHandEditedFiles) {
    const std::vector<LoadCase> cases = {
        // ---- profile file
        // CR LF line ends (a file edited on another system) read as LF.
        {"profile with CR LF line ends", "default2.psf", [](Lines&) {}, 0, u"\r\n", 0,
         [](const SettingsModel& m, auto&) { EXPECT_EQ(m.Profiles[2].Settings[0].Value, u"Mine"); }},
        {"AllAction of 2687 digits", "default2.psf", [](Lines& l) { L(l, kAllActionLine0).pop_back(); },
         kAllActionLine0},
        {"AllAction of 2690 digits", "default2.psf", [](Lines& l) { L(l, kAllActionLine0) += u"000"; },
         kAllActionLine0},
        {"file ends after the fifth key block", "default2.psf", [](Lines& l) { l.resize(87); }, 88},
        {"setting without a name", "default2.psf", [](Lines& l) { L(l, 5) = u"=value"; }, 5},
        {"XYSetting line without =", "default2.psf", [](Lines& l) { L(l, 25) = u"\tXYSetting3Value"; }, 25},
        {"empty MacroKeyIndex", "default2.psf", [](Lines& l) { L(l, 60) = u"\tMacroKeyIndex="; }, 60},
        {"empty line instead of a key name", "default2.psf", [](Lines& l) { L(l, 82) = u""; }, 82},
        {"DPIOffOnFlagValue Z1 reads 0", "default2.psf", [](Lines& l) { L(l, 22) = u"DPIOffOnFlagValue=Z1"; },
         0, u"\n", 0,
         [](const SettingsModel& m, auto&) {
             EXPECT_EQ(m.Profiles[2].DPIOffOnFlag, 0);
             EXPECT_EQ(m.Profiles[2].ActiveDpiLevel(), 0); // level 0 counts as active
             EXPECT_EQ(m.Profiles[2].Settings[0].Value, u"Mine");
         }},
        // The ten-value lines are read in sequence: one or two digits per value,
        // "|" between them; reading stops at the first break, the rest reads 0.
        {"Lighting1Speed 1|2 in sequence", "default2.psf",
         [](Lines& l) {
             L(l, 47) = u"\tLighting1Speed=1|2";
             L(l, 48) = u"\tLighting1Brightness=1|02|3|FF";
         },
         0, u"\n", 0,
         [](const SettingsModel& m, auto&) {
             EXPECT_EQ(m.Profiles[2].Lighting1Speed,
                       (std::array<std::uint8_t, 10>{1, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
             EXPECT_EQ(m.Profiles[2].Lighting1Brightness,
                       (std::array<std::uint8_t, 10>{1, 2, 3, 0xFF, 0, 0, 0, 0, 0, 0}));
         }},
        {"macro count above 336 is kept", "default2.psf",
         [](Lines& l) { L(l, 62) = u"\t\tMacroActionNum=400"; }, 0, u"\n", 0,
         [](const SettingsModel& m, auto&) {
             EXPECT_EQ(m.Profiles[2].Keys[0].Macro.MacroActionNum, 400u);
             EXPECT_EQ(m.Profiles[2].Keys[0].Macro.ValidCount(), 336u);
         }},
        {"active level beyond the enabled ones", "default2.psf",
         [](Lines& l) { L(l, 31) = u"\tCurrentDPILevelValue=07"; }, 0, u"\n", 0,
         [](const SettingsModel& m, auto&) { EXPECT_EQ(m.Profiles[2].ActiveDpiLevel(), -1); }},
        {"lines after the sixth key block are not read", "default2.psf",
         [](Lines& l) { l.push_back(u"anything at all"); }, 0, u"\n", 0,
         [](const SettingsModel& m, auto&) { EXPECT_EQ(m.Profiles[2].Settings[0].Value, u"Mine"); }},
        // ---- settings file
        {"settings with CR LF line ends", "config.ini", [](Lines&) {}, 0, u"\r\n", 0,
         [](const SettingsModel& m, auto&) { EXPECT_EQ(m.GetCurrentProfile(), 3); }},
        {"empty ProfileSlot2URL", "config.ini", [](Lines& l) { L(l, 16) = u"ProfileSlot2URL="; }, 16},
        {"more than 17 pairs", "config.ini", [](Lines& l) { l.insert(l.end() - 1, u"Extra=1"); }, 19},
        {"empty Sensor value", "config.ini", [](Lines& l) { L(l, 3) = u"Sensor="; }, 3},
        // A file missing pairs is damaged: the writer could not give it back.
        {"only [Setting]", "config.ini", [](Lines& l) { l = {u"[Setting]"}; }, 2},
        {"cut after three pairs", "config.ini", [](Lines& l) { l.resize(4); }, 5},
        {"hand-edited Sensor resets every DPI block", "config.ini",
         [](Lines& l) { L(l, 3) = u"Sensor=0x3395"; }, 0, u"\n", 0,
         [](const SettingsModel& m, const std::filesystem::path& config) {
             EXPECT_EQ(m.SensorId, 0x3395);
             EXPECT_EQ(m.Ini[kIniPreST].Value, u"0xCC6A");
             EXPECT_EQ(m.Ini[kIniCurrentProfile].Value, u"0");
             const auto lines = SplitU16Lines(ReadBytes(config / "config.ini"));
             EXPECT_EQ(lines[3], u"PreST=0xCC6A");
             EXPECT_EQ(lines[6], u"CurrentProfile=0");
             for (const auto& r : m.Profiles)
                 EXPECT_EQ(r.XYSetting, (std::array<std::uint16_t, 8>{7, 15, 31, 63, 99, 99, 99, 99}));
             EXPECT_EQ(m.Profiles[2].Settings[0].Value, u"Mine");
             SettingsModel probe(m.DataFolder());
             ASSERT_TRUE(probe.ReadProfileFile(4, config / "default4.psf"));
             EXPECT_EQ(probe.Profiles[4].XYSetting[4], 99);
         }},
        {"swapped lines swap meanings", "config.ini", [](Lines& l) { std::swap(L(l, 9), L(l, 10)); }, 0,
         u"\n", 0,
         [](const SettingsModel& m, auto&) {
             EXPECT_EQ(m.GetShowList(0), 1);
             EXPECT_EQ(m.Ini[kIniShowList0].Name, u"ProfileShowList1");
         }},
        {"values outside their range fall back to defaults", "config.ini",
         [](Lines& l) {
             L(l, 7) = u"CurrentProfile=9";
             L(l, 8) = u"ProfileShowCount=0";
             L(l, 12) = u"ProfileShowList3=-2";
         },
         0, u"\n", 0,
         [](const SettingsModel& m, auto&) {
             EXPECT_EQ(m.GetCurrentProfile(), 0);
             EXPECT_EQ(m.GetShowCount(), 3);
             EXPECT_EQ(m.GetShowList(3), 3);
             EXPECT_EQ(m.Ini[kIniCurrentProfile].Value, u"9"); // kept as written
         }},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir / "config");
        Prepare();
        const std::filesystem::path target = Config(c.file);
        Lines lines = SplitU16Lines(ReadBytes(target));
        lines.pop_back(); // the empty text after the last line feed
        c.edit(lines);
        const std::string edited = JoinU16Lines(lines, c.eol);
        WriteBytes(target, edited);

        const bool isProfile = std::string(c.file).ends_with(".psf");
        const FileResult checked = isProfile ? CheckProfileFile(target) : CheckSettingsFile(target);
        EXPECT_EQ(checked.ok(), c.failLine == 0) << checked.reason;
        EXPECT_EQ(checked.line, c.failLine) << checked.reason;

        SettingsModel m(dir.path());
        m.LoadSettingsModel();
        m.BuildDpiTables();

        if (c.failLine == 0) {
            EXPECT_EQ(problems.size(), c.problems);
            EXPECT_FALSE(std::filesystem::exists(target.string() + ".bak"));
            if (c.check) c.check(m, dir / "config");
            continue;
        }
        // Refused: the damaged file is kept, one reason is logged, defaults take over.
        EXPECT_TRUE(ReadBytes(target.string() + ".bak") == edited);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].find(target.string() + ": line " + std::to_string(c.failLine) + ": "),
                  std::string::npos)
            << problems[0];
        EXPECT_TRUE(CheckProfileFile(Config("default2.psf")));
        EXPECT_TRUE(CheckSettingsFile(Config("config.ini")));
        if (isProfile) {
            EXPECT_TRUE(IsDefaultRecord(m, 2));
            EXPECT_EQ(m.Profiles[2].Settings[0].Value, u"Profil 3 — Jeu");
            EXPECT_EQ(m.GetCurrentProfile(), 3); // the settings file was not touched
        } else {
            // config.ini alone is rebuilt; the profile files that read correctly stay.
            EXPECT_EQ(m.GetCurrentProfile(), 0);
            EXPECT_EQ(m.Profiles[2].Settings[0].Value, u"Mine");
            EXPECT_EQ(m.Profiles[2].Keys[1].Macro.MacroActionNum, 2u);
            EXPECT_FALSE(std::filesystem::exists(Config("default2.psf.bak")));
        }
    }
}

TEST_F(Load, FirstStartWritesDefaults) {
    SettingsModel m(dir.path());
    FirstStart(m);
    EXPECT_TRUE(problems.empty());
    EXPECT_TRUE(CheckSettingsFile(Config("config.ini")));
    for (int k = 0; k < kProfileCount; ++k) {
        EXPECT_TRUE(CheckProfileFile(Config("default" + std::to_string(k) + ".psf")));
        EXPECT_EQ(m.Profiles[static_cast<std::size_t>(k)].Settings[0].Value, LanguageString(85 + k));
    }
    EXPECT_EQ(m.SensorId, kDefaultSensorId);
    EXPECT_EQ(m.DpiStepCount, 59u);
    EXPECT_FALSE(std::filesystem::exists(Config("config.ini.bak")));
}

TEST_F(Load, MissingProfileFileIsRewritten) {
    {
        SettingsModel first(dir.path());
        FirstStart(first);
    }
    std::filesystem::remove(Config("default4.psf"));
    SettingsModel m(dir.path());
    m.LoadSettingsModel();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("cannot be opened"), std::string::npos);
    EXPECT_TRUE(CheckProfileFile(Config("default4.psf")));
    EXPECT_FALSE(std::filesystem::exists(Config("default4.psf.bak")));
}

TEST_F(Load, ImportAndExport) {
    SettingsModel m(dir.path());
    FirstStart(m);
    m.Profiles[0].Settings[0].Value = u"Exported";
    m.Profiles[0].Keys[3].Action = {0x20, 0x04, 0x00};
    m.Profiles[2].Settings[0].Value = u"Mine";
    ASSERT_TRUE(m.SaveAllProfiles());
    std::filesystem::create_directory(dir / "elsewhere");
    ASSERT_TRUE(m.ExportProfile(0, dir / "elsewhere" / "p.psf"));

    ASSERT_TRUE(m.ImportProfile(4, dir / "elsewhere" / "p.psf"));
    EXPECT_TRUE(m.Profiles[4] == m.Profiles[0]);
    SettingsModel probe(dir.path());
    ASSERT_TRUE(probe.ReadProfileFile(4, Config("default4.psf"))); // saved into the slot's own file
    EXPECT_EQ(probe.Profiles[4].Settings[0].Value, u"Exported");

    ASSERT_EQ(problems.size(), 0u);
}

// An import reads the whole file before it changes anything: a file that
// fails leaves the slot, its file and config.ini as they were, also when the
// same bad file is imported again.
TEST_F(Load, FailedImportChangesNothing) {
    SettingsModel m(dir.path());
    FirstStart(m);
    m.Profiles[2].Settings[0].Value = u"Mine";
    ASSERT_TRUE(m.SaveSettingsAndProfiles());
    std::filesystem::create_directory(dir / "elsewhere");
    ASSERT_TRUE(m.ExportProfile(2, dir / "elsewhere" / "p.psf"));
    Lines lines = SplitU16Lines(ReadBytes(dir / "elsewhere" / "p.psf"));
    L(lines, 60) = u"\tMacroKeyIndex=";
    lines.pop_back();
    WriteBytes(dir / "elsewhere" / "damaged.psf", JoinU16Lines(lines));
    WriteBytes(dir / "elsewhere" / "garbage.psf", std::string("\xff\xfe[\x00", 4));
    WriteBytes(dir / "elsewhere" / "huge.psf", std::string(kMaxProfileFileBytes + 1, 'x'));
    ASSERT_EQ(::mkfifo((dir / "elsewhere" / "fifo.psf").c_str(), 0600), 0);
    struct Case {
        const char* file;
        FileError error;
        int line;
    };
    const Case cases[] = {
        {"damaged.psf", FileError::Damaged, 60}, {"garbage.psf", FileError::Damaged, 1},
        {"huge.psf", FileError::Damaged, 0},     {"fifo.psf", FileError::Unreadable, 0},
        {"missing.psf", FileError::Missing, 0},
    };
    const std::string slotFile = ReadBytes(Config("default2.psf"));
    const std::string settingsFile = ReadBytes(Config("config.ini"));
    m.SetCurrentProfile(1); // in memory only: a failed import saves nothing
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        for (int attempt = 0; attempt < 2; ++attempt) {
            problems.clear();
            const FileResult r = m.ImportProfile(2, dir / "elsewhere" / c.file);
            EXPECT_EQ(r.error, c.error) << r.reason;
            EXPECT_EQ(r.line, c.line);
            EXPECT_EQ(m.Profiles[2].Settings[0].Value, u"Mine");
            // Said once (the same message twice in a row is not repeated).
            ASSERT_EQ(problems.size(), attempt == 0 ? 1u : 0u);
            if (attempt == 0) {
                EXPECT_NE(problems[0].find("; not imported, slot 2 is unchanged"), std::string::npos)
                    << problems[0];
            }
        }
        EXPECT_TRUE(ReadBytes(Config("default2.psf")) == slotFile);
        EXPECT_TRUE(ReadBytes(Config("config.ini")) == settingsFile);
        EXPECT_FALSE(std::filesystem::exists(Config("default2.psf.bak")));
    }
}

// Slot files always lie in the data folder's config/: a stored path that points
// elsewhere is not followed, so a crafted or copied config.ini cannot make the
// program write outside its folder, or into another folder's files.
TEST_F(Load, SlotFilesStayInTheDataFolder) {
    SettingsModel m(dir.path());
    FirstStart(m);
    const std::filesystem::path config = dir / "config";
    const auto at = [&](const char* name) { return PathToU16(config / name); };
    struct Case {
        const char* what;
        std::u16string stored; // ProfileSlot3URL
        const char* file;      // the file slot 3 uses
        bool ignored;
    };
    const Case cases[] = {
        {"as the program writes it", at("default3.psf"), "default3.psf", false},
        {"another profile file in config/", at("mine.psf"), "mine.psf", false},
        {"a bare file name", u"mine.psf", "mine.psf", false},
        {"a file elsewhere", u"/tmp/victim.txt", "default3.psf", true},
        {"the original of a copied data folder", PathToU16(dir / "original" / "config" / "mine.psf"),
         "default3.psf", true},
        {"a way out of config/", u"../default3.psf", "default3.psf", true},
        {"the settings file", at("config.ini"), "default3.psf", true},
        {"another slot's file", at("default1.psf"), "default3.psf", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m.Ini = m.DefaultIni();
        m.Ini[kIniSlotUrl0 + 3].Value = c.stored;
        const SlotFile f = m.SlotFiles()[3];
        EXPECT_EQ(f.path, config / c.file);
        EXPECT_EQ(f.ignored, c.ignored);
    }
    // Two slots cannot share a file: the later one uses its own.
    m.Ini = m.DefaultIni();
    m.Ini[kIniSlotUrl0 + 0].Value = at("mine.psf");
    m.Ini[kIniSlotUrl0 + 2].Value = at("mine.psf");
    EXPECT_EQ(m.GetSlotPath(0), config / "mine.psf");
    EXPECT_EQ(m.GetSlotPath(2), config / "default2.psf");

    // A start with a crafted path reads and writes the slot's own file, says
    // so once, and mends the pair; the file the path named is untouched.
    WriteBytes(dir / "victim.txt", "victim");
    m.Ini = m.DefaultIni();
    m.Ini[kIniSlotUrl0 + 3].Value = PathToU16(dir / "victim.txt");
    ASSERT_TRUE(m.SaveSettingsFile());
    problems.clear();
    SettingsModel crafted(dir.path());
    crafted.LoadSettingsModel();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("ProfileSlot3URL names " + (dir / "victim.txt").string()), std::string::npos)
        << problems[0];
    EXPECT_EQ(crafted.Ini[kIniSlotUrl0 + 3].Value, at("default3.psf"));
    ASSERT_TRUE(crafted.SaveSettingsAndProfiles());
    EXPECT_EQ(ReadBytes(dir / "victim.txt"), "victim");

    // A relative data folder is made absolute, so the stored paths hold from
    // any directory.
    EXPECT_TRUE(SettingsModel("relative/data").DataFolder().is_absolute());
}

} // namespace
} // namespace tarvik::test
