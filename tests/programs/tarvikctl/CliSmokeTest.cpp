// Runs the built tarvikctl on a temporary data folder.
#include "model/ModelFixture.h"

#include "support/RunCtl.h"
#include <algorithm>
#include <functional>
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

    auto lines = SplitU16Lines(ReadBytes(file));
    lines[59] = u"\tMacroKeyIndex=";
    lines.pop_back();
    const auto bad = dir / "bad.psf";
    WriteBytes(bad, JoinU16Lines(lines));
    CtlResult invalid = Ctl(data, "check '" + bad.string() + "'");
    EXPECT_EQ(invalid.status, 1);
    EXPECT_EQ(invalid.out.rfind("line 60: ", 0), 0u) << invalid.out;
    // A file that fails changes nothing.
    const std::string slot3 = ReadBytes(data / "config" / "default3.psf");
    EXPECT_EQ(Ctl(data, "import --slot 3 '" + bad.string() + "'").status, 1);
    EXPECT_TRUE(ReadBytes(data / "config" / "default3.psf") == slot3);
    EXPECT_FALSE(std::filesystem::exists(data / "config" / "default3.psf.bak"));
    EXPECT_EQ(Ctl(data, "import --slot 3 '" + (dir / "missing.psf").string() + "'").status, 1);
    EXPECT_EQ(Ctl(data, "check '" + (dir / "x.txt").string() + "'").status, 2);
}

// `check` knows every kind of file a data folder holds, by its name (a backup
// by the name it keeps), and holds each to its own format.
TEST(CliSmoke, CheckKnowsEveryFileOfTheDataFolder) {
    TempDir dir;
    const auto data = dir / "data";
    ASSERT_EQ(Ctl(data, "init").status, 0);
    WriteBytes(data / "config" / "MacroLibraryFile.mlf",
               Utf16Bytes(u"[MacroLibrary]\nMacroKeyIndex=1\nSelect "
                          u"Locaton:stage=-1;stage0Index=0;stage1Index=0;stage2Index=0;\n"));
    std::filesystem::copy_file(data / "config" / "config.ini", data / "config" / "config.ini.bak.1");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(data / "config")) {
        SCOPED_TRACE(entry.path().filename().string());
        const CtlResult r = Ctl(data, "check '" + entry.path().string() + "'");
        EXPECT_EQ(r.status, 0) << r.out << r.Err();
        EXPECT_EQ(r.out, "valid\n");
        ++files;
    }
    EXPECT_EQ(files, 12); // 5 profiles, config.ini and its backup, the library, 3 language files, the lock

    struct Case {
        const char* name;
        std::u16string text;
        int exit;
        const char* says; // the start of the output, or of the error
    };
    const Case cases[] = {
        {"LanSetting.ini", u"[Setting]\nLanguage=EN\n", 1, "line 1: not \"[ChangeLanguage]\""},
        {"LanSetting.ini", u"[ChangeLanguage]\n", 1, "line 2: the file ends before the language line"},
        {"LanSetting.ini", u"[ChangeLanguage]\nLanguage=\n", 1, "line 2: "},
        {"Lan_EN.txt", u"[Setting]\n0=English\nno pair\n", 1, "line 3: "},
        {"Lan.txt", u"[ChangeLanguage]\nLanguage=EN\n", 1, "line 1: "},
        {"default2.psf.bak.2", u"[Setting]\n", 1, "line 2: "},
        {"config.ini.bak", u"[Setting]\nVersion=1\n", 1, "line 3: the file ends after 1 pair"},
        {"notes.txt", u"[Setting]\n", 2, "tarvikctl: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = dir / "cases" / c.name;
        std::filesystem::create_directories(file.parent_path());
        WriteBytes(file, Utf16Bytes(c.text));
        const CtlResult r = Ctl(data, "check '" + file.string() + "'");
        EXPECT_EQ(r.status, c.exit);
        const std::string said = c.exit == 2 ? r.Err() : r.out;
        EXPECT_EQ(said.rfind(c.says, 0), 0u) << said;
    }
}

// `show` prints the profile as a user reads it: the default one, and one that
// differs in every part the listing has (a disabled level, another active one,
// an effect with colours, 500 Hz, a shortcut, the power and lift-off options).
TEST(CliSmoke, ShowListsTheProfileInTheWindowsWords) {
    TempDir dir;
    const auto data = dir / "data";
    ASSERT_EQ(Ctl(data, "init").status, 0);
    const auto file = dir / "edited.psf";
    ASSERT_EQ(Ctl(data, "export --slot 1 '" + file.string() + "'").status, 0);
    auto lines = SplitU16Lines(ReadBytes(file));
    lines.pop_back(); // the empty rest after the last line end
    ASSERT_EQ(lines.size(), 93u);
    lines[17] = u"PowerDownTime=10";
    lines[18] = u"LiftDetectionHeight=1";
    lines[20] = u"MotionWakeup=0";
    lines[21] = u"DPIOffOnFlagValue=1B";        // level 3 off
    lines[30] = u"\tCurrentDPILevelValue=02";   // the third enabled level: 4
    lines[42] = u"\tPollingRateValue=020000";   // 500 Hz
    lines[44] = u"\tLighting1ModeValue=020000"; // effect 2 with its seven colours
    WriteBytes(file, JoinU16Lines(lines));
    ASSERT_EQ(Ctl(data, "import --slot 1 '" + file.string() + "'").status, 0);
    ASSERT_EQ(Ctl(data, "profile rename 1 Mine").status, 0);
    ASSERT_EQ(Ctl(data, "assign --slot 1 --button 4 shortcut ctrl+c").status, 0);

    const std::filesystem::path golden = std::filesystem::path(TARVIK_TEST_DATA) / "model/data";
    struct Case {
        const char* args;
        const char* file;
    };
    for (const Case& c : {Case{"show", "show-default.txt"}, Case{"show --slot 1", "show-edited.txt"}}) {
        SCOPED_TRACE(c.args);
        const CtlResult r = Ctl(data, c.args);
        EXPECT_EQ(r.status, 0) << r.Err();
        EXPECT_EQ(r.out, ReadBytes(golden / c.file));
    }
    // The stored fields and the settings file's pairs stay behind --raw.
    const CtlResult raw = Ctl(data, "show --raw");
    EXPECT_EQ(raw.status, 0);
    EXPECT_NE(raw.out.find("Mac_ID = "), std::string::npos) << raw.out;
    EXPECT_EQ(Ctl(data, "show").out.find("Mac_ID"), std::string::npos);
}

// Every changing command exits 1 when its save fails. Each command runs twice:
// on a working data folder, where it succeeds, and on one whose path runs
// through a regular file, where nothing can be written (also for root): it
// stops before reading anything, and says why.
TEST(CliSmoke, ChangingCommandsExitOneWhenTheirSaveFails) {
    TempDir dir;
    const auto source = dir / "source";
    ASSERT_EQ(Ctl(source, "init").status, 0);
    const auto psf = dir / "p.psf";
    ASSERT_EQ(Ctl(source, "export --slot 1 '" + psf.string() + "'").status, 0);
    const std::string library =
        ReadBytes(std::filesystem::path(TARVIK_TEST_DATA) / "macro/data/library.mlf.txt");
    WriteBytes(source / "config" / "MacroLibraryFile.mlf", Utf16Bytes(FromUtf8(library)));
    const auto mkf = dir / "copy.mkf";
    ASSERT_EQ(Ctl(source, "macro export --path Copy '" + mkf.string() + "'").status, 0);

    struct Case {
        const char* what;
        std::function<std::string(const std::filesystem::path& folder)> args;
    };
    auto fixed = [](std::string args) { return [args](const std::filesystem::path&) { return args; }; };
    // A command that writes `verb` to a file in the folder.
    auto into = [](const char* verb, const char* name) {
        return [verb, name](const std::filesystem::path& folder) {
            std::string args = verb;
            args += " '";
            args += (folder / name).string();
            args += "'";
            return args;
        };
    };
    const Case cases[] = {
        {"init", fixed("init")},
        {"profile add", fixed("profile add Extra")},
        {"profile rename", fixed("profile rename 1 Renamed")},
        {"profile delete", fixed("profile delete 1")},
        {"profile select", fixed("profile select 2")},
        {"assign", fixed("assign --button 2 dpi-up")},
        {"import", fixed("import --slot 2 '" + psf.string() + "'")},
        {"macro import", fixed("macro import '" + mkf.string() + "'")},
        {"export", into("export --slot 0", "out.psf")},
        {"macro export", into("macro export --all", "out.mbf")},
    };
    WriteBytes(dir / "file", "a regular file");
    const auto good = dir / "good";
    const auto blocked = dir / "file" / "data";
    ASSERT_EQ(Ctl(good, "init").status, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CtlResult ok = Ctl(good, c.args(good));
        EXPECT_EQ(ok.status, 0) << (ok.err.empty() ? "" : ok.err[0]);
        const CtlResult failed = Ctl(blocked, c.args(blocked));
        EXPECT_EQ(failed.status, 1);
        const bool said = std::any_of(failed.err.begin(), failed.err.end(), [](const std::string& l) {
            return l.find("Not a directory") != std::string::npos;
        });
        EXPECT_TRUE(said) << (failed.err.empty() ? "nothing on stderr" : failed.err.back());
    }
}

} // namespace
} // namespace tarvik::test
