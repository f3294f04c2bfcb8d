// Runs the built tarvikctl on a data folder and captures what it prints.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace tarvik::test {

struct CtlResult {
    int status = -1;              // exit code; -1 when it did not exit normally
    std::string out;              // standard output
    std::vector<std::string> err; // standard error, line by line

    // Standard error as one text.
    std::string Err() const {
        std::string all;
        for (const std::string& line : err) {
            all += line;
            all += '\n';
        }
        return all;
    }
};

// A program of the build tree: tarvikctl, tarvik-mousesim, tarvik.
inline std::string ProgramBinary(const std::string& name) {
    return std::string(TARVIK_BINARY_DIR) + "/bin/" + name;
}

inline std::string TarvikctlBinary() {
    return ProgramBinary("tarvikctl");
}

// Runs `before` (variables, a change of directory, or nothing) followed by
// `binary` with `args` through the shell.
inline CtlResult RunProgramLine(const std::string& binary, const std::string& before,
                                const std::string& args) {
    const auto errFile = std::filesystem::temp_directory_path() /
                         ("tarvikctl-stderr-" + std::to_string(std::random_device{}()));
    std::string cmd = before;
    cmd += " '";
    cmd += binary;
    cmd += "' ";
    cmd += args;
    cmd += " 2>'";
    cmd += errFile.string();
    cmd += "'";
    CtlResult r;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    for (std::string line; std::getline(in, line);) r.err.push_back(line);
    std::error_code ec;
    std::filesystem::remove(errFile, ec);
    return r;
}

// Runs `before` followed by tarvikctl with `args` through the shell; no
// --data-dir is added.
inline CtlResult RunTarvikctlLine(const std::string& before, const std::string& args) {
    return RunProgramLine(TarvikctlBinary(), before, args);
}

inline CtlResult RunTarvikctl(const std::filesystem::path& dataDir, const std::string& args) {
    std::string all = "--data-dir '";
    all += dataDir.string();
    all += "' ";
    all += args;
    return RunTarvikctlLine("", all);
}

// Starts tarvikctl with `args` (no shell, so any bytes pass) and returns at
// once; its output is discarded. -1 when it cannot be started.
inline pid_t SpawnTarvikctl(const std::vector<std::string>& args) {
    std::vector<std::string> all{TarvikctlBinary()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit code of a started tarvikctl; -1 when it did not exit normally.
inline int WaitExit(pid_t pid) {
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace tarvik::test
