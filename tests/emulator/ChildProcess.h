// Runs the project's programs from a test: output to files, every wait bounded,
// and a child that is still running when its object goes away is killed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tarvik::test {

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { Kill(); }

    // Starts `argv` with stdout and stderr going to files beside `outputBase`.
    bool Start(const std::vector<std::string>& argv, const std::filesystem::path& outputBase) {
        out_ = outputBase.string() + ".out";
        err_ = outputBase.string() + ".err";
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const int outFd = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int errFd = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (outFd < 0 || errFd < 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec.
            if (::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) _exit(126);
            ::execv(args[0], args.data());
            _exit(127);
        }
        ::close(outFd);
        ::close(errFd);
        if (pid_ < 0) return false;
        return true;
    }

    // Waits up to `timeout` for the child to end; true when it did (`ExitCode` is then set).
    bool Wait(std::chrono::milliseconds timeout) {
        if (pid_ <= 0) return true;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return true;
            }
            if (r < 0) {
                pid_ = -1;
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void Signal(int sig) {
        if (pid_ > 0) ::kill(pid_, sig);
    }

    // SIGTERM, then SIGKILL if it does not end within two seconds.
    void Kill() {
        if (pid_ <= 0) return;
        Signal(SIGTERM);
        if (Wait(std::chrono::seconds(2))) return;
        Signal(SIGKILL);
        Wait(std::chrono::seconds(5));
    }

    bool Running() { return pid_ > 0 && !Wait(std::chrono::milliseconds(0)); }
    int ExitCode() const { return exitCode_; }
    std::string Out() const { return Read(out_); }
    std::string Err() const { return Read(err_); }

private:
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    pid_t pid_ = -1;
    int exitCode_ = -1;
    std::string out_, err_;
};

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program to its end; one that is still running after `timeout` is killed
// and reported with exit code -1.
inline RunResult RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& outputBase,
                            std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    ChildProcess p;
    RunResult r;
    if (!p.Start(argv, outputBase)) return r;
    const bool ended = p.Wait(timeout);
    if (!ended) p.Kill();
    r.exitCode = ended ? p.ExitCode() : -1;
    r.out = p.Out();
    r.err = p.Err();
    return r;
}

// Polls `done` every 20 ms for up to `timeout`.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace tarvik::test
