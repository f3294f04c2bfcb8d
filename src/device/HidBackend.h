// The transport below the device link: one interface for every way of reaching
// HID interfaces (hidraw, the in-process virtual mouse, the simulator socket).
// A backend lists interfaces with the facts the scan classifies by, opens one by
// path, and reports arrival and removal of devices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tarvik::hid {

// One HID interface as enumeration sees it: one top-level collection. Report
// lengths count the report-ID byte, so the mouse's 33-byte reports read 33.
// Several interfaces may share a path when one device node carries several
// collections (hidraw); opening that path opens the whole node.
struct InterfaceInfo {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t inputReportLength = 0;
    std::uint16_t featureReportLength = 0;
    friend bool operator==(const InterfaceInfo&, const InterfaceInfo&) = default;
};

enum class ReadStatus {
    Report,  // a report was read; `length` bytes are valid
    Timeout, // nothing arrived within the timeout
    Woken,   // Wake() interrupted the read
    Failed,  // the device is gone or the read failed; further reads fail too
};

struct ReadResult {
    ReadStatus status = ReadStatus::Failed;
    std::size_t length = 0;
};

// An open interface (a whole node where a path carries several collections).
//
// Threads: one object may be used from two threads at once, one calling
// SetFeature/GetFeature (the device worker) while the other is
// blocked in ReadInput (a reader thread): a node that serves both the input and
// the feature role is opened once and shared that way. A feature call never
// waits for a blocked read to end, and the read goes on receiving reports.
// Feature calls must not overlap each other, nor reads each other. Wake may be
// called from any thread.
class Device {
public:
    virtual ~Device() = default;
    // Vendor, product and report lengths read from the open interface; for a
    // node with several collections, the longest report of each type.
    virtual InterfaceInfo Info() const = 0;
    // Writes one feature report; data[0] is the report ID.
    virtual bool SetFeature(std::span<const std::uint8_t> data) = 0;
    // Reads the feature report whose ID is data[0] into data.
    virtual bool GetFeature(std::span<std::uint8_t> data) = 0;
    // Reads one input report. timeoutMs < 0 waits until a report arrives, the
    // device goes away or Wake() is called.
    virtual ReadResult ReadInput(std::span<std::uint8_t> data, int timeoutMs) = 0;
    // Makes a blocked (or the next) ReadInput return Woken. Thread-safe.
    virtual void Wake() = 0;
};

// A node of the mouse that the last enumeration listed but could not open.
struct RefusedNode {
    std::string path;
    std::string reason; // the system's words: "Permission denied"
    friend bool operator==(const RefusedNode&, const RefusedNode&) = default;
};

enum class HotplugEvent { Arrival, Removal };
// Called from whatever thread the backend notices the change on.
using HotplugHandler = std::function<void(HotplugEvent)>;

class Backend {
public:
    virtual ~Backend() = default;
    // Every HID interface present now, in a stable order (the scan's positions).
    virtual std::vector<InterfaceInfo> Enumerate() = 0;
    // Opens an interface for reading and writing; nullptr when it cannot be opened.
    virtual std::unique_ptr<Device> Open(const std::string& path) = 0;
    // Installs the arrival/removal handler (an empty function removes it).
    virtual void SetHotplugHandler(HotplugHandler handler) = 0;
    // The mouse's nodes that the last Enumerate() left out because they could
    // not be opened (hidraw only: the other backends open whatever they list).
    virtual std::vector<RefusedNode> Refused() const { return {}; }
};

} // namespace tarvik::hid
