// A sysfs and /dev tree in a temporary folder, for enumeration without the
// system's devices.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "device/linux/Descriptors.h"
#include "device/linux/HidrawEnumeration.h"

namespace tarvik::hidraw {

// A sysfs and /dev tree in a temporary folder: class/hidraw/hidrawN with the
// HID device's uevent and report descriptor, and a plain file for the node.
class FakeTree {
    using Bytes = testdata::Bytes;
    using path = std::filesystem::path;

public:
    FakeTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-hidraw-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        // Readable by everyone: the permission test reads it under another user id.
        std::filesystem::permissions(
            root_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                       std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                       std::filesystem::perms::others_exec);
        std::filesystem::create_directories(root_ / "sys" / "class" / "hidraw");
        std::filesystem::create_directories(root_ / "dev");
    }
    ~FakeTree() { std::filesystem::remove_all(root_); }

    Roots roots() const { return {root_ / "sys", root_ / "dev"}; }
    std::string Node(const std::string& name) const { return (root_ / "dev" / name).string(); }

    void Add(const std::string& name, const std::string& hidId, const Bytes& descriptor) {
        path dir = root_ / "sys" / "class" / "hidraw" / name;
        std::filesystem::create_directories(dir / "device");
        Write(dir / "uevent", "MAJOR=241\nMINOR=0\nDEVNAME=" + name + "\n");
        Write(dir / "device" / "uevent", "DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=x\n");
        Write(dir / "device" / "report_descriptor", std::string(descriptor.begin(), descriptor.end()));
        Write(root_ / "dev" / name, "");
    }

private:
    static void Write(const path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
    path root_;
};

constexpr const char* kMouseA = "0003:0000248A:00005B2E";
constexpr const char* kMouseB = "0003:0000248A:00005B2F";
constexpr const char* kKeyboard = "0003:0000046D:0000C31C";

} // namespace tarvik::hidraw
