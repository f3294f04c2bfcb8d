// Chooses the HID backend from `--hid` / TARVIK_HID: "linux" (hidraw, the
// default), "sim" (an in-process virtual mouse that starts empty) or
// "socket:PATH" (tarvik-mousesim), optionally traced.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/HidBackend.h"
#include "device/TraceBackend.h"

namespace tarvik {

class VirtualMouse;

struct BackendChoice {
    std::unique_ptr<hid::Backend> backend; // null when the choice is not available
    std::shared_ptr<VirtualMouse> mouse;   // the virtual mouse behind "sim"
    std::string name;                      // the resolved choice
    std::string error;                     // why there is no backend
};

// The option when given, else $TARVIK_HID, else "linux".
std::string ResolveHidChoice(const std::string& option);
// --trace, or TARVIK_TRACE=1.
bool TraceRequested(bool option);

// `trace` wraps the backend so every report goes to `sink` (stderr when empty).
BackendChoice OpenBackend(const std::string& option, bool trace, TraceSink sink = {});

// One line for a scan that found no mouse, saying what to check: for hidraw,
// that the mouse is plugged in, whether the udev rule is installed (`ruleFound`,
// else `ruleExpected` is named as missing) and which of its nodes were refused
// and why; for the simulator's socket, that it serves there.
std::string NoMouseMessage(const std::string& backendName, const std::vector<hid::RefusedNode>& refused,
                           const std::filesystem::path& ruleFound, const std::filesystem::path& ruleExpected);
// The same for the backend of `choice` after its last scan, with the rule looked
// up in the folders udev reads.
std::string NoMouseFound(const BackendChoice& choice);

} // namespace tarvik
