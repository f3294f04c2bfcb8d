// The hidraw backend on hidraw nodes of a umockdev testbed: the real libudev
// enumeration and monitor, open(), the hidraw ioctls and the polled read, with
// errors as the kernel gives them. Runs with libumockdev-preload (CTest sets
// LD_PRELOAD); without it every test is skipped, saying so.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HidrawTestbed.h"
#include "device/DeviceIds.h"
#include "device/FeatureReport.h"
#include "device/Protocol.h"
#include "device/linux/LinuxBackend.h"
#include "emulator/VirtualMouse.h"
#include "support/ProblemLog.h"
#include "text/Log.h"

namespace tarvik::hidraw {
namespace {

using testbed::Bytes;
using testbed::Call;
using testbed::HidrawTestbed;

// A bound on every wait, so that a fault shows as a failure and not as a hang.
constexpr int kPatienceMs = 10000;

using test::ProblemLog;

// File access as an ordinary user: as root, the calling thread's file system
// user id is switched (which also drops the right to override permissions).
template <typename Fn> void AsOrdinaryUser(Fn fn) {
    if (geteuid() != 0) {
        fn();
        return;
    }
    setfsuid(65534);
    fn();
    setfsuid(0);
}

// Waits until thread `tid` is blocked in poll(): its wait channel names poll,
// or, where the kernel does not show wait channels, it sleeps (state S).
void WaitUntilPolling(pid_t tid) {
    const std::string task = "/proc/self/task/" + std::to_string(tid);
    const auto read = [](const std::string& path) {
        std::ifstream in(path);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    for (int i = 0; i < kPatienceMs; ++i) {
        const std::string wchan = read(task + "/wchan");
        if (wchan.find("poll") != std::string::npos) return;
        if (wchan.empty() || wchan == "0") {
            const std::string stat = read(task + "/stat");
            const auto close = stat.rfind(')');
            if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'S') return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    FAIL() << "thread " << tid << " never blocked in poll";
}

Bytes Frame(const FeatureReport& r) {
    return Bytes(r.bytes.begin(), r.bytes.end());
}

class Testbed : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testbed::PreloadActive())
            GTEST_SKIP() << "needs the umockdev preload library (LD_PRELOAD=libumockdev-preload.so.0)";
        mouse = std::make_shared<VirtualMouse>();
        bed = std::make_unique<HidrawTestbed>(mouse);
        ASSERT_TRUE(bed->Valid()) << bed->Error();
    }

    std::unique_ptr<hid::Device> OpenMouse(Identity id) {
        auto device = backend.Open(bed->Devnode(id));
        EXPECT_NE(device, nullptr) << bed->Devnode(id);
        return device;
    }

    std::shared_ptr<VirtualMouse> mouse;
    std::unique_ptr<HidrawTestbed> bed;
    LinuxBackend backend; // the system's roots: libudev, /dev
};

TEST_F(Testbed, EnumerationListsEveryCollectionInNodeOrder) {
    ProblemLog log;
    const std::string kb = bed->KeyboardNode(), other = bed->OtherNode();
    const std::string a = bed->Devnode(Identity::A), b = bed->Devnode(Identity::B);
    const std::vector<hid::InterfaceInfo> want = {
        {kb, testbed::kKeyboardVendor, testbed::kKeyboardProduct, 9, 0},
        {kb, testbed::kKeyboardVendor, testbed::kKeyboardProduct, 3, 0},
        {other, testbed::kOtherVendor, testbed::kOtherProduct, 9, 9},
        {a, kVendorId, kProductIdA, 8, 0},
        {a, kVendorId, kProductIdA, 3, 0},
        {a, kVendorId, kProductIdA, 33, 0},
        {a, kVendorId, kProductIdA, 0, 33},
        {b, kVendorId, kProductIdB, 8, 0},
        {b, kVendorId, kProductIdB, 3, 0},
        {b, kVendorId, kProductIdB, 33, 0},
        {b, kVendorId, kProductIdB, 0, 33},
    };
    EXPECT_EQ(backend.Enumerate(), want);
    // Only the mouse's collections take a role: input, then feature, on one node.
    std::vector<std::optional<Classification>> roles;
    for (const auto& info : want) roles.push_back(ClassifyInterface(info));
    EXPECT_EQ(std::count(roles.begin(), roles.end(), std::nullopt), 7);
    EXPECT_EQ(roles[5], (Classification{Identity::A, InterfaceRole::Input}));
    EXPECT_EQ(roles[6], (Classification{Identity::A, InterfaceRole::Feature}));
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(Testbed, OpenReadsIdentityAndLongestReportsThroughTheIoctls) {
    struct Row {
        std::string path;
        hid::InterfaceInfo want;
    };
    const Row rows[] = {
        {bed->Devnode(Identity::A), {bed->Devnode(Identity::A), kVendorId, kProductIdA, 33, 33}},
        {bed->Devnode(Identity::B), {bed->Devnode(Identity::B), kVendorId, kProductIdB, 33, 33}},
        {bed->KeyboardNode(),
         {bed->KeyboardNode(), testbed::kKeyboardVendor, testbed::kKeyboardProduct, 9, 0}},
        {bed->OtherNode(), {bed->OtherNode(), testbed::kOtherVendor, testbed::kOtherProduct, 9, 9}},
    };
    for (const Row& row : rows) {
        auto device = backend.Open(row.path);
        ASSERT_NE(device, nullptr) << row.path;
        EXPECT_EQ(device->Info(), row.want);
    }
}

TEST_F(Testbed, FeatureReportsWithAndWithoutReportId) {
    // The status reply to a query with sequence 2: sensor 0x25, battery 100 %.
    Bytes statusReply(kReportSize, 0);
    statusReply[0] = kFeatureReportId;
    statusReply[1] = 0x01;
    statusReply[2] = kCmdStatusQuery;
    statusReply[4] = 2;
    statusReply[6] = 13;
    statusReply[15] = 0x25;
    statusReply[18] = 100;
    const std::uint8_t rate[] = {2};
    Bytes noIdSet = {0x00, 1, 2, 3, 4, 5, 6, 7, 8};
    Bytes noIdGet(9, 0);
    Bytes mouseGet(kReportSize, 0);
    mouseGet[0] = kFeatureReportId;
    struct Row {
        const char* name;
        std::string path;
        std::vector<Bytes> sets;
        Bytes get;
        Bytes want;
    };
    const Row rows[] = {
        {"A, report 0x0C",
         bed->Devnode(Identity::A),
         {Frame(FeatureReport::Write(kCmdPollingRate, 1, rate)), Frame(FeatureReport::StatusQuery(2))},
         mouseGet,
         statusReply},
        {"B, report 0x0C",
         bed->Devnode(Identity::B),
         {Frame(FeatureReport::Write(kCmdPollingRate, 1, rate)), Frame(FeatureReport::StatusQuery(2))},
         mouseGet,
         statusReply},
        {"no report IDs", bed->OtherNode(), {noIdSet}, noIdGet, noIdSet},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto device = backend.Open(row.path);
        ASSERT_NE(device, nullptr);
        for (const Bytes& set : row.sets) EXPECT_TRUE(device->SetFeature(set));
        Bytes got = row.get;
        EXPECT_TRUE(device->GetFeature(got));
        EXPECT_EQ(got, row.want);
    }
    EXPECT_EQ(mouse->Snapshot().polling, 2);
    EXPECT_EQ(mouse->Snapshot().framesReceived, 4u);
    EXPECT_EQ(mouse->Snapshot().malformedFrames, 0u);
}

TEST_F(Testbed, FailedFeatureTransfersFailOnceAndTheNodeStaysUsable) {
    auto device = OpenMouse(Identity::A);
    ASSERT_NE(device, nullptr);
    const Bytes query = Frame(FeatureReport::StatusQuery(1));
    struct Row {
        Call call;
        int error;
    };
    // A stall (EPIPE) and a transfer error (EIO), on either direction.
    for (const Row row : {Row{Call::SetFeature, EPIPE}, Row{Call::SetFeature, EIO},
                          Row{Call::GetFeature, EPIPE}, Row{Call::GetFeature, EIO}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(row.call)) + " errno " + std::to_string(row.error));
        bed->FailNext(Identity::A, row.call, row.error);
        Bytes get(kReportSize, 0);
        get[0] = kFeatureReportId;
        const bool first = row.call == Call::SetFeature ? device->SetFeature(query) : device->GetFeature(get);
        EXPECT_FALSE(first);
        EXPECT_TRUE(device->SetFeature(query));
        EXPECT_TRUE(device->GetFeature(get));
    }
}

TEST_F(Testbed, InputReportsArriveThroughRead) {
    struct Row {
        const char* name;
        std::function<void()> act;
        std::vector<hid::ReadStatus> statuses;
        std::size_t length; // of the report read last
        int timeoutMs = kPatienceMs;
    };
    const Bytes shortReport = {kInputReportId, kInputEventLevelOrRate, 0};
    const Row rows[] = {
        {"nothing sent: the poll times out", [] {}, {hid::ReadStatus::Timeout}, 0, 0},
        {"a DPI press on the mouse", [&] { mouse->PressDpiButton(2); }, {hid::ReadStatus::Report}, 33},
        {"a short report",
         [&] { mouse->EmitInputReport(Identity::A, shortReport); },
         {hid::ReadStatus::Report},
         3},
        {"a read interrupted by a signal (EINTR), then the report",
         [&] {
             bed->FailNext(Identity::A, Call::Read, EINTR);
             mouse->PressDpiButton(3);
         },
         {hid::ReadStatus::Timeout, hid::ReadStatus::Report},
         33},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto device = OpenMouse(Identity::A);
        ASSERT_NE(device, nullptr);
        row.act();
        std::vector<std::uint8_t> buf(64, 0xFF);
        hid::ReadResult r;
        for (hid::ReadStatus want : row.statuses) {
            r = device->ReadInput(buf, row.timeoutMs);
            EXPECT_EQ(r.status, want);
        }
        ASSERT_EQ(r.length, row.length);
        if (row.length == 0) continue;
        EXPECT_EQ(buf[0], kInputReportId);
        EXPECT_EQ(buf[1], kInputEventLevelOrRate);
    }
    EXPECT_EQ(mouse->Snapshot().dpiLevel, 2);
}

TEST_F(Testbed, BlockedReadEndsByWakeSignalOrRemoval) {
    struct sigaction quiet {};
    quiet.sa_handler = [](int) {};
    sigemptyset(&quiet.sa_mask);
    struct sigaction old {};
    sigaction(SIGUSR1, &quiet, &old); // no SA_RESTART: the poll returns EINTR
    struct Row {
        const char* name;
        std::function<void(hid::Device&, pthread_t)> act;
        hid::ReadStatus want;
    };
    const Row rows[] = {
        {"Wake", [](hid::Device& d, pthread_t) { d.Wake(); }, hid::ReadStatus::Woken},
        {"a signal, then a report",
         [&](hid::Device&, pthread_t reader) {
             pthread_kill(reader, SIGUSR1);
             mouse->PressDpiButton();
         },
         hid::ReadStatus::Report},
        {"unplugging A", [&](hid::Device&, pthread_t) { mouse->Unplug(Identity::A); },
         hid::ReadStatus::Failed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto device = OpenMouse(Identity::A);
        ASSERT_NE(device, nullptr);
        std::atomic<pid_t> tid{0};
        hid::ReadResult result;
        std::thread reader([&] {
            tid = static_cast<pid_t>(syscall(SYS_gettid));
            std::vector<std::uint8_t> buf(33);
            result = device->ReadInput(buf, -1);
        });
        while (tid == 0) std::this_thread::yield();
        WaitUntilPolling(tid);
        row.act(*device, reader.native_handle());
        reader.join();
        EXPECT_EQ(result.status, row.want);
    }
    sigaction(SIGUSR1, &old, nullptr);
}

TEST_F(Testbed, RemovalFailsOpenNodesAsTheKernelDoesAndAPlugBringsANewNode) {
    auto device = OpenMouse(Identity::A);
    ASSERT_NE(device, nullptr);
    const std::string before = bed->Devnode(Identity::A);
    mouse->Unplug(Identity::A);
    // ioctls fail with ENODEV, the read with EIO after POLLHUP.
    EXPECT_FALSE(device->SetFeature(Frame(FeatureReport::StatusQuery(1))));
    Bytes get(kReportSize, 0);
    get[0] = kFeatureReportId;
    EXPECT_FALSE(device->GetFeature(get));
    std::vector<std::uint8_t> buf(33);
    EXPECT_EQ(device->ReadInput(buf, kPatienceMs).status, hid::ReadStatus::Failed);
    EXPECT_EQ(device->ReadInput(buf, kPatienceMs).status, hid::ReadStatus::Failed) << "and every read after";
    EXPECT_EQ(backend.Open(before), nullptr);
    for (const auto& info : backend.Enumerate()) EXPECT_NE(info.productId, kProductIdA) << info.path;

    mouse->Plug(Identity::A);
    const std::string after = bed->Devnode(Identity::A);
    EXPECT_NE(after, before);
    int listed = 0;
    for (const auto& info : backend.Enumerate()) listed += info.path == after;
    EXPECT_EQ(listed, 4);
    auto again = OpenMouse(Identity::A);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->SetFeature(Frame(FeatureReport::StatusQuery(2))));
    EXPECT_FALSE(device->SetFeature(Frame(FeatureReport::StatusQuery(3)))) << "the old handle stays dead";
}

TEST_F(Testbed, NodeThatRefusesTheOpenIsLeftOutWithTheRulesMessage) {
    ProblemLog log;
    bed->DenyOpen(Identity::A, true);
    const std::string a = bed->Devnode(Identity::A), b = bed->Devnode(Identity::B);
    std::vector<hid::InterfaceInfo> listed;
    std::unique_ptr<hid::Device> opened;
    AsOrdinaryUser([&] {
        listed = backend.Enumerate();
        opened = backend.Open(a);
    });
    EXPECT_EQ(opened, nullptr);
    int ofA = 0, ofB = 0;
    for (const auto& info : listed) {
        ofA += info.path == a;
        ofB += info.path == b;
    }
    EXPECT_EQ(ofA, 0);
    EXPECT_EQ(ofB, 4);
    const std::vector<hid::RefusedNode> refused = {{a, "Permission denied"}};
    EXPECT_EQ(backend.Refused(), refused);
    ASSERT_EQ(log.lines.size(), 1u) << "the open after the scan repeats nothing";
    EXPECT_NE(log.lines[0].find(a), std::string::npos) << log.lines[0];
    EXPECT_NE(log.lines[0].find("70-tarvik.rules"), std::string::npos) << log.lines[0];
}

TEST_F(Testbed, MonitorThreadSeesRemovalAndArrival) {
    std::mutex m;
    std::condition_variable cv;
    std::deque<hid::HotplugEvent> events;
    backend.SetHotplugHandler([&](hid::HotplugEvent e) {
        std::lock_guard lock(m);
        events.push_back(e);
        cv.notify_all();
    });
    const auto next = [&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::milliseconds(kPatienceMs), [&] { return !events.empty(); }))
            return std::optional<hid::HotplugEvent>();
        const hid::HotplugEvent e = events.front();
        events.pop_front();
        return std::optional(e);
    };
    // Other actions on a hidraw node are no arrival or removal.
    bed->SendUevent(Identity::B, "change");
    mouse->Unplug(Identity::B);
    EXPECT_EQ(next(), hid::HotplugEvent::Removal);
    mouse->Plug(Identity::B);
    EXPECT_EQ(next(), hid::HotplugEvent::Arrival);
    mouse->Unplug(Identity::A);
    EXPECT_EQ(next(), hid::HotplugEvent::Removal);
    backend.SetHotplugHandler({});
    std::lock_guard lock(m);
    EXPECT_TRUE(events.empty()) << "one event per node, the HID parent's are not hidraw events";
}

} // namespace
} // namespace tarvik::hidraw
