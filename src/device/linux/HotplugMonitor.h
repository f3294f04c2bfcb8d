// Arrival and removal of hidraw nodes, from a libudev monitor. The monitor
// exposes a file descriptor: an event loop watches it (a socket notifier in the
// window, poll() in the command-line tool) and calls Dispatch() when it is
// readable, which hands each add/remove event to the callback.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "device/HidBackend.h"

struct udev;
struct udev_monitor;

namespace tarvik::hidraw {

// "add" is an arrival, "remove" a removal; every other action (change, bind,
// ...) is none of them.
std::optional<hid::HotplugEvent> DecodeHotplugAction(std::string_view action);

class HotplugMonitor {
public:
    // Called with the event and the device node it concerns.
    using Callback = std::function<void(hid::HotplugEvent, const std::string& devnode)>;

    explicit HotplugMonitor(Callback callback);
    ~HotplugMonitor();
    HotplugMonitor(const HotplugMonitor&) = delete;
    HotplugMonitor& operator=(const HotplugMonitor&) = delete;

    // False when no monitor could be set up (Error() says why); Fd() is then -1.
    bool Valid() const { return monitor_ != nullptr; }
    const std::string& Error() const { return error_; }
    // Readable when events are waiting; non-blocking.
    int Fd() const;
    // Reads every waiting event and calls the callback for each add/remove.
    // Returns the number of callbacks made.
    int Dispatch();

private:
    Callback callback_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::string error_;
};

} // namespace tarvik::hidraw
