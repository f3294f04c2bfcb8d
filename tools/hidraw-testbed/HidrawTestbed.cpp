#include "HidrawTestbed.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <map>

#include "text/Log.h"

namespace tarvik::testbed {

namespace {

// The mouse's node: a mouse (report 1: 16 buttons, 16-bit X and Y, wheel), a
// consumer-control collection (report 2), the vendor input collection
// (reports 5 and 6, 32 data bytes) and the vendor feature collection (feature
// report 0x0C, 32 data bytes).
const Bytes kMouseNode = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09,
                          0x19, 0x01, 0x29, 0x10, 0x15, 0x00, 0x25, 0x01, 0x95, 0x10, 0x75, 0x01, 0x81, 0x02,
                          0x05, 0x01, 0x16, 0x01, 0x80, 0x26, 0xFF, 0x7F, 0x75, 0x10, 0x95, 0x02, 0x09, 0x30,
                          0x09, 0x31, 0x81, 0x06, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x09, 0x38,
                          0x81, 0x06, 0xC0, 0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x19, 0x00,
                          0x2A, 0x3C, 0x02, 0x15, 0x00, 0x26, 0x3C, 0x02, 0x95, 0x01, 0x75, 0x10, 0x81, 0x00,
                          0xC0, 0x06, 0x00, 0xFF, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x05, 0x09, 0x01, 0x15, 0x00,
                          0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x20, 0x81, 0x02, 0x85, 0x06, 0x09, 0x01, 0x95,
                          0x20, 0x81, 0x02, 0xC0, 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x0C, 0x09,
                          0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x20, 0xB1, 0x02, 0xC0};

// A keyboard (report 1, LED output) and a consumer-control collection (report 2).
const Bytes kKeyboardNode = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29,
                             0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01,
                             0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29,
                             0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08,
                             0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0,
                             0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x03,
                             0x19, 0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0};

// Another vendor's device whose reports carry no report ID: 8 data bytes of
// input and 8 of feature in one vendor collection.
const Bytes kOtherNode = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
                          0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0x09, 0x02, 0x95, 0x08, 0xB1, 0x02, 0xC0};

constexpr std::size_t kMaxDescriptor = HID_MAX_DESCRIPTOR_SIZE;

// Sets the mode of the pseudo-terminal that a node opens, reached from its
// master side: its path is below /dev, which the preload library redirects.
void SetNodeMode(int master, mode_t mode) {
    if (master < 0) return;
    const int peer = ::ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (peer < 0) return;
    ::fchmod(peer, mode);
    ::close(peer);
}

std::string Hex(const Bytes& bytes) {
    std::string out;
    char buf[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

std::string Hex4(unsigned v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

} // namespace

Descriptors DefaultDescriptors() {
    return {kMouseNode, kMouseNode, kKeyboardNode, kOtherNode};
}

bool LoadDescriptors(const std::filesystem::path& dir, Descriptors& descriptors, std::string* error) {
    const std::pair<const char*, Bytes*> files[] = {{"A.rdesc", &descriptors.mouseA},
                                                    {"B.rdesc", &descriptors.mouseB},
                                                    {"keyboard.rdesc", &descriptors.keyboard},
                                                    {"other.rdesc", &descriptors.other}};
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        if (error) *error = dir.string() + " is not a folder";
        return false;
    }
    for (const auto& [name, target] : files) {
        const std::filesystem::path path = dir / name;
        if (!std::filesystem::exists(path, ec)) continue;
        std::ifstream in(path, std::ios::binary);
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.eof() && in.fail()) {
            if (error) *error = "cannot read " + path.string();
            return false;
        }
        if (bytes.empty() || bytes.size() > kMaxDescriptor) {
            if (error) *error = path.string() + " is not a report descriptor (1 to 4096 bytes)";
            return false;
        }
        *target = std::move(bytes);
    }
    return true;
}

bool PreloadActive() {
    // The library is loaded when it is mapped into the process.
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libumockdev-preload") != std::string::npos) return true;
    }
    return false;
}

struct HidrawTestbed::GlibState {
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    UMockdevTestbed* testbed = nullptr;
};

struct HidrawTestbed::Faults {
    std::mutex mutex;
    std::array<std::array<int, 3>, kIdentityCount> next{}; // errno, 0 = none

    int Take(Identity id, Call call) {
        std::lock_guard lock(mutex);
        int& slot = next[static_cast<int>(id)][static_cast<int>(call)];
        return std::exchange(slot, 0);
    }
};

// One hidraw node and what its ioctl handler needs. Handlers run on the GLib
// thread; `gone` and `clients` are also read elsewhere.
struct HidrawTestbed::Node {
    std::string hidSyspath;
    std::string syspath;
    std::string devnode;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    Bytes descriptor;
    std::optional<Identity> identity;
    std::uint64_t generation = 0;
    std::shared_ptr<VirtualMouse> mouse;
    Faults* faults = nullptr;
    std::atomic<bool> gone{false};
    std::atomic<int> clients{0};
    int master = -1; // the pseudo-terminal behind the node; guarded by the testbed's mutex
    UMockdevIoctlBase* handler = nullptr;
    std::map<std::uint8_t, Bytes> features; // foreign nodes: what was set, by report ID
};

namespace {

using Node = HidrawTestbed::Node;

// Completes the caller's call with `result` and errno `error`; the request is handled.
gboolean Complete(UMockdevIoctlClient* client, long result, int error) {
    umockdev_ioctl_client_complete(client, result, error);
    return TRUE;
}

// Resolves the ioctl argument as a pointer to `length` bytes of the caller.
UMockdevIoctlData* Resolve(UMockdevIoctlClient* client, std::size_t length) {
    GError* error = nullptr;
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, length, &error);
    if (error) g_error_free(error);
    return data;
}

// HIDIOCSFEATURE / HIDIOCGFEATURE. Returns the byte count or -errno.
long Feature(Node& node, bool set, std::span<std::uint8_t> data) {
    if (node.identity) {
        const Identity id = *node.identity;
        if (int e = node.faults->Take(id, set ? Call::SetFeature : Call::GetFeature)) return -e;
        const bool ok = set ? node.mouse->SetFeature(id, node.generation, data)
                            : node.mouse->GetFeature(id, node.generation, data);
        if (ok) return static_cast<long>(data.size());
        // A device that refuses a report stalls the control transfer.
        const bool present = node.mouse->Plugged(id) && node.mouse->Generation(id) == node.generation;
        return present ? -EPIPE : -ENODEV;
    }
    if (set) {
        node.features[data[0]] = Bytes(data.begin(), data.end());
    } else {
        const auto it = node.features.find(data[0]);
        const std::uint8_t id = data[0];
        std::fill(data.begin(), data.end(), 0);
        data[0] = id;
        if (it != node.features.end())
            std::copy_n(it->second.begin(), std::min(it->second.size(), data.size()), data.begin());
    }
    return static_cast<long>(data.size());
}

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    Node& node = *static_cast<Node*>(user);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (_IOC_TYPE(request) != 'H') {
        return Complete(client, -1, ENOTTY);
    }
    // A removed device's node answers every ioctl with ENODEV.
    if (node.gone) {
        return Complete(client, -1, ENODEV);
    }
    if (request == HIDIOCGRDESCSIZE) {
        UMockdevIoctlData* d = Resolve(client, sizeof(int));
        if (!d) return Complete(client, -1, EFAULT);
        const int size = static_cast<int>(node.descriptor.size());
        std::memcpy(d->data, &size, sizeof size);
        Complete(client, 0, 0);
        g_object_unref(d);
        return TRUE;
    }
    if (request == HIDIOCGRDESC) {
        UMockdevIoctlData* d = Resolve(client, sizeof(hidraw_report_descriptor));
        if (!d) return Complete(client, -1, EFAULT);
        auto* desc = reinterpret_cast<hidraw_report_descriptor*>(d->data);
        if (desc->size > kMaxDescriptor - 1) {
            Complete(client, -1, EINVAL);
        } else {
            const std::size_t n = std::min<std::size_t>(desc->size, node.descriptor.size());
            std::copy_n(node.descriptor.begin(), n, desc->value);
            Complete(client, 0, 0);
        }
        g_object_unref(d);
        return TRUE;
    }
    if (request == HIDIOCGRAWINFO) {
        UMockdevIoctlData* d = Resolve(client, sizeof(hidraw_devinfo));
        if (!d) return Complete(client, -1, EFAULT);
        hidraw_devinfo info{};
        info.bustype = 3; // USB
        info.vendor = static_cast<__s16>(node.vendor);
        info.product = static_cast<__s16>(node.product);
        std::memcpy(d->data, &info, sizeof info);
        Complete(client, 0, 0);
        g_object_unref(d);
        return TRUE;
    }
    const unsigned nr = _IOC_NR(request);
    const std::size_t size = _IOC_SIZE(request);
    if ((nr == 0x06 || nr == 0x07) && _IOC_DIR(request) == (_IOC_READ | _IOC_WRITE)) {
        if (size == 0) return Complete(client, -1, EINVAL);
        UMockdevIoctlData* d = Resolve(client, size);
        if (!d) return Complete(client, -1, EFAULT);
        const long r = Feature(node, nr == 0x06, {d->data, size});
        Complete(client, r < 0 ? -1 : r, r < 0 ? static_cast<int>(-r) : 0);
        g_object_unref(d);
        return TRUE;
    }
    return Complete(client, -1, ENOTTY);
}

// Reads come from the node's pseudo-terminal (unhandled here) unless the node
// is gone or a fault is due.
gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    Node& node = *static_cast<Node*>(user);
    // The kernel's hidraw read fails with EIO once its device is gone.
    if (node.gone) {
        return Complete(client, -1, EIO);
    }
    if (node.identity) {
        if (int e = node.faults->Take(*node.identity, Call::Read)) {
            return Complete(client, -1, e);
        }
    }
    return FALSE;
}

void OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer user) {
    ++static_cast<Node*>(user)->clients;
}

void OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer user) {
    --static_cast<Node*>(user)->clients;
}

} // namespace

HidrawTestbed::HidrawTestbed(std::shared_ptr<VirtualMouse> mouse, Descriptors descriptors)
    : mouse_(std::move(mouse)), descriptors_(std::move(descriptors)), glib_(std::make_unique<GlibState>()),
      faults_(std::make_unique<Faults>()) {
    if (!PreloadActive()) {
        error_ = "not running with the umockdev preload library (LD_PRELOAD=libumockdev-preload.so.0)";
        return;
    }
    glib_->context = g_main_context_new();
    glib_->loop = g_main_loop_new(glib_->context, FALSE);
    // The handlers answer callers that block in ioctl() and read(), so the
    // testbed's context runs on a thread of its own.
    std::promise<void> started;
    glibThread_ = std::thread([this, &started] {
        g_main_context_push_thread_default(glib_->context);
        GSource* ready = g_idle_source_new();
        g_source_set_callback(
            ready,
            [](gpointer p) -> gboolean {
                static_cast<std::promise<void>*>(p)->set_value();
                return G_SOURCE_REMOVE;
            },
            &started, nullptr);
        g_source_attach(ready, glib_->context);
        g_source_unref(ready);
        g_main_loop_run(glib_->loop);
        g_main_context_pop_thread_default(glib_->context);
    });
    started.get_future().wait();
    Run([this] { Build(); });
    if (!Valid()) return;
    mouse_->SetInputSink([this](Identity id, std::span<const std::uint8_t> report) { Deliver(id, report); });
    listener_ = mouse_->AddHotplugListener([this](hid::HotplugEvent) { Run([this] { Reconcile(); }); });
}

HidrawTestbed::~HidrawTestbed() {
    if (listener_) mouse_->RemoveHotplugListener(listener_);
    mouse_->SetInputSink({});
    if (glibThread_.joinable()) {
        Run([this] {
            if (glib_->testbed) g_object_unref(glib_->testbed);
            for (auto& node : nodes_) {
                if (node->handler) g_object_unref(node->handler);
            }
            g_main_loop_quit(glib_->loop);
        });
        glibThread_.join();
    }
    if (glib_->loop) g_main_loop_unref(glib_->loop);
    if (glib_->context) g_main_context_unref(glib_->context);
}

void HidrawTestbed::Run(const std::function<void()>& fn) {
    struct Job {
        const std::function<void()>* fn;
        std::promise<void> done;
    } job{&fn, {}};
    g_main_context_invoke(
        glib_->context,
        [](gpointer p) -> gboolean {
            auto* j = static_cast<Job*>(p);
            (*j->fn)();
            j->done.set_value();
            return G_SOURCE_REMOVE;
        },
        &job);
    job.done.get_future().wait();
}

void HidrawTestbed::Build() {
    glib_->testbed = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(glib_->testbed);
    root_ = root;
    g_free(root);
    // Readable by everyone: a test reads it under another user id to meet a
    // node that refuses to be opened.
    ::chmod(root_.c_str(), 0755);
    const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/";
    keyboard_ = AddNode(usb + "1-1/1-1:1.0", "Testbed Keyboard", kKeyboardVendor, kKeyboardProduct,
                        descriptors_.keyboard, std::nullopt);
    other_ = AddNode(usb + "1-3/1-3:1.0", "Testbed Vendor Device", kOtherVendor, kOtherProduct,
                     descriptors_.other, std::nullopt);
    if (!keyboard_ || !other_) return;
    Reconcile();
}

HidrawTestbed::Node* HidrawTestbed::AddNode(const std::string& usbPath, const std::string& hidName,
                                            std::uint16_t vendor, std::uint16_t product,
                                            const Bytes& descriptor, std::optional<Identity> identity) {
    const int number = nextNumber_++;
    const std::string name = "hidraw" + std::to_string(number);
    auto node = std::make_unique<Node>();
    node->hidSyspath = "/sys" + usbPath + "/0003:" + Hex4(vendor, 4) + ":" + Hex4(product, 4) + "." +
                       Hex4(static_cast<unsigned>(number + 1), 4);
    node->syspath = node->hidSyspath + "/hidraw/" + name;
    node->devnode = "/dev/" + name;
    node->vendor = vendor;
    node->product = product;
    node->descriptor = descriptor;
    node->identity = identity;
    node->generation = identity ? mouse_->Generation(*identity) : 0;
    node->mouse = mouse_;
    node->faults = faults_.get();

    // The handler is in place before the node appears, so that nobody who
    // hears of the arrival can open a node that does not answer yet.
    node->handler = umockdev_ioctl_base_new();
    g_signal_connect(node->handler, "handle-ioctl", G_CALLBACK(OnIoctl), node.get());
    g_signal_connect(node->handler, "handle-read", G_CALLBACK(OnRead), node.get());
    g_signal_connect(node->handler, "client-connected", G_CALLBACK(OnConnected), node.get());
    g_signal_connect(node->handler, "client-vanished", G_CALLBACK(OnVanished), node.get());
    GError* gerror = nullptr;
    if (!umockdev_testbed_attach_ioctl(glib_->testbed, node->devnode.c_str(), node->handler, &gerror)) {
        error_ = std::string("cannot answer the ioctls of ") + node->devnode + ": " + gerror->message;
        g_error_free(gerror);
        return nullptr;
    }
    // The hidraw child first, then its HID device, as umockdev-record writes them.
    const std::string hidPath = node->hidSyspath.substr(4);
    std::string description;
    description += "P: " + hidPath + "/hidraw/" + name + "\n";
    description += "N: " + name + "\n";
    description += "E: DEVNAME=/dev/" + name + "\n";
    description += "E: SUBSYSTEM=hidraw\n";
    description += "E: MAJOR=241\n";
    description += "E: MINOR=" + std::to_string(number) + "\n";
    description += "A: dev=241:" + std::to_string(number) + "\n\n";
    description += "P: " + hidPath + "\n";
    description += "E: SUBSYSTEM=hid\n";
    description += "E: DRIVER=hid-generic\n";
    description += "E: HID_ID=0003:0000" + Hex4(vendor, 4) + ":0000" + Hex4(product, 4) + "\n";
    description += "E: HID_NAME=" + hidName + "\n";
    description += "E: HID_PHYS=usb-0000:00:14.0-" + usbPath.substr(usbPath.rfind('/') + 1) + "/input0\n";
    description += "H: report_descriptor=" + Hex(descriptor) + "\n";
    if (!umockdev_testbed_add_from_string(glib_->testbed, description.c_str(), &gerror)) {
        error_ = std::string("cannot add ") + node->devnode + ": " + gerror->message;
        g_error_free(gerror);
        return nullptr;
    }
    // Reports are written to the pseudo-terminal behind the node; a reader that
    // falls behind loses reports, as with a full hidraw queue.
    const int master = umockdev_testbed_get_dev_fd(glib_->testbed, node->devnode.c_str());
    if (master >= 0) ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // Open to everyone, as the udev rule makes the mouse's nodes; so is the
    // socket through which the preload library reaches the ioctl handler.
    SetNodeMode(master, 0666);
    ::chmod((root_ + "/ioctl" + node->devnode).c_str(), 0666);
    std::lock_guard lock(mutex_);
    node->master = master;
    nodes_.push_back(std::move(node));
    return nodes_.back().get();
}

void HidrawTestbed::Reconcile() {
    for (Identity id : kIdentities) {
        const int i = static_cast<int>(id);
        const bool plugged = mouse_->Plugged(id);
        Node* current;
        {
            std::lock_guard lock(mutex_);
            current = current_[i];
        }
        if (current && (!plugged || current->generation != mouse_->Generation(id))) {
            Remove(*current);
            std::lock_guard lock(mutex_);
            current_[i] = nullptr;
            current = nullptr;
        }
        if (plugged && !current) {
            const bool a = id == Identity::A;
            Node* node = AddNode(a ? "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.1"
                                   : "/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.1",
                                 a ? "Testbed Mouse (cable)" : "Testbed Mouse (receiver)", kVendorId,
                                 ProductIdOf(id), a ? descriptors_.mouseA : descriptors_.mouseB, id);
            if (!node) ReportProblem(error_);
            std::lock_guard lock(mutex_);
            current_[i] = node;
        }
    }
}

void HidrawTestbed::Remove(Node& node) {
    // As the kernel does it: the device is marked gone (ioctls ENODEV, reads
    // EIO), its readers are woken with POLLHUP, the node disappears, and udev
    // announces the removal.
    node.gone = true;
    {
        std::lock_guard lock(mutex_);
        if (node.master >= 0) {
            // The testbed maps the pseudo-terminal's name back to the node;
            // the name is free again once it is hung up, and the next node
            // may get it.
            char slave[64];
            if (::ptsname_r(node.master, slave, sizeof slave) == 0) {
                std::string mapped = slave;
                std::replace(mapped.begin(), mapped.end(), '/', '_');
                ::unlink((root_ + "/dev/.ptymap/" + mapped).c_str());
            }
            // Replacing the master side of the pseudo-terminal hangs it up;
            // the testbed still owns the descriptor number and closes it.
            const int placeholder = ::eventfd(0, EFD_CLOEXEC);
            if (placeholder >= 0) {
                ::dup2(placeholder, node.master);
                ::close(placeholder);
            }
            node.master = -1;
        }
    }
    ::unlink((root_ + node.devnode).c_str());
    umockdev_testbed_uevent(glib_->testbed, node.syspath.c_str(), "remove");
    umockdev_testbed_uevent(glib_->testbed, node.hidSyspath.c_str(), "remove");
    umockdev_testbed_remove_device(glib_->testbed, node.syspath.c_str());
    umockdev_testbed_remove_device(glib_->testbed, node.hidSyspath.c_str());
}

void HidrawTestbed::Deliver(Identity id, std::span<const std::uint8_t> report) {
    std::lock_guard lock(mutex_);
    Node* node = current_[static_cast<int>(id)];
    // Only a node that somebody holds open receives reports, as with hidraw.
    if (!node || node->master < 0 || node->clients <= 0) return;
    [[maybe_unused]] const ssize_t n = ::write(node->master, report.data(), report.size());
}

std::string HidrawTestbed::Devnode(Identity id) const {
    std::lock_guard lock(mutex_);
    const Node* node = current_[static_cast<int>(id)];
    return node ? node->devnode : std::string();
}

std::string HidrawTestbed::KeyboardNode() const {
    return keyboard_ ? keyboard_->devnode : std::string();
}

std::string HidrawTestbed::OtherNode() const {
    return other_ ? other_->devnode : std::string();
}

void HidrawTestbed::FailNext(Identity id, Call call, int error) {
    std::lock_guard lock(faults_->mutex);
    faults_->next[static_cast<int>(id)][static_cast<int>(call)] = error;
}

void HidrawTestbed::SendUevent(Identity id, const std::string& action) {
    Run([&] {
        std::lock_guard lock(mutex_);
        if (const Node* node = current_[static_cast<int>(id)])
            umockdev_testbed_uevent(glib_->testbed, node->syspath.c_str(), action.c_str());
    });
}

void HidrawTestbed::DenyOpen(Identity id, bool deny) {
    std::lock_guard lock(mutex_);
    if (const Node* node = current_[static_cast<int>(id)]) SetNodeMode(node->master, deny ? 0000 : 0666);
}

} // namespace tarvik::testbed
