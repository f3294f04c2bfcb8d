// Scanning, feature handles, reader threads and hotplug, on a scripted backend
// (any interface list) and on the virtual mouse.
#include <condition_variable>
#include <thread>

#include "DeviceFixture.h"
#include "device/linux/FakeSysfs.h"
#include "device/linux/LinuxBackend.h"

namespace tarvik::test {
namespace {

// Any list of interfaces; opened devices block in ReadInput until woken or the
// interface is removed.
class ScriptedBackend final : public hid::Backend {
public:
    std::vector<hid::InterfaceInfo> interfaces;
    std::map<std::string, hid::InterfaceInfo> openedAs; // what Open reports, when it differs
    int opens = 0;

    std::vector<hid::InterfaceInfo> Enumerate() override {
        std::lock_guard lock(mutex_);
        return interfaces;
    }
    std::unique_ptr<hid::Device> Open(const std::string& path) override {
        std::lock_guard lock(mutex_);
        for (const auto& i : interfaces) {
            if (i.path != path) continue;
            ++opens;
            auto it = openedAs.find(path);
            return std::make_unique<Dev>(*this, it == openedAs.end() ? i : it->second);
        }
        return nullptr;
    }
    void SetHotplugHandler(hid::HotplugHandler) override {}
    void Remove(const std::string& path) {
        {
            std::lock_guard lock(mutex_);
            std::erase_if(interfaces, [&](const auto& i) { return i.path == path; });
        }
        cv_.notify_all();
    }

private:
    class Dev final : public hid::Device {
    public:
        Dev(ScriptedBackend& b, hid::InterfaceInfo info) : b_(b), info_(std::move(info)) {}
        hid::InterfaceInfo Info() const override { return info_; }
        bool SetFeature(std::span<const std::uint8_t>) override { return Present(); }
        bool GetFeature(std::span<std::uint8_t>) override { return Present(); }
        hid::ReadResult ReadInput(std::span<std::uint8_t>, int) override {
            std::unique_lock lock(b_.mutex_);
            b_.cv_.wait(lock, [&] { return woken_ || !PresentLocked(); });
            if (!PresentLocked()) return {hid::ReadStatus::Failed, 0};
            woken_ = false;
            return {hid::ReadStatus::Woken, 0};
        }
        void Wake() override {
            {
                std::lock_guard lock(b_.mutex_);
                woken_ = true;
            }
            b_.cv_.notify_all();
        }

    private:
        bool Present() {
            std::lock_guard lock(b_.mutex_);
            return PresentLocked();
        }
        bool PresentLocked() const {
            return std::any_of(b_.interfaces.begin(), b_.interfaces.end(),
                               [&](const auto& i) { return i.path == info_.path; });
        }
        ScriptedBackend& b_;
        hid::InterfaceInfo info_;
        bool woken_ = false;
    };
    std::mutex mutex_;
    std::condition_variable cv_;
};

hid::InterfaceInfo Iface(std::string path, std::uint16_t pid, std::uint16_t in, std::uint16_t feat,
                         std::uint16_t vid = kVendorId) {
    return {std::move(path), vid, pid, in, feat};
}

TEST(DeviceLinkScanTest, RecordsRolesPositionsAndKeepsHandlesAcrossScans) {
    ScriptedBackend b;
    b.interfaces = {Iface("kbd", 0x1234, 9, 0, 0x046D),   Iface("a-mouse", kProductIdA, 8, 0),
                    Iface("a-both", kProductIdA, 33, 33), Iface("a-feat", kProductIdA, 0, 33),
                    Iface("b-in", kProductIdB, 33, 0),    Iface("b-feat", kProductIdB, 0, 33)};
    EventQueue q;
    DeviceLink link(b, q.Poster());
    link.ScanDevices();
    EXPECT_TRUE(link.Connected());
    EXPECT_TRUE(link.Present(Identity::A));
    EXPECT_TRUE(link.Present(Identity::B));
    // An interface with both 33-byte lengths is the input interface only.
    EXPECT_EQ(link.InputPath(Identity::A), "a-both");
    EXPECT_EQ(link.InputIndex(Identity::A), 2);
    EXPECT_EQ(link.FeaturePath(Identity::A), "a-feat");
    EXPECT_EQ(link.FeatureIndex(Identity::A), 3);
    EXPECT_EQ(link.FeatureIndex(Identity::B), 5);
    EXPECT_EQ(link.SendTargetIdentity(), Identity::A);
    EXPECT_EQ(link.StatusPollCount(), 19);
    EXPECT_TRUE(link.ReaderRunning(Identity::A));
    EXPECT_TRUE(link.ReaderRunning(Identity::B));

    hid::Device* target = link.SendTarget();
    const int opens = b.opens;
    link.ScanDevices();
    EXPECT_EQ(link.SendTarget(), target); // the open handle is kept
    EXPECT_EQ(b.opens, opens);            // nothing reopened: readers and handles still live
    EXPECT_EQ(link.FeaturePath(Identity::B), "b-feat");
    EXPECT_EQ(link.InputPath(Identity::B), "b-in");

    // Identity A goes away: its handle closes and B becomes the target.
    b.Remove("a-both");
    b.Remove("a-feat");
    // The ended reader forgets its path through a call it posts after it stops.
    ASSERT_TRUE(
        q.RunUntil([&] { return !link.ReaderRunning(Identity::A) && link.InputPath(Identity::A).empty(); },
                   std::chrono::seconds(5)));
    link.ScanDevices();
    EXPECT_FALSE(link.Present(Identity::A));
    EXPECT_FALSE(link.FeatureOpen(Identity::A));
    EXPECT_TRUE(link.FeaturePath(Identity::A).empty());
    EXPECT_EQ(link.SendTargetIdentity(), Identity::B);
    link.Close();
    EXPECT_FALSE(link.ReaderRunning(Identity::B));
}

TEST(DeviceLinkScanTest, OnlyHundredPositionsAndOnlyVerifiedHandles) {
    ScriptedBackend b;
    for (int i = 0; i < 100; ++i) b.interfaces.push_back(Iface("other" + std::to_string(i), 0x1, 8, 0, 0x1));
    b.interfaces.push_back(Iface("a-feat-late", kProductIdA, 0, 33)); // position 100: never probed
    b.interfaces.push_back(Iface("b-feat", kProductIdB, 0, 33));
    EventQueue q;
    DeviceLink link(b, q.Poster());
    link.ScanDevices();
    EXPECT_FALSE(link.Connected());

    b.interfaces.erase(b.interfaces.begin(), b.interfaces.begin() + 2); // now both within reach
    // The feature interface of B answers with A's product ID when opened: not kept.
    b.openedAs["b-feat"] = Iface("b-feat", kProductIdA, 0, 33);
    link.ScanDevices();
    EXPECT_TRUE(link.Present(Identity::A));
    EXPECT_TRUE(link.Present(Identity::B));
    EXPECT_TRUE(link.FeatureOpen(Identity::A));
    EXPECT_FALSE(link.FeatureOpen(Identity::B));
    EXPECT_FALSE(link.ReaderRunning(Identity::A)); // no input interface found
}

class DeviceLinkSimTest : public DeviceTest {};

// The hidraw backend on a fake sysfs tree, whose mouse node opens as one
// handle on identity A of the virtual mouse that takes feature reports and
// delivers input reports, as a node holding both of the mouse's collections
// does. Counts the opens of each path.
class OneNodeBackend final : public hid::Backend {
public:
    OneNodeBackend(hidraw::Roots roots, std::string mouseNode, std::shared_ptr<VirtualMouse> mouse)
        : hidraw_(std::move(roots)), mouseNode_(std::move(mouseNode)), mouse_(std::move(mouse)) {}
    std::vector<hid::InterfaceInfo> Enumerate() override { return hidraw_.Enumerate(); }
    std::unique_ptr<hid::Device> Open(const std::string& path) override {
        ++opens[path];
        if (path != mouseNode_ || !mouse_->Plugged(Identity::A)) return nullptr;
        return std::make_unique<Node>(mouse_, path);
    }
    void SetHotplugHandler(hid::HotplugHandler) override {}
    std::map<std::string, int> opens;

private:
    class Node final : public hid::Device {
    public:
        Node(std::shared_ptr<VirtualMouse> mouse, std::string path)
            : mouse_(std::move(mouse)), path_(std::move(path)), generation_(mouse_->Generation(Identity::A)) {
        }
        hid::InterfaceInfo Info() const override {
            return {path_, kVendorId, kProductIdA, kMouseReportLength, kMouseReportLength};
        }
        bool SetFeature(std::span<const std::uint8_t> data) override {
            return mouse_->SetFeature(Identity::A, generation_, data);
        }
        bool GetFeature(std::span<std::uint8_t> data) override {
            return mouse_->GetFeature(Identity::A, generation_, data);
        }
        hid::ReadResult ReadInput(std::span<std::uint8_t> data, int timeoutMs) override {
            return mouse_->ReadInput(Identity::A, generation_, data, timeoutMs, woken_);
        }
        void Wake() override { mouse_->Wake(woken_); }

    private:
        std::shared_ptr<VirtualMouse> mouse_;
        std::string path_;
        std::uint64_t generation_;
        bool woken_ = false; // guarded by the mouse's lock
    };
    hidraw::LinuxBackend hidraw_;
    std::string mouseNode_;
    std::shared_ptr<VirtualMouse> mouse_;
};

TEST_F(DeviceLinkSimTest, OneNodeWithBothCollectionsIsOpenedOnceForBothRoles) {
    hidraw::FakeTree tree;
    tree.Add("hidraw0", hidraw::kKeyboard, testdata::kKeyboardWithIds);
    tree.Add("hidraw1", hidraw::kMouseA, testdata::kVendorTwoCollections);
    const std::string node = tree.Node("hidraw1");
    OneNodeBackend nodes(tree.roots(), node, mouse_);
    RecordingBackend recording(nodes, timeline_);
    DeviceLink link(recording, queue_.Poster());
    DeviceController controller(*model_, link, clock_, scheduler_, queue_.Poster());
    std::vector<OsdTexts> shown;
    controller.SetEvents({.showOsd = [&](const OsdTexts& t) { shown.push_back(t); }});
    const auto status = [&] {
        std::optional<StatusResult> got;
        controller.QueryStatus([&](const StatusResult& r) { got = r; });
        EXPECT_TRUE(RunUntil([&] { return got.has_value(); }));
        return got.value_or(StatusResult{});
    };

    // The keyboard's two collections are positions 0 and 1; the node's are 2 and 3.
    link.ScanDevices();
    EXPECT_TRUE(link.Present(Identity::A));
    EXPECT_EQ(link.InputPath(Identity::A), node);
    EXPECT_EQ(link.InputIndex(Identity::A), 2);
    EXPECT_EQ(link.FeaturePath(Identity::A), node);
    EXPECT_EQ(link.FeatureIndex(Identity::A), 3);
    EXPECT_TRUE(link.ReaderRunning(Identity::A));
    ASSERT_EQ(link.SendTargetIdentity(), Identity::A);
    EXPECT_EQ(nodes.opens, (std::map<std::string, int>{{node, 1}}));

    // A send and a status query go through the node while its reader is blocked on it.
    controller.PrimeCaches();
    Current().PollingRate[0] = Current().PollingRate[0] == 0 ? 1 : 0;
    controller.RequestSend(SendGroup::MainSettings);
    bool sent = false;
    controller.ApplyToDevice([&](const ApplyResult&) { sent = true; });
    ASSERT_TRUE(RunUntil([&] { return sent; }));
    EXPECT_EQ(mouse_->Snapshot().polling, PollingCode(Current()));
    EXPECT_EQ(status().outcome, StatusOutcome::Answered);
    const auto events = timeline_.Events();
    ASSERT_FALSE(events.empty());
    for (const auto& e : events) {
        if (e.kind != 'P') {
            EXPECT_EQ(e.path, node) << e.kind << " " << HexLine(e.bytes);
        }
    }
    EXPECT_EQ(timeline_.WrittenCommands(), (std::vector<std::uint8_t>{kCmdPollingRate, kCmdStatusQuery}));

    // The mouse's own report arrives through the same handle.
    ASSERT_TRUE(mouse_->PressDpiButton());
    ASSERT_TRUE(RunUntil([&] { return shown.size() == 1; }));

    // A second scan keeps the one handle.
    hid::Device* target = link.SendTarget();
    link.ScanDevices();
    EXPECT_EQ(link.SendTarget(), target);
    EXPECT_EQ(nodes.opens[node], 1);

    // The node fails under its reader (unplugged and plugged again between two
    // scans): the next scan opens it once more, and that handle takes both roles,
    // so sends reach the mouse again instead of going to the dead handle.
    mouse_->Unplug(Identity::A);
    ASSERT_TRUE(
        RunUntil([&] { return !link.ReaderRunning(Identity::A) && link.InputPath(Identity::A).empty(); }));
    mouse_->Plug(Identity::A);
    link.ScanDevices();
    EXPECT_TRUE(link.ReaderRunning(Identity::A));
    EXPECT_EQ(nodes.opens[node], 2);
    Reset();
    EXPECT_EQ(status().outcome, StatusOutcome::Answered);
    ASSERT_TRUE(mouse_->PressDpiButton());
    ASSERT_TRUE(RunUntil([&] { return shown.size() == 2; }));
    link.Close();
}

TEST_F(DeviceLinkSimTest, BothIdentitiesCommandsAndStatusGoToA) {
    ConnectPrimed();
    Current().PollingRate[0] = 0;
    Current().Keys[1].Action = {0x10, 0x04, 0x00};
    controller_->RequestSend(SendGroups::All());
    Apply();
    const StatusResult s = Status();
    EXPECT_EQ(s.identity, Identity::A);
    const auto events = timeline_.Events();
    ASSERT_FALSE(events.empty());
    for (const auto& e : events) {
        if (e.kind != 'P') {
            EXPECT_EQ(e.path, "sim:A:feature") << HexLine(e.bytes);
        }
    }
}

TEST_F(DeviceLinkSimTest, ReaderHandsReportsToTheUiThreadInOrder) {
    std::vector<std::thread::id> handledOn;
    std::vector<OsdTexts> shown;
    std::vector<ModelChange> heard;
    controller_->SetEvents({.showOsd = [&](const OsdTexts& t) {
        handledOn.push_back(std::this_thread::get_id());
        shown.push_back(t);
    }});
    model_->AddListener([&](int slot, ModelChange what) {
        EXPECT_EQ(slot, model_->GetCurrentProfile());
        heard.push_back(what);
    });
    Current().PollingRate[0] = 2; // 500 Hz
    ConnectPrimed();
    controller_->RequestSend(SendGroup::MainSettings);
    Apply(); // nothing differs: the mouse holds the profile
    EXPECT_TRUE(timeline_.Writes().empty());
    mouse_->ApplyFrame(FeatureReport::Write(kCmdPollingRate, 1, std::array<std::uint8_t, 1>{4}).bytes);

    ASSERT_TRUE(mouse_->PressDpiButton()); // level 0 -> 1
    ASSERT_TRUE(mouse_->PressDpiButton()); // level 1 -> 2
    ASSERT_TRUE(RunUntil([&] { return shown.size() == 2; }));
    for (auto id : handledOn) EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_EQ(shown[0].title, "DPI-2");
    EXPECT_EQ(shown[1].title, "DPI-3");
    EXPECT_EQ(shown[1].rate, "250Hz");
    EXPECT_EQ(Current().CurrentDPILevel, 2);
    EXPECT_EQ(Current().PollingRate[0], 1);
    EXPECT_EQ(Current().PollingRateName, u"250HZ");
    EXPECT_EQ(controller_->CurrentDpiLevel(), 2);
    // Each report announces what it changed: the first the rate (the profile
    // was at the mouse's level already), the second the level.
    EXPECT_EQ(heard, (std::vector<ModelChange>{ModelChange::Polling, ModelChange::Dpi}));

    // The mouse already has level and rate: they are not sent back to it.
    Reset();
    controller_->RequestSend(SendGroup::MainSettings);
    Apply();
    EXPECT_TRUE(timeline_.Writes().empty());

    // Other input reports change nothing.
    const std::uint8_t other[] = {0x05, 0x07, 0x00, 0x08, 0x01};
    mouse_->EmitInputReport(Identity::A, other);
    ASSERT_TRUE(mouse_->PressDpiButton());
    ASSERT_TRUE(RunUntil([&] { return shown.size() == 3; }));
    EXPECT_EQ(Current().PollingRate[0], 1);
}

// A level/rate report takes only what the mouse changed as delivered: a change
// of the user's that waits for its send still reaches the mouse.
TEST_F(DeviceLinkSimTest, LevelAndRateReportKeepsWaitingChanges) {
    struct Case {
        const char* name;
        std::function<void(ProfileRecord&)> change; // made before the report, sent after it
        SendGroups groups;
        std::vector<std::uint8_t> sent;
    };
    const Case cases[] = {
        {"nothing waiting", [](ProfileRecord&) {}, SendGroup::MainSettings, {}},
        {"a DPI colour",
         [](ProfileRecord& r) { r.DPILevelIndication[1] = 0x102030; },
         SendGroup::MainSettings,
         {kCmdDpiColours}},
        {"a DPI value",
         [](ProfileRecord& r) { r.XYSetting[3] = 40; },
         SendGroup::MainSettings,
         {kCmdDpiLevels}},
        {"the enabled levels",
         [](ProfileRecord& r) { r.DPIOffOnFlag = 0x0F; },
         SendGroup::MainSettings,
         {kCmdDpiLevels}},
        {"lighting and power",
         [](ProfileRecord& r) {
             r.Lighting1Mode[0] = 4;
             // A string object: GCC 12 at -O2 reports a false -Wrestrict for a
             // one-character literal assigned into a string here.
             r.Settings[kSetPowerDownTime].Value = std::u16string(u"3");
         },
         SendGroup::MainSettings | SendGroup::PowerOptions,
         {kCmdLighting, kCmdPowerOptions}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        int reports = 0;
        controller_->SetEvents({.showOsd = [&](const OsdTexts&) { ++reports; }});
        ConnectPrimed();
        c.change(Current());
        controller_->RequestSend(c.groups);
        ASSERT_TRUE(mouse_->PressDpiButton());
        ASSERT_TRUE(RunUntil([&] { return reports == 1; }));
        EXPECT_EQ(Current().CurrentDPILevel, 1);
        scheduler_.Advance(Millis(20)); // the send waiting for its 20 ms
        Settle();
        EXPECT_EQ(timeline_.WrittenCommands(), c.sent);
    }
}

// Reports with a level the mouse cannot mean are logged once and change nothing.
TEST_F(DeviceLinkSimTest, ImpossibleLevelIsIgnored) {
    ProblemLog problems;
    std::vector<OsdTexts> shown;
    controller_->SetEvents({.showOsd = [&](const OsdTexts& t) { shown.push_back(t); }});
    ConnectPrimed();
    const ProfileRecord before = Current();
    for (std::uint8_t level : {0, 9, 0, 255}) {
        const std::uint8_t report[] = {0x05, 0x06, 0x00, 0x08, level};
        mouse_->EmitInputReport(Identity::A, report);
    }
    ASSERT_TRUE(mouse_->PressDpiButton()); // a good one after them: level 2
    ASSERT_TRUE(RunUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(Current().CurrentDPILevel, 1);
    EXPECT_EQ(Current().PollingRate, before.PollingRate);
    EXPECT_EQ(problems.Count("DPI level 0,"), 1);
    EXPECT_EQ(problems.Count("DPI level 9,"), 1);
    EXPECT_EQ(problems.Count("DPI level 255,"), 1);
}

TEST_F(DeviceLinkSimTest, HotplugOneIdentityKeepsRunningTheLastEndsTheProgram) {
    int quits = 0;
    controller_->SetEvents({.noDeviceLeft = [&] { ++quits; }});
    controller_->AttachHotplug(queue_.Poster());
    controller_->ScanDevices();
    EXPECT_TRUE(link_->StatusQueryOwed());

    mouse_->Unplug(Identity::A);
    ASSERT_TRUE(RunUntil([&] { return !link_->Present(Identity::A); }));
    EXPECT_EQ(link_->SendTargetIdentity(), Identity::B);
    EXPECT_EQ(quits, 0);

    mouse_->Unplug(Identity::B);
    ASSERT_TRUE(RunUntil([&] { return quits == 1; }));
    EXPECT_FALSE(link_->Connected());
    EXPECT_TRUE(link_->StatusQueryOwed());

    // A later arrival answers the pending status query.
    Reset();
    mouse_->Plug(Identity::B);
    ASSERT_TRUE(RunUntil([&] { return link_->Connected(); }));
    Settle();
    EXPECT_FALSE(link_->StatusQueryOwed());
    EXPECT_EQ(timeline_.WrittenCommands(), std::vector<std::uint8_t>{kCmdStatusQuery});
    EXPECT_EQ(link_->StatusPollCount(), 19);
}

TEST_F(DeviceLinkSimTest, StatusPollRestartsADeadReaderAndQueriesEvery21Ticks) {
    std::vector<BatteryDisplay> shown;
    controller_->SetEvents({.showBattery = [&](const BatteryDisplay& d) { shown.push_back(d); }});
    controller_->PrimeCaches(); // the scan's own send then writes nothing
    controller_->ScanDevices();
    EXPECT_EQ(scheduler_.DueIn(Task::PollStatus), Millis(1000));
    Reset();
    std::vector<int> queryTicks;
    for (int tick = 1; tick <= 44; ++tick) {
        // The poll task runs every second on the scheduler.
        scheduler_.Advance(Millis(1000));
        Settle();
        if (timeline_.WrittenCommands().size() > queryTicks.size()) queryTicks.push_back(tick);
    }
    // The counter is 19 after a scan: the query comes on the 2nd tick, then every 21st.
    EXPECT_EQ(queryTicks, (std::vector<int>{2, 23, 44}));
    // One display per tick; on a query tick it follows the answer.
    ASSERT_EQ(shown.size(), 44u);
    EXPECT_EQ(shown.back().text, "100%");

    // A reader whose read failed is started again by the next query tick.
    link_->StopReaders();
    ASSERT_FALSE(link_->ReaderRunning(Identity::A));
    link_->StatusPollNow();
    EXPECT_TRUE(controller_->PollTick().rescanned);
    EXPECT_TRUE(link_->ReaderRunning(Identity::A));
    EXPECT_EQ(link_->StatusPollCount(), 19);
}

TEST_F(DeviceLinkSimTest, BatteryGaugeChargingLevelAndText) {
    std::vector<BatteryDisplay> shown;
    controller_->SetEvents({.showBattery = [&](const BatteryDisplay& d) { shown.push_back(d); }});
    controller_->ScanDevices();
    const auto tick = [&] {
        const PollResult r = controller_->PollTick();
        Settle();
        return r;
    };
    mouse_->SetChargeState(1);
    mouse_->SetBattery(40);
    link_->StatusPollNow();
    for (int i = 0; i < 6; ++i) tick();
    ASSERT_EQ(shown.size(), 6u);
    std::vector<int> levels;
    for (const auto& d : shown) levels.push_back(d.chargingLevel);
    EXPECT_EQ(levels, (std::vector<int>{25, 50, 75, 100, 25, 50}));
    // The query tick's display already shows the answer.
    EXPECT_FALSE(shown.front().textVisible);
    EXPECT_EQ(shown.front().text, "40%");

    // Full: 100 % whatever the level byte says; a level above 100 shows 0.
    mouse_->SetChargeState(2);
    link_->StatusPollNow();
    tick();
    EXPECT_EQ(shown.back().text, "100%");
    mouse_->SetChargeState(0);
    mouse_->SetBattery(150);
    link_->StatusPollNow();
    tick();
    EXPECT_EQ(shown.back().text, "0%");
    EXPECT_TRUE(shown.back().textVisible);

    // Not shown: no query and no display.
    controller_->SetShown(false);
    link_->StatusPollNow();
    Reset();
    const std::size_t before = shown.size();
    const PollResult hidden = tick();
    EXPECT_FALSE(hidden.statusQueried);
    EXPECT_FALSE(hidden.battery);
    EXPECT_EQ(shown.size(), before);
    EXPECT_TRUE(timeline_.Writes().empty());
}

TEST_F(DeviceLinkSimTest, StartupNoticeOnlyWithoutAnyFeatureHandle) {
    EXPECT_TRUE(controller_->NeedsStartupNotice());
    mouse_->Unplug(Identity::A);
    controller_->ScanDevices();
    EXPECT_FALSE(controller_->NeedsStartupNotice()); // B alone is enough
}

} // namespace
} // namespace tarvik::test
