// tarvik-mousesim: the virtual mouse as a daemon that tarvikctl and the window
// reach with --hid socket:PATH, and the control commands that plug, unplug and
// press it.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "emulator/MouseSimServer.h"
#include "emulator/SocketBackend.h"
#include "emulator/VirtualMouse.h"
#include "programs/CommandLine.h"
#include "text/ExitCodes.h"
#include "text/Log.h"

namespace {

using tarvik::kExitFailed;
using tarvik::kExitOk;
using tarvik::kExitUsage;
using tarvik::simproto::Message;
using tarvik::simproto::Type;

int Serve(const std::string& path) {
    // SIGINT and SIGTERM arrive as readable data on a descriptor the loop watches.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int sigfd = signalfd(-1, &mask, SFD_CLOEXEC);
    if (sigfd < 0) {
        std::perror("tarvik-mousesim: signalfd");
        return kExitFailed;
    }
    tarvik::MouseSimServer server(std::make_shared<tarvik::VirtualMouse>());
    std::string error;
    if (!server.Listen(path, &error)) {
        std::cerr << "tarvik-mousesim: " << error << "\n";
        close(sigfd);
        return kExitFailed;
    }
    std::cerr << "tarvik-mousesim: serving the virtual mouse on " << path << std::endl;
    const bool served = server.Run(sigfd, &error);
    close(sigfd);
    if (!served) {
        std::cerr << "tarvik-mousesim: " << error << "; stopped\n";
        return kExitFailed;
    }
    return kExitOk;
}

int Control(const std::string& path, const Message& request) {
    std::string error;
    auto conn = tarvik::simproto::Connection::Connect(path, &error);
    if (!conn) {
        std::cerr << "tarvik-mousesim: cannot reach the daemon at " << path << ": " << error << "\n";
        return kExitFailed;
    }
    auto reply = conn->Call(request, tarvik::SocketBackend::kReplyTimeoutMs);
    if (!reply || reply->type != Type::ControlReply) {
        std::cerr << "tarvik-mousesim: no answer from the daemon at " << path << "\n";
        return kExitFailed;
    }
    if (reply->code != 1) {
        std::cerr << "tarvik-mousesim: " << reply->text << "\n";
        return kExitFailed;
    }
    std::cout << reply->text << "\n";
    return kExitOk;
}

std::uint8_t IdentityCode(const std::string& name) {
    return name == "A" ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    tarvik::SetProgramName("tarvik-mousesim");
    CLI::App app{"tarvik-mousesim: a virtual mouse served on a Unix socket"};
    tarvik::cli::UseConventions(app);
    std::string socketPath = tarvik::DefaultMouseSimSocket();
    app.add_option("--socket", socketPath,
                   "socket path (default $XDG_RUNTIME_DIR/tarvik-mousesim.sock, else in the private folder "
                   "/tmp/tarvik-runtime-UID)");

    auto* serve = app.add_subcommand("serve", "run the daemon in the foreground (the default)");
    serve->add_option("--socket", socketPath, "socket path");

    auto* ctl = app.add_subcommand("ctl", "control a running daemon");
    ctl->require_subcommand(1);
    ctl->add_option("--socket", socketPath, "socket path of the daemon");
    Message request;
    request.request = 1;
    std::string identity;
    const auto identityOption = [&](CLI::App* cmd) {
        cmd->add_option("IDENTITY", identity, "A (product 5b2e) or B (product 5b2f)")
            ->required()
            ->check(CLI::IsMember({"A", "B"}));
    };
    auto* plug = ctl->add_subcommand("plug", "plug an identity in");
    identityOption(plug);
    auto* unplug = ctl->add_subcommand("unplug", "unplug an identity");
    identityOption(unplug);
    auto* press = ctl->add_subcommand("press-dpi", "press the DPI button: the next enabled level, or LEVEL");
    int level = 0;
    press->add_option("LEVEL", level, "1-based among the enabled levels")->check(CLI::Range(1, 8));
    auto* battery = ctl->add_subcommand("set-battery", "battery level and charge state of status replies");
    int percent = 0;
    battery->add_option("PERCENT", percent, "0-100")->required()->check(CLI::Range(0, 100));
    bool isCharging = false, isFull = false;
    auto* charging = battery->add_flag("--charging", isCharging, "the battery is charging");
    auto* full = battery->add_flag("--full", isFull, "the battery is full");
    charging->excludes(full);
    auto* sensor = ctl->add_subcommand("set-sensor", "sensor code of status replies (e.g. 0x25)");
    std::string sensorCode;
    sensor->add_option("CODE", sensorCode, "0-255, decimal or 0x hexadecimal")->required();
    auto* dump = ctl->add_subcommand("dump", "what the mouse has received");
    bool json = false;
    dump->add_flag("--json", json, "as a JSON document");

    tarvik::cli::SayOptionsMayFollow(app);
    if (const auto ended = tarvik::cli::ParseCommandLine(app, argc, argv)) return *ended;
    if (socketPath.empty()) {
        std::cerr
            << "tarvik-mousesim: no private runtime folder for the socket ($XDG_RUNTIME_DIR is not set and "
               "/tmp/tarvik-runtime-UID is not a folder of this user with mode 0700); name one with "
               "--socket\n";
        return kExitFailed;
    }

    if (!ctl->parsed()) return Serve(socketPath);

    if (plug->parsed() || unplug->parsed()) {
        request.type = plug->parsed() ? Type::Plug : Type::Unplug;
        request.code = IdentityCode(identity);
    } else if (press->parsed()) {
        request.type = Type::PressDpi;
        request.code = static_cast<std::uint8_t>(level);
    } else if (battery->parsed()) {
        request.type = Type::SetBattery;
        request.code = static_cast<std::uint8_t>(percent);
        request.code2 = isCharging ? 1 : isFull ? 2 : 0;
    } else if (sensor->parsed()) {
        char* end = nullptr;
        const unsigned long code = std::strtoul(sensorCode.c_str(), &end, 0);
        if (sensorCode.empty() || *end != '\0' || code > 255) {
            std::cerr << "tarvik-mousesim: sensor code must be 0-255 (decimal or 0x hexadecimal)\n";
            return kExitUsage;
        }
        request.type = Type::SetSensor;
        request.code = static_cast<std::uint8_t>(code);
    } else {
        request.type = Type::Dump;
        request.code = json ? 1 : 0;
    }
    return Control(socketPath, request);
}
