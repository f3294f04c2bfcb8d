// The start-up load on fresh, damaged and unreadable data folders: what it
// says became of each file, what it kept, and the problems it met.
#include <gtest/gtest.h>

#include <functional>

#include "TestFiles.h"
#include "macro/StartupLoad.h"
#include "text/Language.h"
#include "text/Log.h"

namespace tarvik {
namespace {

using test::ReadBytes;
using test::Utf16File;
namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One letter per profile slot: Loaded, Missing, Replaced, Unreadable.
std::string States(const SettingsLoadReport& r) {
    std::string s;
    for (const LoadOutcome& p : r.profiles) s += "LMRU"[static_cast<int>(p.state)];
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
    int problems; // -1: not counted
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
    using S = LoadState;
    const std::vector<StartCase> cases = {
        {"first start", false, nullptr, S::Missing, "LLLLL", S::Missing, FileError::None, false, true, 0},
        {"second start", true, [&](const fs::path& c) { WriteBytes(c / "MacroLibraryFile.mlf", golden); },
         S::Loaded, "LLLLL", S::Loaded, FileError::None, false, true, 0},
        {"damaged settings file", true, [&](const fs::path& c) { setLine(c / "config.ini", 3, u"Sensor="); },
         S::Replaced, "RRRRR", S::Missing, FileError::None, false, true, 1},
        {"damaged profile file", true,
         [&](const fs::path& c) { setLine(c / "default2.psf", 63, u"\t\tAllAction=00"); }, S::Loaded, "LLRLL",
         S::Missing, FileError::None, false, true, 1},
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
         S::Unreadable, "RRRRR", S::Missing, FileError::None, false, false, 2},
        {"macro library that cannot be read", true,
         [](const fs::path& c) { fs::create_directories(c / "MacroLibraryFile.mlf" / "inside"); }, S::Loaded,
         "LLLLL", S::Unreadable, FileError::None, false, true, 1},
        {"no language files", false, nullptr, S::Missing, "LLLLL", S::Missing, FileError::Missing, false,
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
        sink.clear();

        StartupData d = LoadStartupData(data, program, 1.5);
        const StartupReport& r = d.report;
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

// The data folder cannot be created: nothing can be read or written, the
// load still gives a complete model with defaults, and says it wrote nothing.
TEST_F(StartupLoad, FolderThatCannotBeCreated) {
    test::WriteUtf16(Path("file"), "a regular file");
    SetProblemSink([](const std::string&) {}, /*quiet=*/true);
    StartupData d = LoadStartupData(Path("file") / "data", Path("no-program"), 1.0);
    const StartupReport& r = d.report;
    EXPECT_EQ(r.settings.settings.state, LoadState::Missing);
    EXPECT_EQ(r.settings.settings.write.error, FileError::NotWritten);
    EXPECT_EQ(States(r.settings), "MMMMM");
    EXPECT_FALSE(r.AllWritten());
    EXPECT_FALSE(r.problems.empty());
    EXPECT_EQ(d.model->Profiles[4].DPIOffOnFlag, 0x1F); // defaults in memory
    EXPECT_EQ(d.model->DpiStepCount, 59u);
    EXPECT_FALSE(fs::exists(Path("file") / "data"));
}

} // namespace
} // namespace tarvik
