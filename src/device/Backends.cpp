#include "device/Backends.h"

#include <cstdlib>
#include <cstring>

#include "device/linux/LinuxBackend.h"
#include "device/sim/SimBackend.h"
#include "device/sim/SocketBackend.h"
#include "device/sim/VirtualMouse.h"

namespace tarvik {

std::string ResolveHidChoice(const std::string& option) {
    if (!option.empty()) return option;
    const char* env = std::getenv("TARVIK_HID");
    return env && *env ? env : "linux";
}

bool TraceRequested(bool option) {
    if (option) return true;
    const char* env = std::getenv("TARVIK_TRACE");
    return env && std::strcmp(env, "1") == 0;
}

BackendChoice OpenBackend(const std::string& option, bool trace, TraceSink sink) {
    BackendChoice choice;
    choice.name = ResolveHidChoice(option);
    if (choice.name == "sim") {
        choice.mouse = std::make_shared<VirtualMouse>();
        choice.backend = std::make_unique<SimBackend>(choice.mouse);
    } else if (choice.name == "linux") {
        choice.backend = std::make_unique<hidraw::LinuxBackend>();
    } else if (choice.name.rfind("socket:", 0) == 0) {
        if (choice.name.size() == 7) {
            choice.error = "socket: needs the simulator's socket path (socket:PATH)";
        } else {
            choice.backend = std::make_unique<SocketBackend>(choice.name.substr(7));
        }
    } else {
        choice.error = "unknown HID backend \"" + choice.name + "\" (linux, sim or socket:PATH)";
    }
    if (choice.backend && trace)
        choice.backend = WithTrace(std::move(choice.backend), sink ? sink : StderrTrace());
    return choice;
}

} // namespace tarvik
