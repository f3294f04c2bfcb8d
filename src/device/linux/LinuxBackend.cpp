#include "device/linux/LinuxBackend.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "device/linux/HotplugMonitor.h"
#include "device/linux/ReportDescriptor.h"
#include "text/Log.h"

namespace tarvik::hidraw {

namespace {
// The ioctl size field holds 14 bits.
constexpr std::size_t kMaxIoctlLength = (1u << 14) - 1;

int RetryOnInterrupt(int (*fn)(pollfd*, nfds_t, int), pollfd* fds, nfds_t n, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = timeoutMs;
        if (timeoutMs >= 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left < 0 ? 0 : static_cast<int>(left);
        }
        const int r = fn(fds, n, wait);
        if (r >= 0 || errno != EINTR) return r;
    }
}

// The monitor thread only ends unasked when something broke: say so, since the
// program would otherwise miss every later arrival and removal without a word.
std::string MonitorEnded(const std::string& why) {
    std::string out = "device arrival and removal are no longer noticed: ";
    out += why;
    return out;
}
} // namespace

// ---- HidrawDevice ----

std::unique_ptr<HidrawDevice> HidrawDevice::OpenNode(const std::string& path, int* errorNumber) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        if (errorNumber) *errorNumber = errno;
        return nullptr;
    }
    hidraw_devinfo raw{};
    int descSize = 0;
    if (::ioctl(fd, HIDIOCGRAWINFO, &raw) < 0 || ::ioctl(fd, HIDIOCGRDESCSIZE, &descSize) < 0 ||
        descSize < 0 || descSize > HID_MAX_DESCRIPTOR_SIZE) {
        if (errorNumber) *errorNumber = ENOTTY;
        ::close(fd);
        return nullptr;
    }
    hidraw_report_descriptor desc{};
    desc.size = static_cast<std::uint32_t>(descSize);
    if (::ioctl(fd, HIDIOCGRDESC, &desc) < 0) {
        if (errorNumber) *errorNumber = errno;
        ::close(fd);
        return nullptr;
    }
    // The node as a whole: the longest reports over all of its collections,
    // which is what a reader of the node must be able to hold.
    const CollectionReports longest = LongestReports(ParseReportDescriptor({desc.value, desc.size}));
    hid::InterfaceInfo info;
    info.path = path;
    info.vendorId = static_cast<std::uint16_t>(raw.vendor);
    info.productId = static_cast<std::uint16_t>(raw.product);
    info.inputReportLength = static_cast<std::uint16_t>(std::min<std::size_t>(longest.input, 0xFFFF));
    info.featureReportLength = static_cast<std::uint16_t>(std::min<std::size_t>(longest.feature, 0xFFFF));
    std::unique_ptr<HidrawDevice> device(new HidrawDevice(fd, std::move(info)));
    if (!device->wakeup_.Valid()) return nullptr;
    return device;
}

HidrawDevice::~HidrawDevice() {
    if (fd_ >= 0) ::close(fd_);
}

bool HidrawDevice::SetFeature(std::span<const std::uint8_t> data) {
    if (data.empty() || data.size() > kMaxIoctlLength) return false;
    return ::ioctl(fd_, HIDIOCSFEATURE(data.size()), data.data()) >= 0;
}

bool HidrawDevice::GetFeature(std::span<std::uint8_t> data) {
    if (data.empty() || data.size() > kMaxIoctlLength) return false;
    return ::ioctl(fd_, HIDIOCGFEATURE(data.size()), data.data()) >= 0;
}

hid::ReadResult HidrawDevice::ReadInput(std::span<std::uint8_t> data, int timeoutMs) {
    if (failed_) return {hid::ReadStatus::Failed, 0};
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeup_.Fd(), POLLIN, 0}};
    const int r = RetryOnInterrupt(::poll, fds, 2, timeoutMs);
    if (r < 0) {
        failed_ = true;
        return {hid::ReadStatus::Failed, 0};
    }
    if (fds[1].revents & POLLIN) {
        wakeup_.Consume();
        return {hid::ReadStatus::Woken, 0};
    }
    if (fds[0].revents & POLLIN) {
        const ssize_t n = ::read(fd_, data.data(), data.size());
        if (n > 0) return {hid::ReadStatus::Report, static_cast<std::size_t>(n)};
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return {hid::ReadStatus::Timeout, 0};
        failed_ = true;
        return {hid::ReadStatus::Failed, 0};
    }
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
        // The node went away with its device.
        failed_ = true;
        return {hid::ReadStatus::Failed, 0};
    }
    return {hid::ReadStatus::Timeout, 0};
}

// ---- LinuxBackend ----

LinuxBackend::LinuxBackend(Roots roots) : roots_(std::move(roots)) {}

LinuxBackend::~LinuxBackend() {
    StopMonitor();
}

std::vector<hid::InterfaceInfo> LinuxBackend::Enumerate() {
    EnumerationResult result = DescribeNodes(ListHidrawNodes(roots_));
    ReportDenied(result.Denied());
    {
        std::lock_guard lock(refusedMutex_);
        refused_.clear();
        for (const auto& r : result.refused)
            refused_.push_back({r.devnode, std::system_category().message(r.error)});
    }
    return std::move(result.interfaces);
}

std::vector<hid::RefusedNode> LinuxBackend::Refused() const {
    std::lock_guard lock(refusedMutex_);
    return refused_;
}

void LinuxBackend::ReportDenied(const std::vector<std::string>& denied) {
    // The scan runs every second while a device is present; the same refusal
    // is told once, and again only when the set of refused nodes changes.
    if (denied == lastDenied_) return;
    lastDenied_ = denied;
    if (!denied.empty()) ReportProblem(PermissionProblem(denied));
}

std::unique_ptr<hid::Device> LinuxBackend::Open(const std::string& path) {
    int error = 0;
    std::unique_ptr<HidrawDevice> device = HidrawDevice::OpenNode(path, &error);
    if (!device && (error == EACCES || error == EPERM)) ReportDenied({path});
    return device;
}

void LinuxBackend::SetHotplugHandler(hid::HotplugHandler handler) {
    const bool install = static_cast<bool>(handler);
    {
        std::lock_guard lock(handlerMutex_);
        handler_ = std::move(handler);
    }
    if (!install) {
        StopMonitor();
        return;
    }
    if (monitorThread_.joinable()) return;
    auto monitor = std::make_shared<HotplugMonitor>([this](hid::HotplugEvent event, const std::string&) {
        hid::HotplugHandler h;
        {
            std::lock_guard lock(handlerMutex_);
            h = handler_;
        }
        if (h) h(event);
    });
    if (!monitor->Valid()) {
        ReportProblem("device arrival and removal will not be noticed: " + monitor->Error());
        return;
    }
    stopMonitor_ = std::make_unique<Wakeup>();
    monitorThread_ = std::thread([monitor, stop = stopMonitor_.get()] {
        for (;;) {
            pollfd fds[2] = {{monitor->Fd(), POLLIN, 0}, {stop->Fd(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                ReportProblem(
                    MonitorEnded(std::string("waiting for udev events failed: ") + std::strerror(errno)));
                return;
            }
            if (fds[1].revents) return;
            if (fds[0].revents & POLLIN) monitor->Dispatch();
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                ReportProblem(MonitorEnded("the udev monitor was closed"));
                return;
            }
        }
    });
}

void LinuxBackend::StopMonitor() {
    if (!monitorThread_.joinable()) return;
    stopMonitor_->Signal();
    monitorThread_.join();
    stopMonitor_.reset();
}

} // namespace tarvik::hidraw
