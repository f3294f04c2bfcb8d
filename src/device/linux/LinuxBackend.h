// The hidraw backend: interfaces listed from sysfs (libudev), opened as
// /dev/hidrawN, feature reports through the hidraw ioctls, input reports read
// with poll() so that Wake() can end a blocked read. Arrival and removal come
// from a libudev monitor that a background thread watches while a hotplug
// handler is installed.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "device/HidBackend.h"
#include "device/Wakeup.h"
#include "device/linux/HidrawEnumeration.h"

namespace tarvik::hidraw {

// One open hidraw node. Feature ioctls and the polled read may run on two
// threads at once on the same descriptor (the kernel keeps them apart); the
// failed-read mark belongs to the reading thread alone.
class HidrawDevice : public hid::Device {
public:
    // Opens `path` with O_RDWR | O_CLOEXEC and reads vendor, product and report
    // lengths from it; nullptr when it cannot be opened or is not a hidraw node.
    // `errorNumber` receives errno of a failed open.
    static std::unique_ptr<HidrawDevice> OpenNode(const std::string& path, int* errorNumber = nullptr);
    ~HidrawDevice() override;

    hid::InterfaceInfo Info() const override { return info_; }
    bool SetFeature(std::span<const std::uint8_t> data) override;
    bool GetFeature(std::span<std::uint8_t> data) override;
    hid::ReadResult ReadInput(std::span<std::uint8_t> data, int timeoutMs) override;
    void Wake() override { wakeup_.Signal(); }

private:
    HidrawDevice(int fd, hid::InterfaceInfo info) : fd_(fd), info_(std::move(info)) {}
    int fd_;
    hid::InterfaceInfo info_;
    Wakeup wakeup_;
    bool failed_ = false; // read and written by ReadInput only
};

class LinuxBackend : public hid::Backend {
public:
    explicit LinuxBackend(Roots roots = {});
    ~LinuxBackend() override;

    std::vector<hid::InterfaceInfo> Enumerate() override;
    std::unique_ptr<hid::Device> Open(const std::string& path) override;
    // Starts the monitor thread for a handler, stops it for an empty one.
    void SetHotplugHandler(hid::HotplugHandler handler) override;
    std::vector<hid::RefusedNode> Refused() const override;

private:
    void StopMonitor();
    void ReportDenied(const std::vector<std::string>& denied);

    Roots roots_;
    std::vector<std::string> lastDenied_;
    mutable std::mutex refusedMutex_;
    std::vector<hid::RefusedNode> refused_;

    std::mutex handlerMutex_;
    hid::HotplugHandler handler_;
    std::unique_ptr<Wakeup> stopMonitor_;
    std::thread monitorThread_;
};

} // namespace tarvik::hidraw
