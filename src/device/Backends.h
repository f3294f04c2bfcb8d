// Chooses the HID backend from `--hid` / TARVIK_HID: "linux" (hidraw, the
// default), "sim" (an in-process virtual mouse that starts empty) or
// "socket:PATH" (tarvik-mousesim), optionally traced.
#pragma once

#include <memory>
#include <string>

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

} // namespace tarvik
