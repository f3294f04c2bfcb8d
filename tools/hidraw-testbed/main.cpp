// tarvik-hidraw-testbed: runs a command against the mouse as hidraw nodes in a
// umockdev testbed, so that the real hidraw backend (libudev enumeration, the
// hidraw ioctls, read() of input reports, the udev monitor) is driven without
// the mouse. A virtual mouse answers; tarvik-mousesim's ctl commands reach it
// on --ctl-socket; its state is written at the end. Developer tool, not installed.
//
//   tarvik-hidraw-testbed [--state FILE] [--ctl-socket S] [--descriptors DIR] -- COMMAND [ARGS...]
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "HidrawTestbed.h"
#include "device/Wakeup.h"
#include "emulator/MouseSimServer.h"
#include "emulator/VirtualMouse.h"
#include "programs/CommandLine.h"
#include "startup/Startup.h"
#include "text/ExitCodes.h"
#include "text/Log.h"

extern char** environ;

namespace {

constexpr const char* kPreload = "libumockdev-preload.so.0";
// Set while the program runs itself again with the preload library, so that
// a library that does not load is an error and not an endless loop.
constexpr const char* kReexecMark = "TARVIK_HIDRAW_TESTBED_PRELOAD";

volatile sig_atomic_t g_child = 0;

void Forward(int sig) {
    if (g_child > 0) ::kill(g_child, sig);
}

int Fail(const std::string& why) {
    std::cerr << "tarvik-hidraw-testbed: " << why << "\n";
    return tarvik::kExitFailed;
}

} // namespace

int main(int argc, char** argv) {
    tarvik::SetProgramName("tarvik-hidraw-testbed");
    // Everything after "--" is the command; the testbed's own options come before.
    int split = 1;
    while (split < argc && std::strcmp(argv[split], "--") != 0) ++split;
    std::vector<std::string> command(argv + std::min(split + 1, argc), argv + argc);

    CLI::App app{"tarvik-hidraw-testbed: runs COMMAND with the mouse as hidraw nodes in a umockdev testbed",
                 "tarvik-hidraw-testbed"};
    tarvik::cli::UseConventions(app);
    std::string stateFile, ctlSocket, descriptorDir;
    app.add_option("--state", stateFile, "write the virtual mouse's state here at the end (ctl dump --json)");
    app.add_option("--ctl-socket", ctlSocket,
                   "serve tarvik-mousesim's ctl commands (plug, unplug, press-dpi, ...)");
    app.add_option(
        "--descriptors", descriptorDir,
        "folder with A.rdesc, B.rdesc, keyboard.rdesc, other.rdesc replacing the built-in descriptors");
    app.footer("Usage: tarvik-hidraw-testbed [OPTIONS] -- COMMAND [ARGS...]");
    if (const auto ended = tarvik::cli::ParseCommandLine(app, split, argv)) return *ended;
    if (command.empty()) {
        std::cerr << "tarvik-hidraw-testbed: no command after -- (see --help)\n";
        return tarvik::kExitUsage;
    }

    // The testbed (and the command, which inherits the environment) must run
    // with umockdev's preload library: start again with it.
    if (!tarvik::testbed::PreloadActive()) {
        if (std::getenv(kReexecMark))
            return Fail(std::string("the umockdev preload library ") + kPreload +
                        " does not load (is the package umockdev installed?)");
        std::string preload = kPreload;
        if (const char* old = std::getenv("LD_PRELOAD"); old && *old) preload += std::string(":") + old;
        ::setenv("LD_PRELOAD", preload.c_str(), 1);
        ::setenv(kReexecMark, "1", 1);
        ::execv("/proc/self/exe", argv);
        return Fail(std::string("cannot start again with the preload library: ") + std::strerror(errno));
    }
    ::unsetenv(kReexecMark);

    tarvik::testbed::Descriptors descriptors = tarvik::testbed::DefaultDescriptors();
    std::string error;
    if (!descriptorDir.empty() && !tarvik::testbed::LoadDescriptors(descriptorDir, descriptors, &error))
        return Fail(error);

    auto mouse = std::make_shared<tarvik::VirtualMouse>();
    tarvik::testbed::HidrawTestbed bed(mouse, std::move(descriptors));
    if (!bed.Valid()) return Fail(bed.Error());

    std::unique_ptr<tarvik::MouseSimServer> server;
    tarvik::Wakeup stopServer;
    std::thread serverThread;
    if (!ctlSocket.empty()) {
        server = std::make_unique<tarvik::MouseSimServer>(mouse);
        if (!server->Listen(ctlSocket, &error)) return Fail(error);
        // As tarvik-mousesim says it: scripts wait for this line.
        std::cerr << "tarvik-hidraw-testbed: serving the mouse's ctl commands on " << ctlSocket << std::endl;
        serverThread = std::thread([&] {
            std::string why;
            if (!server->Run(stopServer.Fd(), &why)) tarvik::ReportProblem("ctl socket: " + why);
        });
    }
    const auto stop = [&] {
        if (!serverThread.joinable()) return;
        stopServer.Signal();
        serverThread.join();
    };

    // The mouse is virtual: unless a data folder is named, the command gets the
    // simulated one, as with --hid sim, so that the real profiles are never touched.
    if (const char* dir = std::getenv("TARVIK_DATA_DIR"); !dir || !*dir)
        ::setenv("TARVIK_DATA_DIR", tarvik::ResolveDataFolder(std::nullopt, true).c_str(), 1);

    std::vector<char*> args;
    for (std::string& a : command) args.push_back(a.data());
    args.push_back(nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    pid_t child = 0;
    if (const int e = ::posix_spawnp(&child, args[0], nullptr, nullptr, args.data(), environ)) {
        stop();
        return Fail("cannot run " + command[0] + ": " + std::strerror(e));
    }
    g_child = child;
    // Ended from outside: the command is asked to end too, and its code decides.
    struct sigaction forward {};
    forward.sa_handler = Forward;
    sigemptyset(&forward.sa_mask);
    ::sigaction(SIGTERM, &forward, nullptr);
    ::sigaction(SIGINT, &forward, nullptr);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    stop();

    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    if (!stateFile.empty()) {
        std::ofstream out(stateFile, std::ios::binary | std::ios::trunc);
        out << mouse->Dump().dump(2) << "\n";
        out.close();
        if (!out) return Fail("cannot write the state to " + stateFile);
    }
    return code;
}
