#include "model/Startup.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tarvik {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::filesystem::path HomeFolder() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    // No $HOME (a service, a stripped environment): ask the password database.
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
        return result->pw_dir;
    return std::filesystem::temp_directory_path();
}

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

} // namespace

std::filesystem::path ResolveDataFolder(const std::optional<std::filesystem::path>& override,
                                        bool simulated) {
    if (override && !override->empty()) return *override;
    const std::string fromEnv = Env("TARVIK_DATA_DIR");
    if (!fromEnv.empty()) return fromEnv;
    // XDG: a relative $XDG_CONFIG_HOME is invalid and ignored.
    std::filesystem::path base = Env("XDG_CONFIG_HOME");
    if (base.empty() || base.is_relative()) base = HomeFolder() / ".config";
    std::string name = kDataFolderName;
    if (simulated) name += "-simulated";
    return base / name;
}

std::filesystem::path ResolveProgramFolder() {
    const std::string fromEnv = Env("TARVIK_PROGRAM_DIR");
    if (!fromEnv.empty()) return fromEnv;
    const std::filesystem::path exeDir = ExecutableFolder();
    std::error_code ec;
    if (std::filesystem::is_directory(exeDir / "lang", ec) ||
        std::filesystem::is_directory(exeDir / "skins", ec))
        return exeDir;
    return (exeDir / ".." / "share" / "tarvik").lexically_normal();
}

void PrepareDataFolder(const std::filesystem::path& dataFolder, const std::filesystem::path& programFolder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dataFolder, ec)) std::filesystem::create_directories(dataFolder, ec);
    const std::filesystem::path config = dataFolder / "config";
    if (!std::filesystem::is_directory(config, ec)) std::filesystem::create_directory(config, ec);
    // First run: the shipped language files join the user's config folder. A file
    // that is already there (possibly edited by the user) is never replaced.
    for (const char* name : {"Lan_EN.txt", "Lan.txt", "LanSetting.ini"}) {
        const std::filesystem::path from = programFolder / "lang" / name;
        const std::filesystem::path to = config / name;
        if (std::filesystem::exists(to, ec) || !std::filesystem::is_regular_file(from, ec)) continue;
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::skip_existing, ec);
    }
}

} // namespace tarvik
