#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Descriptors.h"
#include "FakeSysfs.h"
#include "device/DeviceIds.h"
#include "device/linux/HidrawEnumeration.h"
#include "device/linux/HotplugMonitor.h"
#include "device/linux/LinuxBackend.h"
#include "support/ProblemLog.h"
#include "text/Log.h"

namespace tarvik::hidraw {
namespace {

namespace fs = std::filesystem;
using testdata::Bytes;

using test::ProblemLog;

TEST(HidrawEnumeration, FakeTreeIsListedInNodeOrderOneEntryPerCollection) {
    FakeTree tree;
    tree.Add("hidraw10", kMouseB, testdata::kVendorFeature);
    tree.Add("hidraw2", kMouseA, testdata::kVendorInput);
    tree.Add("hidraw0", kKeyboard, testdata::kKeyboardWithIds);
    tree.Add("hidraw3", kMouseA, testdata::kVendorFeature);
    tree.Add("hidraw4", "garbage", testdata::kBootMouse); // no usable HID_ID: left out
    tree.Add("hidraw1", "0005:0000046D:0000B019", testdata::kCompositeGamingMouse);
    tree.Add("hidraw5", kMouseB, testdata::kVendorTwoCollections);
    tree.Add("hidraw6", kKeyboard, {}); // no collection: no entry

    ProblemLog log;
    LinuxBackend backend(tree.roots());
    std::vector<hid::InterfaceInfo> got = backend.Enumerate();
    std::vector<hid::InterfaceInfo> want = {
        {tree.Node("hidraw0"), 0x046D, 0xC31C, 9, 0},
        {tree.Node("hidraw0"), 0x046D, 0xC31C, 3, 0},
        {tree.Node("hidraw1"), 0x046D, 0xB019, 9, 0},
        {tree.Node("hidraw1"), 0x046D, 0xB019, 3, 0},
        {tree.Node("hidraw1"), 0x046D, 0xB019, 0, 65},
        {tree.Node("hidraw2"), kVendorId, kProductIdA, 33, 0},
        {tree.Node("hidraw3"), kVendorId, kProductIdA, 0, 33},
        {tree.Node("hidraw5"), kVendorId, kProductIdB, 33, 0},
        {tree.Node("hidraw5"), kVendorId, kProductIdB, 0, 33},
        {tree.Node("hidraw10"), kVendorId, kProductIdB, 0, 33},
    };
    EXPECT_EQ(got, want);
    // Positions stay the same from one scan to the next.
    EXPECT_EQ(backend.Enumerate(), want);
    EXPECT_TRUE(log.lines.empty());
}

// Runs `fn` with file access checked as an ordinary user: as root, the file
// system user id is switched for the calling thread (which also drops the
// capability to override file permissions).
template <typename Fn> void AsOrdinaryUser(Fn fn) {
    if (geteuid() != 0) {
        fn();
        return;
    }
    setfsuid(65534);
    fn();
    setfsuid(0);
}

TEST(HidrawEnumeration, MouseNodeWithoutPermissionIsSkippedAndLoggedOnceNamingTheRule) {
    FakeTree tree;
    tree.Add("hidraw0", kKeyboard, testdata::kKeyboardWithIds);
    tree.Add("hidraw1", kMouseA, testdata::kVendorInput);
    tree.Add("hidraw2", kMouseA, testdata::kVendorFeature);
    // The keyboard node is not readable either, but enumeration never opens foreign nodes.
    fs::permissions(tree.Node("hidraw0"), fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(tree.Node("hidraw1"), fs::perms::owner_read | fs::perms::owner_write);
    // hidraw2 is open to everyone.
    fs::permissions(tree.Node("hidraw2"), fs::perms::all);

    ProblemLog log;
    LinuxBackend backend(tree.roots());
    std::vector<hid::InterfaceInfo> first, second;
    AsOrdinaryUser([&] {
        first = backend.Enumerate();
        second = backend.Enumerate();
    });
    ASSERT_EQ(first.size(), 3u); // the keyboard's two collections and hidraw2
    EXPECT_EQ(first[0].path, tree.Node("hidraw0"));
    EXPECT_EQ(first[1].path, tree.Node("hidraw0"));
    EXPECT_EQ(first[2].path, tree.Node("hidraw2"));
    EXPECT_EQ(second, first);
    ASSERT_EQ(log.lines.size(), 1u) << "one line, not one per scan";
    EXPECT_NE(log.lines[0].find(tree.Node("hidraw1")), std::string::npos) << log.lines[0];
    EXPECT_NE(log.lines[0].find("70-tarvik.rules"), std::string::npos) << log.lines[0];
    EXPECT_EQ(log.lines[0].find('\n'), std::string::npos);
    // Kept with why, for the one message of a program that found no mouse.
    const std::vector<hid::RefusedNode> refused = {{tree.Node("hidraw1"), "Permission denied"}};
    EXPECT_EQ(backend.Refused(), refused);
}

TEST(HidrawEnumeration, UdevRuleIsFoundInTheFirstFolderThatHoldsIt) {
    FakeTree tree;
    const fs::path root = tree.roots().sys.parent_path();
    const fs::path empty = root / "etc-rules", first = root / "run-rules", second = root / "lib-rules";
    for (const fs::path& f : {empty, first, second}) fs::create_directories(f);
    const fs::path name = InstalledUdevRule().filename();
    EXPECT_EQ(name, "70-tarvik.rules");
    EXPECT_EQ(FindUdevRule({empty, first, second}), fs::path());
    std::ofstream(second / name) << "rule\n";
    fs::create_directories(first / name); // a folder by that name is no rule
    EXPECT_EQ(FindUdevRule({empty, first, second}), second / name);
    // The build's own folder is looked at first.
    EXPECT_EQ(UdevRuleFolders().front(), InstalledUdevRule().parent_path());
}

TEST(HidrawEnumeration, MachineWithoutTheMouseHasNoMatchAndNoError) {
    ProblemLog log;
    LinuxBackend backend;
    for (const hid::InterfaceInfo& info : backend.Enumerate())
        EXPECT_FALSE(IdentityOf(info.vendorId, info.productId)) << info.path;
    // Neither a missing node nor something that is not a hidraw node opens.
    EXPECT_EQ(backend.Open("/dev/hidraw-none"), nullptr);
    EXPECT_EQ(backend.Open("/dev/null"), nullptr);
    EXPECT_TRUE(log.lines.empty());
}

TEST(HidrawEnumeration, HidIdLines) {
    struct Case {
        const char* uevent;
        std::optional<HidId> want;
    };
    const Case cases[] = {
        {"DRIVER=hid-generic\nHID_ID=0003:0000248A:00005B2E\nHID_NAME=m\n", HidId{3, 0x248A, 0x5B2E}},
        {"HID_ID=0005:0000046d:0000b019", HidId{5, 0x046D, 0xB019}},
        {"HID_ID=0003:0001248A:00005B2E\n", std::nullopt}, // vendor wider than 16 bits
        {"HID_ID=0003:0000248A\n", std::nullopt},
        {"HID_ID=0003:zz:00005B2E\n", std::nullopt},
        {"HID_ID=::\n", std::nullopt},
        {"HID_NAME=HID_ID=0003:1:2\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseHidId(c.uevent), c.want) << c.uevent;
}

TEST(HidrawEnumeration, DevnodesSortNumerically) {
    std::vector<std::string> nodes = {"/dev/hidraw10", "/dev/hidraw2",   "/dev/hidraw1", "/dev/hidraw02",
                                      "/dev/hidraw",   "/dev/hidraw100", "/dev/hidraw9"};
    std::sort(nodes.begin(), nodes.end(), DevnodeLess);
    std::vector<std::string> want = {"/dev/hidraw",  "/dev/hidraw1",  "/dev/hidraw2",  "/dev/hidraw02",
                                     "/dev/hidraw9", "/dev/hidraw10", "/dev/hidraw100"};
    EXPECT_EQ(nodes, want);
}

TEST(Hotplug, ActionsDecode) {
    EXPECT_EQ(DecodeHotplugAction("add"), hid::HotplugEvent::Arrival);
    EXPECT_EQ(DecodeHotplugAction("remove"), hid::HotplugEvent::Removal);
    for (const char* other : {"change", "bind", "unbind", "move", "online", "", "ADD", "added"})
        EXPECT_EQ(DecodeHotplugAction(other), std::nullopt) << other;
}

TEST(Hotplug, MonitorAndBackendThreadStartAndStopCleanly) {
    {
        HotplugMonitor monitor([](hid::HotplugEvent, const std::string&) {});
        if (monitor.Valid()) {
            EXPECT_GE(monitor.Fd(), 0);
            EXPECT_EQ(monitor.Dispatch(), 0); // nothing waiting: returns at once
        } else {
            EXPECT_EQ(monitor.Fd(), -1);
            EXPECT_FALSE(monitor.Error().empty());
        }
    }
    ProblemLog log;
    LinuxBackend backend;
    std::atomic<int> calls{0};
    backend.SetHotplugHandler([&](hid::HotplugEvent) { ++calls; });
    backend.SetHotplugHandler([&](hid::HotplugEvent) { ++calls; }); // replaced, one thread
    backend.SetHotplugHandler({});                                  // stopped and joined
    backend.SetHotplugHandler([&](hid::HotplugEvent) { ++calls; }); // the destructor joins this one
}

} // namespace
} // namespace tarvik::hidraw
