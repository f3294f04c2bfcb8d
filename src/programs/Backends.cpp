#include "programs/Backends.h"

#include <cstdlib>
#include <cstring>

#include "device/linux/HidrawEnumeration.h"
#include "device/linux/LinuxBackend.h"
#include "emulator/SimBackend.h"
#include "emulator/SocketBackend.h"
#include "emulator/VirtualMouse.h"

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

std::string NoMouseMessage(const std::string& backendName, const std::vector<hid::RefusedNode>& refused,
                           const std::filesystem::path& ruleFound,
                           const std::filesystem::path& ruleExpected) {
    std::string text = "no mouse found";
    if (backendName.rfind("socket:", 0) == 0) {
        text += " (";
        text += backendName;
        text += "): check that tarvik-mousesim serves on ";
        text += backendName.substr(7);
        text += " with an identity plugged in";
        return text;
    }
    if (backendName != "linux") {
        text += " (";
        text += backendName;
        text += ")";
        return text;
    }
    text += ": check that the mouse is plugged in (cable or receiver)";
    if (!ruleFound.empty()) {
        text += "; the udev rule ";
        text += ruleFound.string();
        text += " is installed";
    } else {
        text += "; the udev rule ";
        text += ruleExpected.string();
        text += " is not installed (without it only root may open the mouse)";
    }
    if (!refused.empty()) {
        text += "; nodes refused: ";
        for (std::size_t i = 0; i < refused.size(); ++i) {
            if (i) text += ", ";
            text += refused[i].path;
            text += " (";
            text += refused[i].reason;
            text += ")";
        }
        text += "; after installing the rule: sudo udevadm control --reload-rules && sudo udevadm trigger";
    }
    return text;
}

std::string NoMouseFound(const BackendChoice& choice) {
    std::vector<hid::RefusedNode> refused;
    if (choice.backend) refused = choice.backend->Refused();
    std::filesystem::path found;
    if (choice.name == "linux") found = hidraw::FindUdevRule(hidraw::UdevRuleFolders());
    return NoMouseMessage(choice.name, refused, found, hidraw::InstalledUdevRule());
}

} // namespace tarvik
