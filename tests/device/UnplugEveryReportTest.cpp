// The mouse pulled out at every report position of a full send (six buttons,
// every settings command, six macros of 100 steps: 86 reports), then plugged
// in again: the send ends, nothing crashes or waits forever, and the next send
// leaves the mouse holding exactly what an uninterrupted send gives it.
#include <atomic>

#include "DeviceFixture.h"

namespace tarvik::test {
namespace {

constexpr int kFullSendReports = 86;

// Passes everything through to the inner backend; just before feature write
// number `cutAt` (1-based, counted over every handle) it unplugs the chosen
// identities of the virtual mouse, so that write is the first to meet the
// removal.
class UnplugAtWrite final : public hid::Backend {
public:
    UnplugAtWrite(hid::Backend& inner, std::shared_ptr<VirtualMouse> mouse)
        : inner_(inner), mouse_(std::move(mouse)) {}

    void Arm(int cutAt, std::vector<Identity> identities) {
        identities_ = std::move(identities);
        writes_ = 0;
        cutAt_ = cutAt;
    }
    std::vector<hid::InterfaceInfo> Enumerate() override { return inner_.Enumerate(); }
    std::unique_ptr<hid::Device> Open(const std::string& path) override {
        auto device = inner_.Open(path);
        if (!device) return nullptr;
        return std::make_unique<Counted>(std::move(device), *this);
    }
    void SetHotplugHandler(hid::HotplugHandler handler) override {
        inner_.SetHotplugHandler(std::move(handler));
    }

private:
    void BeforeWrite() {
        if (++writes_ != cutAt_.load()) return;
        for (Identity id : identities_) mouse_->Unplug(id);
    }
    class Counted final : public hid::Device {
    public:
        Counted(std::unique_ptr<hid::Device> inner, UnplugAtWrite& owner)
            : inner_(std::move(inner)), owner_(owner) {}
        hid::InterfaceInfo Info() const override { return inner_->Info(); }
        bool SetFeature(std::span<const std::uint8_t> data) override {
            owner_.BeforeWrite();
            return inner_->SetFeature(data);
        }
        bool GetFeature(std::span<std::uint8_t> data) override { return inner_->GetFeature(data); }
        hid::ReadResult ReadInput(std::span<std::uint8_t> data, int timeoutMs) override {
            return inner_->ReadInput(data, timeoutMs);
        }
        void Wake() override { inner_->Wake(); }

    private:
        std::unique_ptr<hid::Device> inner_;
        UnplugAtWrite& owner_;
    };

    hid::Backend& inner_;
    std::shared_ptr<VirtualMouse> mouse_;
    std::vector<Identity> identities_;
    std::atomic<int> writes_{0};
    std::atomic<int> cutAt_{0};
};

// What the mouse holds, without the counters that differ from run to run.
struct Held {
    VirtualMouse::State s;
    bool operator==(const Held& o) const {
        return s.dpiPage == o.s.dpiPage && s.colors == o.s.colors && s.polling == o.s.polling &&
               s.lighting == o.s.lighting && s.liftOff == o.s.liftOff && s.debounce == o.s.debounce &&
               s.power == o.s.power && s.motionWakeup == o.s.motionWakeup && s.buttons == o.s.buttons &&
               s.macros == o.s.macros;
    }
};

class UnplugEveryReportTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        Rebuild();
        // A profile that differs from the defaults in every group, and a
        // 100-step macro (12 chunks) on each button.
        ProfileRecord& rec = Current();
        for (int k = 0; k < kKeyCount; ++k) {
            const auto index = static_cast<std::uint32_t>(k + 1);
            shelf_.Put(index, ClickMacro(u"m", 50, static_cast<std::uint8_t>(0x41 + k), 20 + k));
            rec.Keys[k].Action = {kMacroFunction, 0, 0};
            rec.Keys[k].MacroKeyIndex = index;
            rec.Keys[k].AssignMacro(&shelf_.macros.at(index));
            rec.Keys[k].MacroKeyIndex = index;
        }
        rec.DPIOffOnFlag = 0x0F;
        rec.CurrentDPILevel = 1;
        rec.DPILevelIndication[3] = 0x102030;
        rec.PollingRate[0] = 0;
        rec.Lighting1Mode[0] = 2;
        rec.Settings[kSetKeyDebounce].Value = u"4";
        rec.Settings[kSetPowerDownTime].Value = u"7";
        rec.Settings[kSetMotionWakeup].Value = u"0";
    }
    void TearDown() override {
        controller_.reset();
        link_.reset();
        cutter_.reset();
        DeviceTest::TearDown();
    }
    // A new mouse that holds nothing, and a device side that has not met it
    // (the link and the controller go through the cutter).
    void Rebuild() {
        controller_.reset();
        link_.reset();
        cutter_.reset();
        backend_.reset();
        sim_.reset();
        mouse_ = std::make_shared<VirtualMouse>();
        sim_ = std::make_unique<SimBackend>(mouse_);
        backend_ = std::make_unique<RecordingBackend>(*sim_, timeline_);
        cutter_ = std::make_unique<UnplugAtWrite>(*backend_, mouse_);
        link_ = std::make_unique<DeviceLink>(*cutter_, queue_.Poster());
        controller_ =
            std::make_unique<DeviceController>(*model_, *link_, clock_, scheduler_, queue_.Poster());
        controller_->SetMacroFinder(shelf_.Finder());
        controller_->AttachHotplug(queue_.Poster());
        link_->ScanDevices();
    }
    // Everything requested and every cache entry stale: the next send is a full one.
    ApplyResult FullSend() {
        controller_->Cache().Forget();
        controller_->RequestSend(SendGroups::All());
        return Apply();
    }

    std::unique_ptr<UnplugAtWrite> cutter_;
};

TEST_F(UnplugEveryReportTest, EveryPositionThenReplugEndsWithTheWholeProfileOnTheMouse) {
    ProblemLog problems; // every failed write is reported; kept off the test's output
    const ApplyResult clean = FullSend();
    ASSERT_EQ(clean.reportsWritten, kFullSendReports);
    ASSERT_EQ(clean.writesFailed, 0);
    const Held expected{mouse_->Snapshot()};
    ASSERT_EQ(expected.s.macros.size(), 6u);

    struct Case {
        const char* name;
        std::vector<Identity> unplugged;
    };
    const Case cases[] = {
        {"the send target (A; B stays)", {Identity::A}},
        {"both identities (no mouse left)", {Identity::A, Identity::B}},
    };
    for (const Case& c : cases) {
        for (int position = 1; position <= kFullSendReports; ++position) {
            SCOPED_TRACE(testing::Message() << c.name << ", unplugged before report " << position);
            // A new mouse for each position, so the check sees only these two sends.
            Rebuild();

            cutter_->Arm(position, c.unplugged);
            const ApplyResult cut = FullSend();
            EXPECT_EQ(cut.reportsWritten, position - 1);
            EXPECT_GE(cut.writesFailed, 1);
            EXPECT_FALSE(cut.interrupted);
            EXPECT_EQ(mouse_->Snapshot().malformedFrames, 0u);
            // The removal reaches the UI thread and the link lets go of the identities.
            ASSERT_TRUE(RunUntil([&] {
                for (Identity id : c.unplugged)
                    if (link_->Present(id) || link_->ReaderRunning(id)) return false;
                return true;
            }));

            cutter_->Arm(0, {});
            for (Identity id : c.unplugged) mouse_->Plug(id);
            ASSERT_TRUE(RunUntil([&] { return link_->Present(Identity::A) && link_->Present(Identity::B); }));
            EXPECT_EQ(link_->SendTargetIdentity(), Identity::A);
            Settle();

            // The send after the replug writes what the mouse missed.
            const ApplyResult again = Apply();
            EXPECT_EQ(again.writesFailed, 0);
            EXPECT_GT(again.reportsWritten, 0);
            const VirtualMouse::State s = mouse_->Snapshot();
            EXPECT_EQ(s.malformedFrames, 0u);
            EXPECT_TRUE(Held{s} == expected);
            if (HasFailure()) return; // one position's trace is enough to go on
        }
    }
}

} // namespace
} // namespace tarvik::test
