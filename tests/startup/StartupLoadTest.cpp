// The start-up load on fresh, damaged and unreadable data folders: what it
// says became of each file, what it kept, and the problems it met.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "macro/TestFiles.h"
#include "startup/StartupLoad.h"
#include "text/Language.h"
#include "text/Log.h"
#include "text/StdioFileEx.h"

namespace tarvik {
namespace {

using test::ReadBytes;
using test::Utf16File;
namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One letter per profile slot: Loaded, Missing, Replaced, Unreadable, Kept.
std::string States(const SettingsLoadReport& r) {
    std::string s;
    for (const LoadOutcome& p : r.profiles) s += "LMRUK"[static_cast<int>(p.state)];
    return s;
}

struct StartCase {
    const char* what;
    bool startedBefore;                               // a first start ran in the folder already
    std::function<void(const fs::path& config)> edit; // then this changed it
    LoadState settings;
    const char* profiles; // States()
    LoadState library;
    FileError language;
    bool sensorReset;
    bool allWritten;
    int problems;                 // -1: not counted
    bool lockedElsewhere = false; // another program holds the folder's lock
    // Files (in config/) that must hold the same bytes after the load as
    // after the edit: what was left alone.
    std::vector<std::string> untouched = {};
};

class StartupLoad : public test::TempDirTest {
protected:
    void TearDown() override {
        Language().Clear();
        SetProblemSink(nullptr, false);
        TempDirTest::TearDown();
    }
};

TEST_F(StartupLoad, SaysWhatBecameOfEachFile) {
    const fs::path shipped = fs::path(TARVIK_SOURCE_DIR) / "data";
    const std::string golden = Utf16File(FromUtf8(test::ReadBytes(test::MacroData("library.mlf.txt"))));
    auto setLine = [](const fs::path& file, std::size_t n, std::u16string_view text) {
        std::string bytes = ReadBytes(file);
        // Lines are found in the UTF-16 text; n counts from 1.
        std::u16string u;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            u.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        std::size_t start = 0;
        for (std::size_t k = 1; k < n; ++k) start = u.find(u'\n', start) + 1;
        u.replace(start, u.find(u'\n', start) - start, text);
        WriteBytes(file, Utf16File(u));
    };
    auto damage = [&](const char* name) {
        return [&, name](const fs::path& c) { setLine(c / name, 63, u"\t\tAllAction=00"); };
    };
    using S = LoadState;
    const std::vector<StartCase> cases = {
        {"first start", false, nullptr, S::Missing, "MMMMM", S::Missing, FileError::None, false, true, 0},
        {"second start", true, [&](const fs::path& c) { WriteBytes(c / "MacroLibraryFile.mlf", golden); },
         S::Loaded, "LLLLL", S::Loaded, FileError::None, false, true, 0},
        // config.ini alone is rebuilt; the profile files that read correctly stay.
        {"damaged settings file", true, [&](const fs::path& c) { setLine(c / "config.ini", 3, u"Sensor="); },
         S::Replaced, "LLLLL", S::Missing, FileError::None, false, true, 1},
        {"settings file cut after a few pairs", true,
         [&](const fs::path& c) {
             WriteBytes(c / "config.ini", Utf16File(u"[Setting]\nVersion=1\nSensor=0x3325\n"));
         },
         S::Replaced, "LLLLL", S::Missing, FileError::None, false, true, 1},
        {"damaged profile file", true, damage("default2.psf"), S::Loaded, "LLRLL", S::Missing,
         FileError::None, false, true, 1},
        // No copy can be kept (an older generation cannot move down): the
        // damaged file is not replaced.
        {"damaged profile file without a backup",
         true,
         [&](const fs::path& c) {
             damage("default2.psf")(c);
             WriteBytes(c / "default2.psf.bak", "older");
             WriteBytes(c / "default2.psf.bak.1", "oldest");
             fs::create_directories(c / "default2.psf.bak.2" / "inside");
         },
         S::Loaded,
         "LLKLL",
         S::Missing,
         FileError::None,
         false,
         true,
         1,
         false,
         {"default2.psf", "default2.psf.bak"}},
        {"profile file past the size limit", true,
         [&](const fs::path& c) {
             WriteBytes(c / "default3.psf", std::string(kMaxProfileFileBytes + 2, 'x'));
         },
         S::Loaded, "LLLRL", S::Missing, FileError::None, false, true, 1},
        {"profile file that is a FIFO", true,
         [](const fs::path& c) {
             fs::remove(c / "default1.psf");
             ASSERT_EQ(::mkfifo((c / "default1.psf").c_str(), 0600), 0);
         },
         S::Loaded, "LULLL", S::Missing, FileError::None, false, true, 1},
        {"folder in use by another program",
         true,
         [&](const fs::path& c) {
             damage("default2.psf")(c);
             setLine(c / "config.ini", 3, u"Sensor=");
         },
         S::Kept,
         "LLKLL",
         S::Missing,
         FileError::None,
         false,
         true,
         3,
         true,
         {"config.ini", "default2.psf"}},
        {"stale temporary files of a killed save", true,
         [](const fs::path& c) {
             WriteBytes(c / "default0.psf.tmp4242-0", "half");
             WriteBytes(c / "config.ini.bak.tmp", "");
         },
         S::Loaded, "LLLLL", S::Missing, FileError::None, false, true, 0},
        {"hand-edited sensor", true,
         [&](const fs::path& c) { setLine(c / "config.ini", 3, u"Sensor=0x3395"); }, S::Loaded, "LLLLL",
         S::Missing, FileError::None, true, true, 0},
        {"damaged macro library", true,
         [&](const fs::path& c) {
             WriteBytes(c / "MacroLibraryFile.mlf", golden);
             setLine(c / "MacroLibraryFile.mlf", 17, u"AllAction=0");
         },
         S::Loaded, "LLLLL", S::Replaced, FileError::None, false, true, 1},
        // A folder where a file should be: it exists but cannot be read, and the
        // defaults cannot be renamed over it either.
        {"settings file that cannot be read", true,
         [](const fs::path& c) {
             fs::remove(c / "config.ini");
             fs::create_directories(c / "config.ini" / "inside");
         },
         S::Unreadable, "LLLLL", S::Missing, FileError::None, false, true, 1},
        {"macro library that cannot be read", true,
         [](const fs::path& c) { fs::create_directories(c / "MacroLibraryFile.mlf" / "inside"); }, S::Loaded,
         "LLLLL", S::Unreadable, FileError::None, false, true, 1},
        {"no language files", false, nullptr, S::Missing, "MMMMM", S::Missing, FileError::Missing, false,
         true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path data = Path(c.what);
        const fs::path config = data / "config";
        std::vector<std::string> sink;
        SetProblemSink([&](const std::string& m) { sink.push_back(m); }, /*quiet=*/true);
        if (c.startedBefore) {
            StartupData first = LoadStartupData(data, shipped, 1.0);
            ASSERT_TRUE(first.report.problems.empty()) << first.report.problems[0];
        }
        if (c.edit) c.edit(config);
        // Without shipped files to install there is no language file.
        const fs::path program = c.language == FileError::Missing ? Path("no-program") : shipped;
        const std::string configBefore =
            fs::is_regular_file(config / "config.ini") ? ReadBytes(config / "config.ini") : "";
        std::vector<std::string> before;
        for (const std::string& name : c.untouched) before.push_back(ReadBytes(config / name));
        sink.clear();

        FolderLock other;
        if (c.lockedElsewhere) other = FolderLock::Acquire(data, std::chrono::milliseconds(0));
        StartupData d = LoadStartupData(data, program, 1.5, nullptr, std::chrono::milliseconds(0));
        other.Release();
        const StartupReport& r = d.report;
        EXPECT_EQ(r.lock.ok(), !c.lockedElsewhere) << r.lock.reason;
        for (std::size_t i = 0; i < c.untouched.size(); ++i)
            EXPECT_TRUE(ReadBytes(config / c.untouched[i]) == before[i]) << c.untouched[i];
        const std::string states = States(r.settings);
        EXPECT_EQ(r.AnyLeftAlone(), r.settings.settings.LeftAlone() || r.library.LeftAlone() ||
                                        states.find_first_of("UK") != std::string::npos);
        // Whatever a killed save left is gone; the load leaves nothing of its own.
        if (!c.lockedElsewhere) {
            for (const auto& e : fs::directory_iterator(config))
                EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
        }
        ASSERT_TRUE(d.model && d.library);
        EXPECT_EQ(r.settings.settings.state, c.settings) << r.settings.settings.read.Describe();
        EXPECT_EQ(States(r.settings), c.profiles);
        EXPECT_EQ(r.library.state, c.library) << r.library.read.Describe();
        EXPECT_EQ(r.language.error, c.language) << r.language.Describe();
        EXPECT_EQ(r.settings.sensorCheckReset, c.sensorReset);
        EXPECT_EQ(r.AllWritten(), c.allWritten);
        if (c.problems >= 0) {
            EXPECT_EQ(r.problems.size(), static_cast<std::size_t>(c.problems));
        }
        EXPECT_EQ(r.problems, sink); // each reported once, and returned as reported

        // What was replaced is kept beside it, byte for byte for the settings file.
        for (const LoadOutcome* o : {&r.settings.settings, &r.library}) {
            EXPECT_EQ(o->state == S::Replaced, !o->backup.empty());
            if (!o->backup.empty()) {
                EXPECT_TRUE(fs::is_regular_file(o->backup));
            }
        }
        if (r.settings.settings.state == S::Replaced) {
            EXPECT_EQ(ReadBytes(config / "config.ini.bak"), configBefore);
        }
        for (const LoadOutcome& p : r.settings.profiles) {
            if (p.state == S::Replaced) {
                EXPECT_TRUE(fs::is_regular_file(p.backup));
            }
        }

        // The model is complete: the DPI tables are built for the configured sensor.
        EXPECT_EQ(d.model->DpiStepCount, c.sensorReset ? 520u : 59u);
        // The shipped selector chooses English; without it the default file is tried.
        EXPECT_EQ(r.languageFile.filename(), c.language == FileError::Missing ? "Lan.txt" : "Lan_EN.txt");
        if (c.library == S::Loaded) {
            EXPECT_EQ(d.library->NodeCount(), 7u);
        }
    }
}

// A damaged language file would leave the window without texts: the shipped
// copy takes its place, the damaged one is kept as .bak, and one line says so.
// With the folder's lock held elsewhere nothing is replaced.
TEST_F(StartupLoad, DamagedLanguageFileIsRestoredFromTheShippedCopy) {
    const fs::path shipped = fs::path(TARVIK_SOURCE_DIR) / "data";
    struct Case {
        const char* what;
        std::string content; // of config/Lan_EN.txt
        bool lockedElsewhere;
        bool restored;
    };
    const std::vector<Case> cases = {
        {"no header: every text lost", Utf16File(u"Setting\n0=English\n"), false, true},
        {"a line without '=' after a few texts", Utf16File(u"[Setting]\n0=English\n1=Profiles\nbroken\n"),
         false, true},
        {"lock held by another program", Utf16File(u"Setting\n"), true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path data = Path(c.what);
        {
            StartupData first = LoadStartupData(data, shipped, 1.0);
            ASSERT_TRUE(first.report.problems.empty());
        }
        const fs::path file = data / "config" / "Lan_EN.txt";
        WriteBytes(file, c.content);
        std::vector<std::string> sink;
        SetProblemSink([&](const std::string& m) { sink.push_back(m); }, /*quiet=*/true);
        FolderLock other;
        if (c.lockedElsewhere) other = FolderLock::Acquire(data, std::chrono::milliseconds(0));
        StartupData d = LoadStartupData(data, shipped, 1.0, nullptr, std::chrono::milliseconds(0));
        other.Release();
        const StartupReport& r = d.report;
        EXPECT_EQ(r.language.ok(), c.restored) << r.language.Describe();
        EXPECT_EQ(ReadBytes(file) == ReadBytes(shipped / "lang" / "Lan_EN.txt"), c.restored);
        EXPECT_EQ(fs::exists(BackupName(file, 0)), c.restored);
        if (c.restored) {
            EXPECT_EQ(ReadBytes(BackupName(file, 0)), c.content);
            EXPECT_EQ(LanguageString(8), u"Macro Manager");
        } else {
            EXPECT_EQ(ReadBytes(file), c.content);
        }
        // One line about the language file, which names the file and what became of it.
        const auto about = std::count_if(sink.begin(), sink.end(), [](const std::string& m) {
            return m.find("Lan_EN.txt") != std::string::npos;
        });
        EXPECT_EQ(about, 1);
        if (c.restored) {
            EXPECT_TRUE(std::any_of(sink.begin(), sink.end(), [](const std::string& m) {
                return m.find("Lan_EN.txt.bak") != std::string::npos;
            }));
        }
        SetProblemSink(nullptr, false);
    }
}

// A data folder that cannot be used (it cannot be created, or its path holds
// a line break): nothing is read or written, the load still gives a complete
// model with defaults, says why once, and the model saves nothing there.
TEST_F(StartupLoad, FolderThatCannotBeUsed) {
    test::WriteUtf16(Path("file"), "a regular file");
    struct Case {
        fs::path folder;
        const char* why;
    };
    const Case cases[] = {
        {Path("file") / "data", "cannot be made: Not a directory"},
        {Path("line\nbreak"), "holds a line break"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.string());
        SetProblemSink([](const std::string&) {}, /*quiet=*/true);
        StartupData d = LoadStartupData(c.folder, Path("no-program"), 1.0);
        const StartupReport& r = d.report;
        EXPECT_FALSE(r.folder);
        EXPECT_NE(r.folder.reason.find(c.why), std::string::npos) << r.folder.reason;
        EXPECT_FALSE(r.AllWritten());
        ASSERT_EQ(r.problems.size(), 1u);
        EXPECT_EQ(d.model->Profiles[4].DPIOffOnFlag, 0x1F); // defaults in memory
        EXPECT_EQ(d.model->DpiStepCount, 59u);
        EXPECT_TRUE(d.model->SaveSettingsAndProfiles()); // nothing changed: nothing to save
        d.model->Profiles[1].Settings[kSetProfileName].Value = u"changed";
        EXPECT_EQ(d.model->SaveSettingsAndProfiles().error, FileError::NotWritten);
        MacroLocation at;
        ASSERT_EQ(d.library->AddMacro(u"m", at), MacroLibrary::AddResult::Added);
        EXPECT_EQ(d.library->Save(MacroLibraryPath(c.folder)).error, FileError::NotWritten);
        EXPECT_FALSE(fs::exists(c.folder));
    }
}

// A real permission case: files the user may not read are reported, left
// alone and never saved over. Root reads them anyway, so it skips itself; the
// folder-for-a-file rows above cover the same path for every user.
TEST_F(StartupLoad, FilesWithoutReadPermissionAreLeftAlone) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may read any file";
    const fs::path shipped = fs::path(TARVIK_SOURCE_DIR) / "data";
    const fs::path data = Path("data");
    SetProblemSink([](const std::string&) {}, /*quiet=*/true);
    { StartupData first = LoadStartupData(data, shipped, 1.0); }
    const fs::path config = data / "config";
    WriteBytes(config / "MacroLibraryFile.mlf",
               Utf16File(FromUtf8(test::ReadBytes(test::MacroData("library.mlf.txt")))));
    const std::string profile = ReadBytes(config / "default1.psf");
    const std::string library = ReadBytes(config / "MacroLibraryFile.mlf");
    fs::permissions(config / "default1.psf", fs::perms::none);
    fs::permissions(config / "MacroLibraryFile.mlf", fs::perms::none);
    StartupData d = LoadStartupData(data, shipped, 1.0);
    EXPECT_EQ(States(d.report.settings), "LULLL");
    EXPECT_EQ(d.report.library.state, LoadState::Unreadable);
    EXPECT_TRUE(d.report.AnyLeftAlone());
    MacroLocation at;
    ASSERT_EQ(d.library->AddMacro(u"m", at), MacroLibrary::AddResult::Added);
    EXPECT_FALSE(d.library->Save(MacroLibraryPath(data)));
    d.model->Profiles[1].Settings[kSetProfileName].Value = u"changed";
    EXPECT_FALSE(d.model->SaveSettingsAndProfiles());
    fs::permissions(config / "default1.psf", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(config / "MacroLibraryFile.mlf", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadBytes(config / "default1.psf"), profile);
    EXPECT_EQ(ReadBytes(config / "MacroLibraryFile.mlf"), library);
}

} // namespace
} // namespace tarvik
