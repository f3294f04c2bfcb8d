#include "model/ModelFixture.h"

#include <cstdlib>
#include <map>
#include <optional>

namespace tarvik::test {
namespace {

// Sets environment variables for one test and restores them afterwards.
class EnvGuard {
public:
    void Set(const char* name, const std::optional<std::string>& value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~EnvGuard() {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(Startup, DataFolder) {
    struct Case {
        const char* name;
        std::optional<std::string> option, dataDir, xdg, home;
        bool simulated;
        std::string expected;
    };
    const Case cases[] = {
        {"option wins", "/opt/d", "/env/d", "/xdg", "/home/u", true, "/opt/d"},
        {"TARVIK_DATA_DIR", std::nullopt, "/env/d", "/xdg", "/home/u", true, "/env/d"},
        {"XDG_CONFIG_HOME", std::nullopt, std::nullopt, "/xdg", "/home/u", false, "/xdg/PelcorData20230619A"},
        {"simulated mouse", std::nullopt, std::nullopt, "/xdg", "/home/u", true,
         "/xdg/PelcorData20230619A-simulated"},
        {"no XDG: ~/.config", std::nullopt, "", std::nullopt, "/home/u", false,
         "/home/u/.config/PelcorData20230619A"},
        {"relative XDG is ignored", std::nullopt, std::nullopt, "rel", "/home/u", false,
         "/home/u/.config/PelcorData20230619A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EnvGuard env;
        env.Set("TARVIK_DATA_DIR", c.dataDir);
        env.Set("XDG_CONFIG_HOME", c.xdg);
        env.Set("HOME", c.home);
        std::optional<std::filesystem::path> option;
        if (c.option) option = *c.option;
        EXPECT_EQ(ResolveDataFolder(option, c.simulated), std::filesystem::path(c.expected));
    }
}

TEST(Startup, ProgramFolder) {
    EnvGuard env;
    env.Set("TARVIK_PROGRAM_DIR", "/some/where");
    EXPECT_EQ(ResolveProgramFolder(), std::filesystem::path("/some/where"));
    env.Set("TARVIK_PROGRAM_DIR", std::nullopt);
    EXPECT_FALSE(ResolveProgramFolder().empty());
}

TEST(Startup, PrepareDataFolderInstallsLanguageFilesOnce) {
    TempDir dir;
    const auto program = dir / "program";
    std::filesystem::create_directories(program / "lang");
    WriteBytes(program / "lang" / "Lan_EN.txt", Utf16Bytes(u"[Setting]\n0=English\n"));
    WriteBytes(program / "lang" / "LanSetting.ini", Utf16Bytes(u"[ChangeLanguage]\nLanguage=EN\n"));
    // Lan.txt is not shipped here: nothing is copied for it.
    const auto data = dir / "deep" / "data";
    const auto config = data / "config";
    std::filesystem::create_directories(config.parent_path().parent_path());

    ASSERT_TRUE(PrepareDataFolder(data, program));
    EXPECT_TRUE(std::filesystem::is_directory(config));
    EXPECT_EQ(ReadBytes(config / "Lan_EN.txt"), ReadBytes(program / "lang" / "Lan_EN.txt"));
    EXPECT_TRUE(std::filesystem::exists(config / "LanSetting.ini"));
    EXPECT_FALSE(std::filesystem::exists(config / "Lan.txt"));

    // A file already there is the user's: never replaced.
    WriteBytes(config / "Lan_EN.txt", "edited");
    ASSERT_TRUE(PrepareDataFolder(data, program));
    EXPECT_EQ(ReadBytes(config / "Lan_EN.txt"), "edited");

    LanguageTable table;
    WriteBytes(config / "Lan_EN.txt", ReadBytes(program / "lang" / "Lan_EN.txt"));
    EXPECT_TRUE(table.Load(config));
    EXPECT_EQ(table.String(0), u"English");

    // A data folder that cannot be created says why.
    WriteBytes(dir / "file", "x");
    const FileResult blocked = PrepareDataFolder(dir / "file" / "sub", program);
    EXPECT_EQ(blocked.error, FileError::NotWritten);
    EXPECT_NE(blocked.reason.find("Not a directory"), std::string::npos) << blocked.reason;
    EXPECT_FALSE(std::filesystem::exists(dir / "file" / "sub"));
}

} // namespace
} // namespace tarvik::test
