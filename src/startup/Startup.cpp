#include "startup/Startup.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "text/StdioFileEx.h"

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

namespace {

std::filesystem::path Absolute(const std::filesystem::path& p) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(p, ec);
    return (ec ? p : abs).lexically_normal();
}

std::filesystem::path ChosenDataFolder(const std::optional<std::filesystem::path>& override, bool simulated) {
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

} // namespace

std::filesystem::path ResolveDataFolder(const std::optional<std::filesystem::path>& override,
                                        bool simulated) {
    std::filesystem::path folder = Absolute(ChosenDataFolder(override, simulated));
    // "/a/b/" and "/a/b" are one folder.
    if (!folder.has_filename() && folder.has_parent_path() && folder != folder.root_path())
        folder = folder.parent_path();
    return folder;
}

std::string DataFolderProblem(const std::filesystem::path& dataFolder) {
    const std::string& s = dataFolder.native();
    if (s.find_first_of("\r\n") == std::string::npos) return {};
    return "the data folder's path holds a line break, which config.ini cannot store";
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

FileResult PrepareDataFolder(const std::filesystem::path& dataFolder,
                             const std::filesystem::path& programFolder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dataFolder, ec)) std::filesystem::create_directories(dataFolder, ec);
    const std::filesystem::path config = dataFolder / "config";
    std::error_code made;
    if (!std::filesystem::is_directory(config, ec)) std::filesystem::create_directory(config, made);
    if (!std::filesystem::is_directory(config, ec)) {
        std::string reason = "its folder ";
        reason += config.string();
        reason += " cannot be made";
        if (made || ec) {
            reason += ": ";
            reason += (made ? made : ec).message();
        }
        return FileResult::Failure(FileError::NotWritten, std::move(reason));
    }
    if (!programFolder.empty()) InstallLanguageFiles(dataFolder, programFolder);
    return {};
}

void InstallLanguageFiles(const std::filesystem::path& dataFolder,
                          const std::filesystem::path& programFolder) {
    const std::filesystem::path config = dataFolder / "config";
    std::error_code ec;
    // First run: the shipped language files join the user's config folder. A file
    // that is already there (possibly edited by the user) is never replaced: the
    // copy is linked in under its name only while the name is free.
    for (const char* name : {"Lan_EN.txt", "Lan.txt", "LanSetting.ini"}) {
        const std::filesystem::path from = programFolder / "lang" / name;
        const std::filesystem::path to = config / name;
        if (std::filesystem::exists(std::filesystem::symlink_status(to, ec)) ||
            !std::filesystem::is_regular_file(from, ec))
            continue;
        std::filesystem::path temp = to;
        temp += ".tmp";
        temp += std::to_string(::getpid());
        temp += "-0";
        std::filesystem::remove(temp, ec);
        std::filesystem::copy_file(from, temp, ec);
        if (!ec && ::link(temp.c_str(), to.c_str()) != 0 && errno != EEXIST) {
            // A file system without hard links: the name was free a moment ago.
            std::filesystem::rename(temp, to, ec);
        }
        std::filesystem::remove(temp, ec);
    }
}

FileResult RestoreLanguageFile(const std::filesystem::path& languageFile,
                               const std::filesystem::path& programFolder) {
    if (programFolder.empty())
        return FileResult::Failure(FileError::Missing, "no program folder holds a shipped copy");
    const std::filesystem::path shipped = programFolder / "lang" / languageFile.filename();
    CStdioFileEx in;
    if (FileResult opened = OpenForReading(in, shipped); !opened) {
        opened.reason = "the shipped copy " + shipped.string() + ": " + opened.Describe();
        return opened;
    }
    // Line by line: the shipped files end their lines with a bare line feed.
    std::u16string text, line;
    while (in.ReadLine(line)) {
        text += line;
        text += u'\n';
    }
    const Backup kept = KeepBackup(languageFile, CStdioFileEx::kDefaultReadLimit, UnicodeFileBytes(text));
    if (!kept.result) return kept.result;
    return WriteUnicodeFile(languageFile, text, "language file");
}

std::filesystem::path PrivateRuntimeFolder(const std::filesystem::path& base) {
    std::string name = "tarvik-runtime-";
    name += std::to_string(::getuid());
    const std::filesystem::path dir = base / name;
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    // lstat: a link planted by someone else is not followed.
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
    if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) return {};
    return dir;
}

std::filesystem::path UserRuntimeFolder() {
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    if (!runtime.empty()) {
        const std::filesystem::path dir(runtime);
        std::error_code ec;
        if (dir.is_absolute() && std::filesystem::is_directory(dir, ec)) return dir;
    }
    return PrivateRuntimeFolder();
}

} // namespace tarvik
