#include "device/DeviceController.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "model/PollingRates.h"
#include "model/ProfileRules.h"
#include "model/SettingsModel.h"
#include "text/Language.h"
#include "text/Log.h"
#include "text/U16.h"

namespace tarvik {

namespace {
std::string Hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFF);
    return buf;
}
} // namespace

// One send: its plan and what has come back so far (UI thread only, apart from
// the plan, which the worker reads).
struct DeviceController::SendRun {
    SendPlan plan;
    ApplyResult result;
    std::vector<ApplyDone> waiters;
    std::vector<bool> reported; // per step: its outcome arrived
    int stepsDone = 0;
    SendGroups retry; // groups with a failed or unsent write
    bool onWorker = false;
};

DeviceController::DeviceController(SettingsModel& model, DeviceLink& link, Pacer& pacer, Scheduler& scheduler,
                                   PostFn post, DeviceEvents events)
    : model_(model), link_(link), scheduler_(scheduler), post_(std::move(post)), events_(std::move(events)),
      alive_(std::make_shared<DeviceController*>(this)), worker_(pacer) {
    link_.SetInputHandler([this](Identity, const InputEvent& ev) { HandleInputReport(ev); });
}

DeviceController::~DeviceController() {
    worker_.Stop();
    for (const TaskTiming& t : kTaskTimings) scheduler_.Disarm(t.task);
    if (hotplugAttached_) link_.Backend().SetHotplugHandler({});
    link_.SetInputHandler({});
    alive_.reset();
}

ProfileRecord& DeviceController::Current() {
    return model_.Profiles[model_.GetCurrentProfile()];
}

int DeviceController::CurrentSlot() const {
    return model_.GetCurrentProfile();
}

void DeviceController::PostBack(std::function<void(DeviceController&)> call) {
    std::weak_ptr<DeviceController*> weak = alive_;
    post_([weak, call = std::move(call)] {
        if (auto self = weak.lock()) call(**self);
    });
}

void DeviceController::LogOnce(const std::string& key, const std::string& message) {
    if (logged_.insert(key).second) ReportProblem(message);
}

void DeviceController::RequestSend(SendGroups groups) {
    requested_ |= groups;
    std::weak_ptr<DeviceController*> weak = alive_;
    scheduler_.Arm(Task::SendChanges, [weak] {
        if (auto self = weak.lock()) (*self)->ApplyToDevice();
    });
}

void DeviceController::StopWorker() {
    worker_.Stop();
}

void DeviceController::JobDone() {
    --outstanding_;
    // Requests that came while the worker was busy: one run covers them all.
    if (rerun_ && !Busy()) ApplyToDevice();
}

// ---- connection

void DeviceController::ScanDevices() {
    link_.ScanDevices();
    if (link_.Connected()) {
        std::weak_ptr<DeviceController*> weak = alive_;
        scheduler_.Arm(Task::PollStatus, [weak] {
            if (auto self = weak.lock()) (*self)->PollTick();
        });
    }
    suppressProgress_ = true;
    RequestSend(SendGroup::Buttons | SendGroup::MainSettings | SendGroup::PowerOptions);
}

HotplugResult DeviceController::OnArrival() {
    HotplugResult r;
    if (!(link_.Present(Identity::A) && link_.Present(Identity::B))) {
        ScanDevices();
        r.scanned = true;
    }
    link_.StatusPollSoon();
    if (link_.TakeOwedStatusQuery()) {
        r.statusQueryDue = true;
        QueryStatus();
    }
    return r;
}

HotplugResult DeviceController::OnRemoval() {
    HotplugResult r;
    if (link_.Present(Identity::A) || link_.Present(Identity::B)) {
        ScanDevices();
        r.scanned = true;
    }
    link_.StatusPollSoon();
    if (!link_.Connected()) {
        link_.OweStatusQuery();
        r.noDeviceLeft = true;
        if (events_.noDeviceLeft) events_.noDeviceLeft();
    }
    return r;
}

void DeviceController::AttachHotplug(PostFn post) {
    std::weak_ptr<DeviceController*> weak = alive_;
    link_.Backend().SetHotplugHandler([post = std::move(post), weak](hid::HotplugEvent event) {
        post([weak, event] {
            auto self = weak.lock();
            if (!self) return;
            if (event == hid::HotplugEvent::Arrival) {
                (*self)->OnArrival();
            } else {
                (*self)->OnRemoval();
            }
        });
    });
    hotplugAttached_ = true;
}

void DeviceController::HandleInputReport(const InputEvent& event) {
    if (event.level == 0 || event.level > kDpiLevels) {
        std::string message = "device: the mouse reported DPI level ";
        message += std::to_string(event.level);
        message += ", which no profile has; the report is ignored";
        std::string key = "level ";
        key += std::to_string(event.level);
        LogOnce(key, message);
        return;
    }
    const int level = event.level - 1;
    ++levelReportsHandled_;
    currentDpiLevel_ = level;
    // The record takes the level and rate as the profile's own edit would, and
    // the model's listeners hear what of it changed.
    static_cast<void>(TakeLevelAndRateFromMouse(model_, CurrentSlot(), level, event.pollingInterval));
    const ProfileRecord& rec = Current();
    if (events_.showOsd) events_.showOsd(MakeOsdTexts(rec, currentDpiLevel_, model_));
    // The mouse holds its new level and rate: nothing is sent for them, while a
    // change of the user's that is still waiting goes out as planned.
    cache_.NoteLevelAndRateFromMouse(level, PollingCode(rec));
}

bool DeviceController::NeedsStartupNotice() const {
    return !link_.FeatureOpen(Identity::A) && !link_.FeatureOpen(Identity::B);
}

// ---- caches

void DeviceController::PrimeCaches() {
    // The button page is taken before the numbering, so a macro button whose
    // stored action lacks its number is sent again by the next ApplyToDevice.
    cache_.PrimeSettingsAndButtons(Current(), model_.DpiDeviceCode);
    AssignMacroNumbers();
    PrimeMacros(cache_, Current());
}

NumberingResult DeviceController::AssignMacroNumbers() {
    ProfileRecord& rec = Current();
    const auto before = rec.Keys;
    NumberingResult r =
        tarvik::AssignMacroNumbers(rec, finder_, resyncRequested_, LanguageString(kDisabledButtonText));
    resyncRequested_ = false;
    for (const MacroTooLong& m : r.tooLong) {
        std::string message = "device: macro \"";
        message += ToUtf8(m.name);
        message += "\" of button ";
        message += std::to_string(m.button);
        message += " has ";
        message += std::to_string(m.steps);
        message += " steps; the mouse holds at most ";
        message += std::to_string(MacroKey::kMaxMouseCommandActions);
        message += ", so the button is disabled";
        ReportProblem(message);
        tooLong_.push_back({m.button, 0, m.name, MacroChunkCount(m.steps), m.macroKeyIndex, m.steps});
    }
    if (rec.Keys != before) model_.NotifyChanged(CurrentSlot(), ModelChange::Buttons);
    return r;
}

// ---- sending

void DeviceController::ApplyToDevice(ApplyDone done) {
    if (!shown_ || worker_.Stopping()) {
        if (done) done(ApplyResult{});
        return;
    }
    if (done) applyWaiters_.push_back(std::move(done));
    if (Busy()) {
        rerun_ = true;
        return;
    }
    StartSend();
}

void DeviceController::StartSend() {
    rerun_ = false;
    auto run = std::make_shared<SendRun>();
    run->waiters.swap(applyWaiters_);
    run->result.ran = true;
    run->result.disabledButtons = AssignMacroNumbers().disabled;
    const SendGroups groups = requested_;
    requested_ = {};
    std::shared_ptr<hid::Device> target = link_.SendTargetHandle();
    run->plan = PlanSend(Current(), model_.DpiDeviceCode, cache_, groups, target != nullptr);
    run->result.refusedMacros = std::exchange(tooLong_, {});
    run->result.refusedMacros.insert(run->result.refusedMacros.end(), run->plan.refusedMacros.begin(),
                                     run->plan.refusedMacros.end());
    for (const RefusedMacro& m : run->plan.refusedMacros) {
        const std::string name = ToUtf8(m.name);
        std::string message = "device: macro \"";
        message += name;
        message += "\" of button ";
        message += std::to_string(m.button);
        message += " needs ";
        message += std::to_string(m.chunks);
        message += " chunks (";
        message += std::to_string(m.steps);
        message += " steps); at most ";
        message += std::to_string(kMaxMacroChunks);
        message += " can be numbered, so it is not sent";
        // Once per macro and length: the same refusal at every send would drown the log.
        std::string key = "macro ";
        key += std::to_string(m.macroKeyIndex);
        key += ':';
        key += name;
        key += ':';
        key += std::to_string(m.steps);
        LogOnce(key, message);
    }
    run->reported.assign(run->plan.steps.size(), false);
    // A scan's own send shows no progress; the flag is used up by the run it covers.
    const bool suppressed = suppressProgress_;
    suppressProgress_ = false;
    run->result.progressShown = run->plan.writes > 0 && !suppressed;
    if (run->result.progressShown) {
        link_.RestartStatusPoll();
        if (events_.progress)
            events_.progress(
                {DeviceProgress::Operation::Send, 0, static_cast<int>(run->plan.steps.size()), false});
    }
    if (run->plan.steps.empty()) {
        FinishSend(run, true);
        return;
    }
    run->onWorker = true;
    ++outstanding_;
    std::weak_ptr<DeviceController*> weak = alive_;
    const PostFn post = post_;
    worker_.Submit([this, run, target, weak, post] {
        const auto back = [&](std::function<void(DeviceController&)> call) {
            post([weak, call = std::move(call)] {
                if (auto self = weak.lock()) call(**self);
            });
        };
        const bool completed = worker_.RunPlan(run->plan, target.get(), [&](std::size_t i, StepOutcome o) {
            back([run, i, o](DeviceController& c) { c.OnSendStep(*run, i, o); });
        });
        back([run, completed](DeviceController& c) { c.FinishSend(run, completed); });
    });
}

void DeviceController::OnSendStep(SendRun& run, std::size_t index, StepOutcome outcome) {
    if (index >= run.reported.size() || run.reported[index]) return;
    run.reported[index] = true;
    ++run.stepsDone;
    const PlannedStep& step = run.plan.steps[index];
    if (outcome == StepOutcome::Written) {
        ++run.result.reportsWritten;
        // The image becomes the last-delivered one only now that it arrived.
        ApplyCommit(cache_, step.commit);
    } else if (outcome == StepOutcome::Failed) {
        ++run.result.writesFailed;
        if (step.retryGroup) run.retry |= *step.retryGroup;
        std::string message = "device: writing command ";
        message += Hex2(step.report ? step.report->Command() : 0);
        message += " failed; it is sent again later";
        ReportProblem(message);
    }
    if (run.result.progressShown && events_.progress) {
        events_.progress(
            {DeviceProgress::Operation::Send, run.stepsDone, static_cast<int>(run.plan.steps.size()), false});
    }
}

void DeviceController::FinishSend(const std::shared_ptr<SendRun>& run, bool completed) {
    if (!completed) {
        // Writes that never happened leave their entries as they were; their
        // groups stay requested for the next send.
        run->result.interrupted = true;
        for (std::size_t i = 0; i < run->plan.steps.size(); ++i) {
            const PlannedStep& step = run->plan.steps[i];
            if (!run->reported[i] && step.report && step.retryGroup) run->retry |= *step.retryGroup;
        }
    }
    requested_ |= run->retry;
    run->result.sent = run->result.reportsWritten > 0;
    if (run->result.progressShown && events_.progress) {
        const int total = static_cast<int>(run->plan.steps.size());
        events_.progress({DeviceProgress::Operation::Send, total, total, true});
    }
    if (events_.sendFinished) events_.sendFinished(run->result);
    for (const ApplyDone& done : run->waiters) done(run->result);
    // Released here, on the UI thread, whichever thread lets go of the run last.
    run->waiters.clear();
    if (run->onWorker) {
        JobDone();
    } else if (rerun_ && !Busy()) {
        ApplyToDevice();
    }
}

// ---- status

void DeviceController::QueryStatus(StatusDone done) {
    auto result = std::make_shared<StatusResult>();
    std::shared_ptr<hid::Device> target = link_.SendTargetHandle();
    if (!target || worker_.Stopping()) {
        if (done) done(*result);
        return;
    }
    result->identity = link_.SendTargetIdentity();
    ++outstanding_;
    auto shared = std::make_shared<StatusDone>(std::move(done));
    std::weak_ptr<DeviceController*> weak = alive_;
    const PostFn post = post_;
    worker_.Submit([this, target, result, shared, weak, post] {
        const StatusExchange exchange = worker_.RunStatusQuery(*target);
        post([weak, exchange, result, shared] {
            auto self = weak.lock();
            if (!self) return;
            DeviceController& c = **self;
            c.ApplyStatus(exchange, *result);
            if (*shared) (*shared)(*result);
            *shared = nullptr; // released on the UI thread
            c.JobDone();
        });
    });
}

void DeviceController::ApplyStatus(const StatusExchange& exchange, StatusResult& result) {
    result.outcome = exchange.outcome;
    result.attempts = exchange.attempts;
    result.reply = exchange.reply;
    if (exchange.outcome == StatusOutcome::Answered && exchange.reply)
        HandleStatusReply(*exchange.reply, &result);
}

bool DeviceController::HandleStatusReply(const StatusReply& reply, StatusResult* result) {
    bool changed = false;
    if (const SensorInfo* sensor = FindSensorByReportCode(reply.sensorCode)) {
        if (sensor->id != model_.SensorId) {
            // A failed save is reported by the model; the new sensor stands. The
            // model tells its listeners that every profile's DPI block changed.
            if (!model_.ChangeSensor(sensor->id) && result) result->sensorSaved = false;
            changed = true;
        }
    } else {
        // No identifier is known for such a code; the sensor model stays as it is.
        std::string message = "device: status reply names unknown sensor code ";
        message += Hex2(reply.sensorCode);
        message += "; the sensor is left unchanged";
        ReportProblem(message);
        if (result) result->unknownSensor = true;
    }
    batteryLevel_ = reply.battery;
    charge_ = reply.charge;
    if (result) result->sensorChanged = changed;
    return changed;
}

BatteryDisplay DeviceController::StepBatteryDisplay() {
    if (batteryLevel_ > 100) batteryLevel_ = 0;
    gaugeChargingLevel_ += 25;
    if (gaugeChargingLevel_ > 100) gaugeChargingLevel_ = 25;
    BatteryDisplay d;
    d.level = batteryLevel_;
    d.charge = charge_;
    d.chargingLevel = gaugeChargingLevel_;
    d.text = BatteryText(batteryLevel_);
    d.textVisible = charge_ != ChargeState::Charging;
    if (events_.showBattery) events_.showBattery(d);
    return d;
}

PollResult DeviceController::PollTick() {
    PollResult r;
    if (link_.StatusPollTick()) {
        for (Identity id : kIdentities) {
            if (link_.Present(id) && !link_.ReaderRunning(id)) {
                ScanDevices();
                link_.StatusPollSoon();
                r.rescanned = true;
            }
        }
        if (!shown_) return r;
        // The battery display of this tick follows the answer.
        r.statusQueried = true;
        QueryStatus([this](const StatusResult&) {
            if (shown_) StepBatteryDisplay();
        });
        return r;
    }
    if (shown_) r.battery = StepBatteryDisplay();
    return r;
}

// ---- factory reset

void DeviceController::FactoryReset(ResetDone done) {
    if (events_.progress) events_.progress({DeviceProgress::Operation::Reset, 0, 1, false});
    std::shared_ptr<hid::Device> target = link_.SendTargetHandle();
    if (!target || worker_.Stopping()) {
        FinishReset({target != nullptr, false, false}, done);
        return;
    }
    ++outstanding_;
    auto shared = std::make_shared<ResetDone>(std::move(done));
    std::weak_ptr<DeviceController*> weak = alive_;
    const PostFn post = post_;
    worker_.Submit([this, target, shared, weak, post] {
        FeatureReport report = FeatureReport::FactoryReset(0);
        const bool written = !worker_.Stopping() && worker_.Write(*target, report);
        post([weak, written, shared] {
            auto self = weak.lock();
            if (!self) return;
            DeviceController& c = **self;
            c.FinishReset({true, written, false}, *shared);
            *shared = nullptr; // released on the UI thread
            c.JobDone();
        });
    });
}

void DeviceController::FinishReset(ResetResult r, const ResetDone& done) {
    const int slot = CurrentSlot();
    const std::u16string name = model_.Profiles[slot].Settings[kSetProfileName].Value;
    model_.ResetProfileToDefaults(slot);
    model_.Profiles[slot].Settings[kSetProfileName].Value = name;
    r.fileWritten = model_.SaveProfile(slot).ok();
    if (!r.deviceFound || r.commandWritten) {
        // The mouse now holds the defaults: nothing is sent for them.
        PrimeCaches();
    } else {
        // The reset did not reach the mouse: the caches still describe what it
        // holds, and the next send brings it to the defaults.
        ReportProblem(
            "device: the factory reset did not reach the mouse; the defaults go with the next send");
        requested_ = SendGroups::All();
    }
    model_.NotifyChanged(slot, ModelChange::Profile);
    link_.RestartStatusPoll();
    if (events_.progress) events_.progress({DeviceProgress::Operation::Reset, 1, 1, true});
    if (done) done(r);
}

} // namespace tarvik
