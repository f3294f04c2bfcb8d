// The differential send pipeline, macro upload, pacing on the virtual clock,
// failed writes, the status query and the factory reset, against the virtual
// mouse.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "DeviceFixture.h"
#include "text/Log.h"

namespace tarvik::test {
namespace {

class PipelineTest : public DeviceTest {
protected:
    ApplyResult ApplyMain() {
        controller_->RequestSend(SendGroup::MainSettings);
        return Apply();
    }
    // Binds profile button k to a macro of the shelf.
    void BindMacro(int k, std::uint32_t index) {
        Current().Keys[k].Action = {kMacroFunction, 0, 0};
        Current().Keys[k].MacroKeyIndex = index;
        Current().Keys[k].AssignMacro(&shelf_.macros.at(index));
        Current().Keys[k].MacroKeyIndex = index;
    }
    std::vector<Event> Chunks() {
        std::vector<Event> out;
        for (auto& e : timeline_.Writes()) {
            if (e.Command() == kCmdMacroChunk) out.push_back(e);
        }
        return out;
    }
};

TEST_F(PipelineTest, OnlyDifferencesAreSentAndAToggleBackSendsNothing) {
    ConnectPrimed();
    Current().PollingRate[0] = 0;
    ApplyResult r = ApplyMain();
    EXPECT_EQ(timeline_.Compact(), "W07 P60");
    EXPECT_EQ(timeline_.Writes()[0].bytes[7], 8);
    EXPECT_TRUE(r.sent);
    EXPECT_TRUE(r.progressShown);

    // Changed and changed back before the send: nothing goes out.
    Reset();
    Current().Settings[kSetKeyDebounce].Value = u"4";
    Current().Settings[kSetKeyDebounce].Value = u"12";
    r = ApplyMain();
    EXPECT_EQ(timeline_.Compact(), "");
    EXPECT_FALSE(r.sent);
    EXPECT_FALSE(r.progressShown);

    // A scan requests the groups and suppresses the progress dialog; only what differs is sent.
    Reset();
    int progress = 0;
    controller_->SetEvents({.progress = [&](const DeviceProgress&) { ++progress; }});
    Current().DPILevelIndication[2] = 0x123456;
    controller_->ScanDevices();
    EXPECT_EQ(scheduler_.DueIn(Task::SendChanges), Millis(20));
    r = Apply();
    EXPECT_EQ(timeline_.Compact(), "P60 P60 P60 P60 P60 P60 W06 P60"); // six button positions, then colours
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(progress, 0);
    EXPECT_FALSE(controller_->ProgressSuppressed());
}

TEST_F(PipelineTest, RequestsDuringASendMakeOneRunAfterIt) {
    ConnectPrimed();
    int runs = 0;
    controller_->SetEvents({.sendFinished = [&](const ApplyResult&) { ++runs; }});
    Current().PollingRate[0] = 0;
    controller_->RequestSend(SendGroup::MainSettings);
    controller_->ApplyToDevice();
    EXPECT_TRUE(controller_->Busy());
    // A burst of changes while the first send is out: a direct send, the send
    // task falling due and a send that waits for its result share one run.
    Current().Settings[kSetKeyDebounce].Value = u"4";
    controller_->RequestSend(SendGroup::MainSettings);
    controller_->ApplyToDevice();
    Current().Settings[kSetPowerDownTime].Value = u"3";
    controller_->RequestSend(SendGroup::PowerOptions);
    scheduler_.Advance(Millis(20));
    Current().Settings[kSetMotionWakeup].Value = u"0";
    controller_->RequestSend(SendGroup::MotionWakeup);
    std::optional<ApplyResult> last;
    controller_->ApplyToDevice([&](const ApplyResult& r) { last = r; });
    ASSERT_TRUE(RunUntil([&] { return last.has_value(); }));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(last->reportsWritten, 3);
    EXPECT_EQ(timeline_.Compact(), "W07 P60 W0A P60 W0B P60 W0C P60");
    EXPECT_FALSE(controller_->Busy());
}

TEST_F(PipelineTest, ProgressFollowsTheSteps) {
    ConnectPrimed();
    std::vector<DeviceProgress> seen;
    controller_->SetEvents({.progress = [&](const DeviceProgress& p) { seen.push_back(p); }});
    Current().PollingRate[0] = 0;
    Current().DPILevelIndication[0] = 0x010203;
    ApplyMain();
    using Op = DeviceProgress::Operation;
    const std::vector<DeviceProgress> send = {
        {Op::Send, 0, 2, false}, {Op::Send, 1, 2, false}, {Op::Send, 2, 2, false}, {Op::Send, 2, 2, true}};
    EXPECT_EQ(seen, send);
    std::vector<int> percents;
    for (const auto& p : seen) percents.push_back(p.Percent());
    EXPECT_EQ(percents, (std::vector<int>{0, 50, 99, 100}));

    seen.clear();
    ResetDevice();
    EXPECT_EQ(seen, (std::vector<DeviceProgress>{{Op::Reset, 0, 1, false}, {Op::Reset, 1, 1, true}}));
}

// A pacer that holds the worker in its n-th pause until it is interrupted.
class HoldingPacer final : public Pacer {
public:
    explicit HoldingPacer(int holdAt) : holdAt_(holdAt) {}
    void Pause(Millis) override {
        std::unique_lock lock(mutex_);
        if (++pauses_ != holdAt_) return;
        held_ = true;
        cv_.notify_all();
        cv_.wait(lock, [&] { return interrupted_; });
    }
    void Interrupt() override {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        cv_.notify_all();
    }
    bool WaitUntilHeld() {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return held_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    const int holdAt_;
    int pauses_ = 0;
    bool held_ = false;
    bool interrupted_ = false;
};

TEST_F(PipelineTest, StoppingInTheMiddleOfASendKeepsWhatWasNotWritten) {
    HoldingPacer pacer(8); // six button positions, colours, then held after polling
    controller_ = std::make_unique<DeviceController>(*model_, *link_, pacer, scheduler_, queue_.Poster());
    ConnectPrimed();
    const ReportCache primed = controller_->Cache();
    Current().DPILevelIndication[0] = 0x010203;
    Current().PollingRate[0] = 0;
    Current().Settings[kSetPowerDownTime].Value = u"3";
    Current().Settings[kSetMotionWakeup].Value = u"0";
    controller_->RequestSend(SendGroups::All());
    std::optional<ApplyResult> result;
    controller_->ApplyToDevice([&](const ApplyResult& r) { result = r; });
    ASSERT_TRUE(pacer.WaitUntilHeld());
    std::optional<StatusResult> status; // waits behind the send
    controller_->QueryStatus([&](const StatusResult& r) { status = r; });
    controller_->StopWorker(); // wakes the held pause and joins
    ASSERT_TRUE(RunUntil([&] { return result.has_value() && status.has_value(); }));
    EXPECT_FALSE(controller_->Busy());
    EXPECT_EQ(status->outcome, StatusOutcome::Interrupted);
    EXPECT_TRUE(result->interrupted);
    EXPECT_EQ(result->reportsWritten, 2);
    EXPECT_EQ(timeline_.WrittenCommands(), (std::vector<std::uint8_t>{kCmdDpiColours, kCmdPollingRate}));
    // What was written is held; what was not keeps its old image and stays requested.
    const ReportCache& cache = controller_->Cache();
    EXPECT_EQ(cache.Image(SettingsEntry::Polling)[0], 8);
    EXPECT_EQ(cache.Image(SettingsEntry::Colours)[0], 0x03);
    EXPECT_EQ(cache.Image(SettingsEntry::Power), primed.Image(SettingsEntry::Power));
    EXPECT_EQ(cache.Image(SettingsEntry::MotionWakeup), primed.Image(SettingsEntry::MotionWakeup));
    EXPECT_TRUE(controller_->SendRequested(SendGroup::PowerOptions));
    EXPECT_TRUE(controller_->SendRequested(SendGroup::MotionWakeup));
    EXPECT_FALSE(controller_->SendRequested(SendGroup::Buttons));
    // A stopped worker takes no more work.
    std::optional<ApplyResult> after;
    controller_->ApplyToDevice([&](const ApplyResult& r) { after = r; });
    ASSERT_TRUE(after);
    EXPECT_FALSE(after->ran);
    controller_.reset(); // before the pacer goes
}

TEST_F(PipelineTest, MainSettingsOrderAndPacing) {
    ConnectPrimed();
    ProfileRecord& rec = Current();
    rec.PollingRate[0] = 1;
    rec.Settings[kSetLiftDetectionHeight].Value = u"1";
    rec.Settings[kSetKeyDebounce].Value = u"8";
    rec.DPIOffOnFlag = 0x0F;
    rec.DPILevelIndication[0] = 0x010203;
    rec.Lighting1Mode[0] = 4;
    rec.Settings[kSetPowerDownTime].Value = u"3";
    rec.Settings[kSetMotionWakeup].Value = u"0";
    controller_->RequestSend(SendGroups::All());
    Apply();
    EXPECT_EQ(timeline_.Compact(), "P60 P60 P60 P60 P60 P60 "
                                   "W05 P60 W06 P60 W07 P60 W09 P60 W0A P60 W08 P60 W0B P60 W0C P60");
    // Sequence numbers follow the writes.
    const auto writes = timeline_.Writes();
    for (std::size_t i = 1; i < writes.size(); ++i) EXPECT_EQ(writes[i].bytes[4], writes[i - 1].bytes[4] + 1);
    EXPECT_EQ(clock_.Now(), Millis(14 * 60));
}

TEST_F(PipelineTest, ButtonsByDevicePosition) {
    ConnectPrimed();
    // Swapping profile buttons 3 and 4 changes device positions 4 and 3.
    std::swap(Current().Keys[3].Action, Current().Keys[4].Action);
    controller_->RequestSend(SendGroup::Buttons);
    Apply();
    EXPECT_EQ(timeline_.Compact(), "P60 P60 P60 W04 P60 W04 P60 P60");
    const auto writes = timeline_.Writes();
    EXPECT_EQ(writes[0].bytes[7], 3);
    EXPECT_EQ(writes[0].bytes[8], Current().Keys[4].Action.Function);
    EXPECT_EQ(writes[0].bytes[9], Current().Keys[4].Action.Data1);
    EXPECT_EQ(writes[1].bytes[7], 4);
    EXPECT_EQ(writes[1].bytes[9], Current().Keys[3].Action.Data1);
}

TEST_F(PipelineTest, WithoutADeviceNothingIsTouchedAndTheSendStillFinishes) {
    mouse_->Unplug(Identity::A);
    mouse_->Unplug(Identity::B);
    link_->ScanDevices();
    controller_->PrimeCaches();
    Current().PollingRate[0] = 0;
    const ApplyResult r = ApplyMain();
    EXPECT_TRUE(r.ran); // its end is told all the same (the session's delayed save restarts on it)
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(controller_->Cache().Image(SettingsEntry::Polling)[0], 1); // still what the mouse last got

    mouse_->Plug(Identity::A);
    link_->ScanDevices();
    Reset();
    ApplyMain();
    EXPECT_EQ(timeline_.Compact(), "W07 P60");
}

TEST_F(PipelineTest, AFailedWriteIsSentAgainNextTime) {
    ConnectPrimed();
    Current().PollingRate[0] = 2;
    Current().DPILevelIndication[1] = 0x0A0B0C;
    mouse_->SetBusy(true);
    ApplyResult r = ApplyMain();
    EXPECT_EQ(timeline_.Compact(), "F06 P60 F07 P60");
    EXPECT_EQ(r.writesFailed, 2);
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(controller_->Cache().Image(SettingsEntry::Polling)[0], 1);

    mouse_->SetBusy(false);
    Reset();
    r = ApplyMain();
    EXPECT_EQ(timeline_.Compact(), "W06 P60 W07 P60");
    EXPECT_EQ(r.reportsWritten, 2);
    EXPECT_EQ(mouse_->Snapshot().polling, 2);

    // A button whose write failed keeps its old image, so the position is sent again.
    Current().Keys[5].Action = {0x10, 0x08, 0};
    controller_->RequestSend(SendGroup::Buttons);
    mouse_->SetBusy(true);
    Apply();
    mouse_->SetBusy(false);
    Reset();
    controller_->RequestSend(SendGroup::Buttons);
    Apply();
    EXPECT_EQ(timeline_.Compact(), "P60 P60 P60 P60 P60 W04 P60");
}

TEST_F(PipelineTest, MacrosNumberedSharedAndResentWhenTheyMove) {
    shelf_.Put(7, ClickMacro(u"seven", 2));      // 4 steps, one chunk
    shelf_.Put(9, ClickMacro(u"nine", 4, 0x42)); // 8 steps, one chunk
    BindMacro(1, 7);
    BindMacro(4, 7);
    BindMacro(5, 9);
    ConnectPrimed();
    EXPECT_EQ(Current().Keys[1].Action, (KeyAction{0x90, 0x21, 0x01}));
    EXPECT_EQ(Current().Keys[4].Action.Data1 & 0x0F, 1); // shares the number
    EXPECT_EQ(Current().Keys[5].Action.Data1 & 0x0F, 2);

    // The page was primed before the numbering: the three macro buttons go once,
    // the macros themselves are held already.
    controller_->RequestSend(SendGroup::Buttons);
    Apply();
    EXPECT_EQ(timeline_.Compact(), "P60 W04 P60 P60 W04 P60 P60 W04 P60 P60 P60 P60");
    Reset();
    controller_->RequestSend(SendGroup::Buttons);
    Apply();
    EXPECT_TRUE(timeline_.Writes().empty());

    // Buttons 1 and 5 trade macros: "nine" moves to number 1, "seven" to number 2,
    // and both are sent again under their new numbers, once each.
    BindMacro(1, 9);
    BindMacro(5, 7);
    controller_->RequestSend(SendGroup::Buttons);
    Reset();
    Apply();
    const auto chunks = Chunks();
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].bytes[7], 1);
    EXPECT_EQ(chunks[0].bytes[10], 0x05); // HID usage of B: "nine"
    EXPECT_EQ(chunks[1].bytes[7], 2);
    EXPECT_EQ(chunks[1].bytes[10], 0x04); // HID usage of A: "seven"

    // Only the loop count changes: the button is resent, the macro image is not.
    shelf_.macros[9].MacroKeyLoopNum = 3;
    controller_->RequestSend(SendGroup::Buttons);
    Reset();
    Apply();
    EXPECT_EQ(timeline_.WrittenCommands(), std::vector<std::uint8_t>{kCmdSetButton});
    EXPECT_EQ(timeline_.Writes()[0].bytes[10], 3);
}

TEST_F(PipelineTest, MacroChunksArePacedAndTheStepCountComesFromTheLibrary) {
    // 9 steps: the profile file kept the steps but not the count, so the copy says 0.
    MacroKey lib = ClickMacro(u"combo", 4);
    lib.InsertAction(lib.MacroActionNum, MacroAction::Press(0xA2));
    lib.MacroCommandActionNum = 9;
    lib.MacroKeyLoopType = 1;
    shelf_.Put(3, lib);
    BindMacro(2, 3);
    Current().Keys[2].Macro.MacroCommandActionNum = 0;
    Current().Keys[2].Macro.MacroKeyLoopType = 2;
    controller_->Cache().Forget();
    link_->ScanDevices();
    Apply();
    EXPECT_EQ(timeline_.Compact(), "W0E P60 W0E P60 P60");
    EXPECT_EQ(Current().Keys[2].Macro.MacroCommandActionNum, 9);
    EXPECT_EQ(Current().Keys[2].Action.Data1, 0x11);
    const auto chunks = Chunks();
    EXPECT_EQ(chunks[0].bytes[5], 0x02);
    EXPECT_EQ(chunks[0].bytes[6], 26);
    EXPECT_EQ(chunks[1].bytes[5], 0x12);
    EXPECT_EQ(chunks[1].bytes[6], 3);
    EXPECT_EQ(mouse_->Snapshot().macros.at(1).size(), 27u);

    // A chunk that fails leaves the macro's cache alone: the whole macro goes again.
    Current().Keys[2].Macro.AllAction[0] = MacroAction::Press(0x43);
    mouse_->SetBusy(true);
    Reset();
    Apply();
    EXPECT_EQ(timeline_.Compact(), "F0E P60 P60");
    mouse_->SetBusy(false);
    Reset();
    Apply();
    EXPECT_EQ(timeline_.Compact(), "W0E P60 W0E P60 P60");
}

// A button never points at a macro number the mouse holds no macro for: a
// macro of more than 15 chunks switches its button off, once, with the reason
// in the result and the log; the other macro button is numbered without it.
TEST_F(PipelineTest, MacroThatNeedsMoreThan15ChunksSwitchesItsButtonOff) {
    ProblemLog problems;
    MacroKey big = ClickMacro(u"long", 63); // 126 steps: 378 bytes, 16 chunks
    shelf_.Put(4, big);
    MacroKey fits = ClickMacro(u"edge", 62); // 124 steps, and one more: 375 bytes, 15 chunks
    fits.InsertAction(fits.MacroActionNum, MacroAction::Press(0x20));
    fits.MacroCommandActionNum = 125;
    shelf_.Put(5, fits);
    BindMacro(0, 4);
    BindMacro(1, 5);
    ConnectPrimed();
    controller_->Cache().Forget();
    for (int run = 0; run < 2; ++run) {
        Reset();
        controller_->RequestSend(SendGroup::Buttons);
        const ApplyResult r = Apply();
        if (run == 0) {
            ASSERT_EQ(r.refusedMacros.size(), 1u);
            EXPECT_EQ(r.refusedMacros[0].button, 0);
            EXPECT_EQ(r.refusedMacros[0].chunks, 16);
            EXPECT_EQ(r.refusedMacros[0].steps, 126);
            EXPECT_EQ(r.refusedMacros[0].name, u"long");
        } else {
            EXPECT_TRUE(r.refusedMacros.empty());
        }
        for (const auto& c : Chunks()) EXPECT_EQ(c.bytes[7], 1) << "only the 15-chunk macro is sent";
    }
    EXPECT_EQ(problems.Count("\"long\""), 1);
    EXPECT_EQ(Current().Keys[0].Action, KeyAction{});
    const auto state = mouse_->Snapshot();
    ASSERT_TRUE(state.buttons[0].has_value());
    EXPECT_EQ(*state.buttons[0], (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(*state.buttons[1], (std::array<std::uint8_t, 3>{0x90, 0x21, 0x01}));
    ASSERT_EQ(state.macros.count(1), 1u);
    EXPECT_EQ(state.macros.at(1).size(), 375u);
    EXPECT_EQ(state.macros.count(2), 0u);
}

TEST_F(PipelineTest, MacroGoneFromTheLibraryDisablesTheButton) {
    shelf_.Put(8, ClickMacro(u"kept", 1));
    BindMacro(0, 8);
    BindMacro(3, 8);
    Current().Keys[3].MacroKeyIndex = 99; // no such macro any more
    Current().Keys[4].Action = {kMacroFunction, 0, 0};
    Current().Keys[4].MacroKeyIndex = 0; // never numbered
    link_->ScanDevices();
    const ApplyResult r = Apply();
    EXPECT_EQ(r.disabledButtons, (std::vector<int>{3, 4}));
    EXPECT_EQ(Current().Keys[3].Name, u"Disabled");
    EXPECT_EQ(Current().Keys[3].Action, KeyAction{});
    EXPECT_EQ(Current().Keys[0].Action.Data1 & 0x0F, 1);
}

TEST_F(PipelineTest, ResyncCopiesTheLibraryMacroOnce) {
    shelf_.Put(2, ClickMacro(u"lib", 3));
    BindMacro(0, 2);
    shelf_.macros[2].AllAction[0] = MacroAction::Press(0x44); // edited in the manager
    controller_->RequestResync();
    controller_->AssignMacroNumbers();
    EXPECT_FALSE(controller_->ResyncRequested());
    EXPECT_EQ(Current().Keys[0].Macro.AllAction[0], MacroAction::Press(0x44));
    shelf_.macros[2].AllAction[0] = MacroAction::Press(0x45);
    controller_->AssignMacroNumbers();
    EXPECT_EQ(Current().Keys[0].Macro.AllAction[0], MacroAction::Press(0x44)); // the copy's own steps
}

TEST_F(PipelineTest, StatusQueryRetriesOnceOnAnEmptyReply) {
    link_->ScanDevices();
    mouse_->SetEmptyReplies(1);
    StatusResult s = Status();
    EXPECT_EQ(s.outcome, StatusOutcome::Answered);
    EXPECT_EQ(s.attempts, 2);
    EXPECT_EQ(timeline_.Compact(), "W20 P10 R W20 P10 R");
    const auto writes = timeline_.Writes();
    EXPECT_EQ(writes[1].bytes[4], writes[0].bytes[4] + 1); // a new sequence number

    Reset();
    mouse_->SetEmptyReplies(2);
    s = Status();
    EXPECT_EQ(s.outcome, StatusOutcome::NoAnswer);
    EXPECT_EQ(s.attempts, 2);
    EXPECT_EQ(controller_->BatteryLevel(), 100); // from the first query; unchanged
}

TEST_F(PipelineTest, StatusReplyWithAnotherSensorChangesTheSensor) {
    int sensorChanges = 0;
    model_->AddListener([&](int slot, ModelChange what) {
        if (Any(what & ModelChange::Sensor)) {
            EXPECT_EQ(slot, kAllSlots);
            EXPECT_TRUE(Any(what & ModelChange::Dpi)); // every profile's DPI block was reset
            ++sensorChanges;
        }
    });
    link_->ScanDevices();
    ASSERT_EQ(model_->SensorId, 0x3325);
    StatusResult s = Status();
    EXPECT_FALSE(s.sensorChanged);

    mouse_->SetSensorCode(0x60);
    mouse_->SetBattery(77);
    s = Status();
    EXPECT_TRUE(s.sensorChanged);
    EXPECT_EQ(sensorChanges, 1);
    EXPECT_EQ(model_->SensorId, 0x3360);
    EXPECT_TRUE(model_->SensorPageEnabled);
    EXPECT_EQ(model_->DpiStepCount, 121u);
    for (const auto& p : model_->Profiles) EXPECT_EQ(p.XYSetting[0], 3); // the new sensor's defaults
    EXPECT_EQ(controller_->BatteryLevel(), 77);
    // Saved: the next start sees the new sensor.
    SettingsModel reloaded(dir_);
    reloaded.LoadSettingsModel();
    EXPECT_EQ(reloaded.SensorId, 0x3360);

    // A code outside the sensor table leaves the sensor as it is.
    mouse_->SetSensorCode(0x41);
    s = Status();
    EXPECT_TRUE(s.unknownSensor);
    EXPECT_EQ(model_->SensorId, 0x3360);
}

TEST_F(PipelineTest, FactoryResetSendsOnceKeepsTheNameAndPrimes) {
    Current().Settings[kSetProfileName].Value = u"Mine";
    Current().PollingRate[0] = 0;
    Current().Settings[kSetPowerDownTime].Value = u"2";
    ConnectPrimed();
    link_->StatusPollSoon(); // mid-interval: the reset starts it again
    const ResetResult r = ResetDevice();
    EXPECT_TRUE(r.commandWritten);
    EXPECT_TRUE(r.fileWritten);
    EXPECT_EQ(timeline_.Compact().substr(0, 3), "W0F");
    EXPECT_EQ(mouse_->Snapshot().factoryResets, 1u);
    EXPECT_EQ(Current().Settings[kSetProfileName].Value, u"Mine");
    EXPECT_EQ(Current().PollingRate[0], 3);
    EXPECT_EQ(link_->StatusPollCount(), 0);
    SettingsModel reloaded(dir_);
    reloaded.LoadSettingsModel();
    EXPECT_EQ(reloaded.Profiles[model_->GetCurrentProfile()].Settings[kSetPowerDownTime].Value, u"6");
    EXPECT_EQ(reloaded.Profiles[model_->GetCurrentProfile()].Settings[kSetProfileName].Value, u"Mine");

    // The mouse holds the defaults now: nothing to send.
    Reset();
    controller_->RequestSend(SendGroups::All());
    Apply();
    EXPECT_TRUE(timeline_.Writes().empty());
}

TEST_F(PipelineTest, FactoryResetThatDidNotArriveLeavesTheCachesForTheNextSend) {
    Current().PollingRate[0] = 0;
    ConnectPrimed();
    mouse_->SetBusy(true);
    const ResetResult r = ResetDevice();
    EXPECT_FALSE(r.commandWritten);
    mouse_->SetBusy(false);
    Reset();
    Apply();
    EXPECT_EQ(timeline_.WrittenCommands(), std::vector<std::uint8_t>{kCmdPollingRate});
}

TEST_F(PipelineTest, UnplugInTheMiddleOfASendNeitherCrashesNorHangs) {
    shelf_.Put(1, ClickMacro(u"m", 30)); // 60 steps, 8 chunks
    BindMacro(0, 1);
    Current().Settings[kSetMotionWakeup].Value = u"0";
    controller_->AttachHotplug(queue_.Poster());
    link_->ScanDevices();
    controller_->Cache().Forget();
    controller_->RequestSend(SendGroups::All());
    int pauses = 0;
    clock_.SetOnPause([&](Millis) {
        if (++pauses == 9) mouse_->Unplug(Identity::A); // after six buttons, 0x05, 0x06 and 0x07
    });
    const ApplyResult r = Apply();
    clock_.SetOnPause({});
    EXPECT_EQ(r.reportsWritten, 9);
    EXPECT_EQ(r.writesFailed, 6); // 0x09, 0x0A, 0x08, 0x0B, 0x0C and the first macro chunk
    EXPECT_EQ(mouse_->Snapshot().malformedFrames, 0u);

    // The removal reaches the UI thread: B takes over, A's reader has ended.
    ASSERT_TRUE(RunUntil([&] { return !link_->Present(Identity::A) && !link_->ReaderRunning(Identity::A); }));
    EXPECT_EQ(link_->SendTargetIdentity(), Identity::B);

    // Everything that failed is sent to B by the next run, and nothing else.
    Reset();
    const ApplyResult again = Apply();
    EXPECT_EQ(again.writesFailed, 0);
    EXPECT_EQ(again.reportsWritten, 5 + 8);
    for (const auto& w : timeline_.Writes()) EXPECT_EQ(w.path, "sim:B:feature");
    const VirtualMouse::State s = mouse_->Snapshot();
    EXPECT_EQ(s.motionWakeup, 0);
    EXPECT_EQ(s.macros.at(1).size(), 180u);
    EXPECT_EQ(*s.power, PowerOptionBytes(Current()));
}

TEST_F(PipelineTest, AfterApplyTheMouseHoldsTheProfile) {
    ProfileRecord& rec = Current();
    shelf_.Put(11, ClickMacro(u"one", 6));
    shelf_.Put(12, ClickMacro(u"two", 20, 0xE0));
    shelf_.macros[12].MacroKeyLoopType = 2;
    shelf_.macros[12].MacroKeyLoopNum = 4;
    BindMacro(3, 11);
    BindMacro(5, 12);
    rec.Keys[1].Action = {0x70, 0x01, 0x06};
    rec.DPIOffOnFlag = 0x07;
    rec.CurrentDPILevel = 2;
    rec.XYSetting[0] = 20;
    rec.Lighting1Mode[0] = 6;
    rec.Lighting1ColorSelected[6][3] = 0;
    rec.Settings[kSetPowerDownTime].Value = u"9";
    rec.Settings[kSetMoveLightingOnOffMode].Value = u"1";
    rec.Settings[kSetMotionWakeup].Value = u"0";
    link_->ScanDevices();
    controller_->Cache().Forget();
    controller_->RequestSend(SendGroups::All());
    const ApplyResult r = Apply();
    EXPECT_EQ(r.writesFailed, 0);

    const VirtualMouse::State s = mouse_->Snapshot();
    EXPECT_EQ(s.malformedFrames, 0u);
    const ButtonPage page = BuildButtonPage(rec);
    for (int p = 0; p < kKeyCount; ++p) {
        ASSERT_TRUE(s.buttons[p]) << p;
        EXPECT_TRUE(std::equal(s.buttons[p]->begin(), s.buttons[p]->end(), page.begin() + 2 + 3 * p)) << p;
    }
    EXPECT_EQ((*s.buttons[5])[0], 0x90);
    EXPECT_EQ((*s.buttons[5])[1], 0x22);
    EXPECT_EQ((*s.buttons[5])[2], 4);
    EXPECT_EQ(*s.dpiPage, BuildDpiPage(rec, *model_));
    EXPECT_EQ((*s.dpiPage)[0], 0x33);
    EXPECT_EQ((*s.dpiPage)[2], model_->DpiDeviceCode[20]);
    EXPECT_EQ(*s.colors, BuildColours(rec));
    const LightingPage light = BuildLightingPage(rec);
    EXPECT_EQ(*s.lighting, std::vector<std::uint8_t>(light.begin(), light.begin() + 24));
    EXPECT_EQ(s.polling, 1);
    EXPECT_EQ(s.liftOff, 2);
    EXPECT_EQ(s.debounce, 12);
    EXPECT_EQ(*s.power, (std::array<std::uint8_t, 2>{9, 1}));
    EXPECT_EQ(s.motionWakeup, 0);
    ASSERT_EQ(s.macros.size(), 2u);
    for (int k : {3, 5}) {
        const std::uint8_t n = rec.Keys[k].Action.Data1 & 0x0F;
        const MacroImage image = BuildMacroImage(rec.Keys[k].Macro, n);
        const std::size_t bytes = rec.Keys[k].Macro.MacroCommandActionNum * 3u;
        EXPECT_EQ(s.macros.at(n), std::vector<std::uint8_t>(image.begin() + 4, image.begin() + 4 + bytes))
            << k;
    }
    EXPECT_EQ(s.macros.at(2).size(), 120u);
    EXPECT_EQ(s.macros.at(2)[0], 0x10); // left button press, delay 20
    EXPECT_EQ(s.macros.at(2)[1], 20);
    EXPECT_EQ(s.lastSequence, timeline_.Writes().back().bytes[4]);
}

TEST(SleepPacerTest, InterruptEndsAPauseAndEveryLaterOne) {
    SleepPacer pacer;
    std::thread worker([&] {
        pacer.Pause(std::chrono::hours(1));
        pacer.Pause(std::chrono::hours(1));
    });
    pacer.Interrupt();
    worker.join(); // two hours without the interrupt
}

TEST(VirtualSchedulerTest, ArmingRestartsAndRepeatingTasksKeepTheirPeriod) {
    VirtualScheduler s;
    std::vector<std::pair<long, Task>> ran;
    const auto record = [&](Task t) { return [&, t] { ran.emplace_back(s.Now().count(), t); }; };
    s.Arm(Task::PollStatus, record(Task::PollStatus));
    s.Arm(Task::SendChanges, record(Task::SendChanges));
    s.Advance(Millis(15));
    s.Arm(Task::SendChanges, record(Task::SendChanges)); // a second change restarts the 20 ms
    s.Arm(kFirstOwnTask, Millis(1500), false, [&] { ran.emplace_back(s.Now().count(), Task(-1)); });
    s.Advance(Millis(2000));
    const std::vector<std::pair<long, Task>> expected = {
        {35, Task::SendChanges}, {1000, Task::PollStatus}, {1515, Task(-1)}, {2000, Task::PollStatus}};
    EXPECT_EQ(ran, expected);
    EXPECT_FALSE(s.Armed(Task::SendChanges)); // one-shot
    EXPECT_EQ(s.DueIn(Task::PollStatus), Millis(985));
    s.Disarm(Task::PollStatus);
    s.Advance(Millis(5000));
    EXPECT_EQ(ran.size(), expected.size());
}

} // namespace
} // namespace tarvik::test
