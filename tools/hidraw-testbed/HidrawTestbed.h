// A umockdev testbed in which the mouse's two identities are hidraw nodes as
// the kernel shows them: a `hid` device with HID_ID, HID_NAME and a report
// descriptor of several top-level collections, and its hidraw child with a
// device node. A keyboard and another vendor's device sit beside them.
//
// The process (and every program it starts) must run with
// libumockdev-preload: /sys, /dev and the udev netlink socket of the process
// are then the testbed's. The hidraw ioctls of the mouse's nodes are answered
// by a VirtualMouse; its input reports arrive through read() on the node, and
// its plug and unplug become add and remove uevents. After a removal, reads and
// ioctls on descriptors that are still open fail as the kernel fails them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "device/DeviceIds.h"
#include "emulator/VirtualMouse.h"

namespace tarvik::testbed {

using Bytes = std::vector<std::uint8_t>;

// The report descriptors of the four devices.
struct Descriptors {
    Bytes mouseA;
    Bytes mouseB;
    Bytes keyboard;
    Bytes other;
};
// The built-in ones: each identity's node holds a mouse, a consumer-control, the
// vendor input (reports 5/6) and the vendor feature (report 0x0C) collection;
// the other vendor's node has reports without report IDs.
Descriptors DefaultDescriptors();
// Replaces each descriptor for which DIR holds a file (A.rdesc, B.rdesc,
// keyboard.rdesc, other.rdesc: binary, as sysfs shows them). False, with the
// reason, when a file cannot be read or is no descriptor.
bool LoadDescriptors(const std::filesystem::path& dir, Descriptors& descriptors, std::string* error);

// Vendor and product of the keyboard and of the other vendor's device.
constexpr std::uint16_t kKeyboardVendor = 0x046D, kKeyboardProduct = 0xC31C;
constexpr std::uint16_t kOtherVendor = 0x1209, kOtherProduct = 0x0001;

// True when this process runs with the umockdev preload library.
bool PreloadActive();

// The calls whose next occurrence can be made to fail.
enum class Call { SetFeature, GetFeature, Read };

class HidrawTestbed {
public:
    explicit HidrawTestbed(std::shared_ptr<VirtualMouse> mouse,
                           Descriptors descriptors = DefaultDescriptors());
    ~HidrawTestbed();
    HidrawTestbed(const HidrawTestbed&) = delete;
    HidrawTestbed& operator=(const HidrawTestbed&) = delete;

    // False when the testbed could not be built (Error() says why).
    bool Valid() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    VirtualMouse& Mouse() { return *mouse_; }
    // The testbed's root folder (sys/, dev/ below it).
    std::string Root() const { return root_; }

    // The identity's device node now ("/dev/hidraw2"); empty while it is
    // unplugged. A plug after an unplug brings a node with a new number.
    std::string Devnode(Identity id) const;
    std::string KeyboardNode() const;
    std::string OtherNode() const;

    // The next such call on the identity's node fails with `error` (errno).
    void FailNext(Identity id, Call call, int error);
    // Sends a uevent with `action` ("change", "bind", ...) for the identity's hidraw node.
    void SendUevent(Identity id, const std::string& action);
    // Makes the identity's node refuse to be opened by anyone but root
    // (mode 0000), or opens it to everyone again (0666, as the udev rule does).
    void DenyOpen(Identity id, bool deny);

    struct Node;

private:
    void Run(const std::function<void()>& fn); // on the GLib thread, waiting for it
    void Build();
    Node* AddNode(const std::string& usbPath, const std::string& hidName, std::uint16_t vendor,
                  std::uint16_t product, const Bytes& descriptor, std::optional<Identity> identity);
    void Reconcile();
    void Remove(Node& node);
    void Deliver(Identity id, std::span<const std::uint8_t> report);

    std::shared_ptr<VirtualMouse> mouse_;
    Descriptors descriptors_;
    std::string error_;
    std::string root_;

    struct GlibState;
    std::unique_ptr<GlibState> glib_;
    std::thread glibThread_;

    mutable std::mutex mutex_; // nodes_, current_, the master descriptors
    std::vector<std::unique_ptr<Node>> nodes_;
    Node* current_[kIdentityCount] = {nullptr, nullptr};
    Node* keyboard_ = nullptr;
    Node* other_ = nullptr;
    int nextNumber_ = 0;
    int listener_ = 0;

    struct Faults;
    std::unique_ptr<Faults> faults_;
};

} // namespace tarvik::testbed
