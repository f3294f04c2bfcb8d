// Listing the system's hidraw nodes with the facts the scan classifies by:
// vendor and product from the HID device's uevent (HID_ID), input and feature
// report lengths of each top-level collection from its report descriptor. Both
// are read from sysfs, which needs no permission on the node itself, so foreign
// devices are never opened.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/HidBackend.h"

namespace tarvik::hidraw {

// Where the system's device tree is. The defaults are the real system, listed
// through libudev; any other sysfs root (a fake tree in a test) is read directly
// from <sys>/class/hidraw, with device nodes under <dev>.
struct Roots {
    std::filesystem::path sys = "/sys";
    std::filesystem::path dev = "/dev";
    bool IsSystem() const { return sys == "/sys" && dev == "/dev"; }
};

// One hidraw node: its device node and the sysfs folder of its HID device
// (which holds "uevent" and "report_descriptor").
struct NodeEntry {
    std::string devnode;
    std::filesystem::path hidDevice;
};

struct HidId {
    std::uint16_t bus = 0;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    friend bool operator==(const HidId&, const HidId&) = default;
};

// The HID_ID line of a HID device's uevent ("HID_ID=0003:0000248A:00005B2E").
std::optional<HidId> ParseHidId(std::string_view uevent);

// Orders device nodes by name with numbers compared as numbers, so
// /dev/hidraw2 comes before /dev/hidraw10.
bool DevnodeLess(const std::string& a, const std::string& b);

// Every hidraw node of the system (libudev) or of a fake tree, unsorted.
std::vector<NodeEntry> ListHidrawNodes(const Roots& roots);

struct EnumerationResult {
    // One interface per top-level collection of every describable node: sorted
    // by device node, and within a node in descriptor order. A node whose
    // descriptor holds no collection has no entry.
    std::vector<hid::InterfaceInfo> interfaces;
    // The mouse's nodes that were left out because they cannot be opened, with
    // the error number of the open.
    struct Refusal {
        std::string devnode;
        int error = 0;
    };
    std::vector<Refusal> refused;

    // The refused nodes for lack of permission (EACCES, EPERM).
    std::vector<std::string> Denied() const;
};

// Describes each node. Nodes of the mouse (vendor 248a, products 5b2e/5b2f) are
// also tried with open(O_RDWR) and closed again; those that refuse are listed
// in `refused` instead. Nodes that vanish while being read (or before the open)
// are skipped.
EnumerationResult DescribeNodes(std::vector<NodeEntry> nodes);

// The single log line for nodes left out for lack of permission; it names the udev rule.
std::string PermissionProblem(const std::vector<std::string>& denied);

// The udev rule as this build installs it: <udevdir>/rules.d/70-tarvik.rules.
std::filesystem::path InstalledUdevRule();
// Where udev reads rules from: the build's own folder first, then the system's.
std::vector<std::filesystem::path> UdevRuleFolders();
// The rule file in the first of `folders` that holds one; empty when none does.
std::filesystem::path FindUdevRule(const std::vector<std::filesystem::path>& folders);

} // namespace tarvik::hidraw
