#include "device/linux/HotplugMonitor.h"

#include <fcntl.h>
#include <libudev.h>

#include <cerrno>
#include <cstring>

namespace tarvik::hidraw {

std::optional<hid::HotplugEvent> DecodeHotplugAction(std::string_view action) {
    if (action == "add") return hid::HotplugEvent::Arrival;
    if (action == "remove") return hid::HotplugEvent::Removal;
    return std::nullopt;
}

HotplugMonitor::HotplugMonitor(Callback callback) : callback_(std::move(callback)) {
    udev_ = udev_new();
    if (!udev_) {
        error_ = "udev_new failed";
        return;
    }
    // "udev" events come after the rules ran, so the node's permissions are
    // already in place when the arrival is handled.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_) {
        error_ = std::string("cannot listen for device events: ") + std::strerror(errno);
        return;
    }
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        error_ = std::string("cannot listen for device events: ") + std::strerror(errno);
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return;
    }
    const int fd = udev_monitor_get_fd(monitor_);
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

HotplugMonitor::~HotplugMonitor() {
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

int HotplugMonitor::Fd() const {
    return monitor_ ? udev_monitor_get_fd(monitor_) : -1;
}

int HotplugMonitor::Dispatch() {
    if (!monitor_) return 0;
    int calls = 0;
    while (udev_device* dev = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(dev);
        const char* devnode = udev_device_get_devnode(dev);
        std::optional<hid::HotplugEvent> event = action ? DecodeHotplugAction(action) : std::nullopt;
        std::string node = devnode ? devnode : "";
        udev_device_unref(dev);
        if (event && callback_) {
            callback_(*event, node);
            ++calls;
        }
    }
    return calls;
}

} // namespace tarvik::hidraw
