#include "device/DeviceController.h"

#include <algorithm>
#include <cstdio>

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
template <std::size_t N>
bool Same(const std::array<std::uint8_t, N>& a, const std::array<std::uint8_t, N>& b, std::size_t count = N) {
    return std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(count), b.begin());
}
} // namespace

DeviceController::DeviceController(SettingsModel& model, DeviceLink& link, Pacer& pacer, DeviceHooks hooks)
    : model_(model), link_(link), pacer_(pacer), hooks_(std::move(hooks)),
      alive_(std::make_shared<DeviceController*>(this)) {
    link_.SetInputHandler([this](Identity, const InputEvent& ev) { HandleInputReport(ev); });
}

DeviceController::~DeviceController() {
    if (hotplugAttached_) link_.Backend().SetHotplugHandler({});
    link_.SetInputHandler({});
    alive_.reset();
}

ProfileRecord& DeviceController::Current() {
    return model_.Profiles[model_.GetCurrentProfile()];
}

bool DeviceController::Write(const FeatureReport& report) {
    hid::Device* target = link_.SendTarget();
    if (!target) return false;
    const bool ok = target->SetFeature(report.bytes);
    if (ok) {
        sentFlag = true;
        if (run_) ++run_->reportsWritten;
    } else {
        if (run_) ++run_->writesFailed;
        ReportProblem("device: writing command " + Hex2(report.Command()) +
                      " failed; it is sent again later");
    }
    return ok;
}

// ---- connection

void DeviceController::ScanDevices() {
    link_.ScanDevices();
    if (link_.Connected()) Call(hooks_.startStatusPoll);
    buttonsChanged = mainSettingsChanged = powerChanged = true;
    suppressProgress = true;
    Call(hooks_.scheduleApply);
}

HotplugResult DeviceController::OnArrival() {
    HotplugResult r;
    if (!(link_.Present(Identity::A) && link_.Present(Identity::B))) {
        ScanDevices();
        r.scanned = true;
    }
    link_.pollCounter = 19;
    if (link_.Connected() && link_.statusQueryPending) {
        link_.statusQueryPending = false;
        r.statusQueryDue = true;
        r.status = QueryStatus();
        Call(hooks_.refreshFromProfile);
    }
    Call(hooks_.refreshFromProfile);
    return r;
}

HotplugResult DeviceController::OnRemoval() {
    HotplugResult r;
    if (link_.Present(Identity::A) || link_.Present(Identity::B)) {
        ScanDevices();
        r.scanned = true;
    }
    link_.pollCounter = 19;
    if (!link_.Connected()) {
        link_.statusQueryPending = true;
        r.noDeviceLeft = true;
        Call(hooks_.noDeviceLeft);
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
    ProfileRecord& rec = Current();
    const auto level = static_cast<std::uint8_t>(event.level - 1);
    currentDpiLevel = static_cast<int>(event.level) - 1;
    rec.CurrentDPILevel = level;
    const std::uint8_t index = PollingIndexFromInterval(event.pollingInterval);
    rec.PollingRate = {index, 0, 0};
    rec.PollingRateName = PollingRateName(index);
    if (hooks_.showOsd) hooks_.showOsd(MakeOsdTexts(rec, currentDpiLevel, model_));
    Call(hooks_.refreshFromProfile);
    // The mouse already holds these values: nothing is sent for them.
    PrimeCaches();
}

bool DeviceController::NeedsStartupNotice() const {
    return !link_.FeatureOpen(Identity::A) && !link_.FeatureOpen(Identity::B);
}

// ---- sending

void DeviceController::PrimeCaches() {
    const ProfileRecord& rec = Current();
    // The button page is taken before the numbering, so a macro button whose
    // stored action lacks its number is sent again by the next ApplyToDevice.
    cache_.buttons = BuildButtonPage(rec);
    cache_.stale.buttons.fill(false);
    cache_.polling = PollingCode(rec);
    cache_.liftOff = LiftOffCode(rec);
    cache_.debounce = DebounceValue(rec);
    cache_.dpi = BuildDpiPage(rec, model_);
    cache_.colours = BuildColours(rec);
    cache_.lighting = BuildLightingPage(rec);
    cache_.power = PowerOptionBytes(rec);
    cache_.motionWakeup = MotionWakeupValue(rec);
    cache_.stale.polling = cache_.stale.liftOff = cache_.stale.debounce = cache_.stale.dpi =
        cache_.stale.colours = cache_.stale.lighting = cache_.stale.power = cache_.stale.motionWakeup = false;
    AssignMacroNumbers();
    SendMacros(false);
}

void DeviceController::SendMainSettings() {
    if (!link_.SendTarget()) return;
    const ProfileRecord& rec = Current();
    const std::uint8_t polling = PollingCode(rec);
    const std::uint8_t liftOff = LiftOffCode(rec);
    const std::uint8_t debounce = DebounceValue(rec);
    const DpiPage dpi = BuildDpiPage(rec, model_);
    const ColourBytes colours = BuildColours(rec);
    const LightingPage lighting = BuildLightingPage(rec);

    const bool sendDpi = cache_.stale.dpi || !Same(dpi, cache_.dpi, kDpiCompared);
    const bool sendColours = cache_.stale.colours || !Same(colours, cache_.colours);
    const bool sendPolling = cache_.stale.polling || polling != cache_.polling;
    const bool sendLiftOff = cache_.stale.liftOff || liftOff != cache_.liftOff;
    const bool sendDebounce = cache_.stale.debounce || debounce != cache_.debounce;
    const bool sendLighting =
        cache_.stale.lighting || !Same(lighting, cache_.lighting, LightingCompared(lighting));

    // Each image becomes the last-sent one only when its write succeeded, so a
    // failed write is retried by the next send.
    if (sendDpi) {
        if (Write(FeatureReport::Write(kCmdDpiLevels, sequence_.Take(), dpi))) {
            cache_.dpi = dpi;
            cache_.stale.dpi = false;
        } else {
            retry_.main = true;
        }
        pacer_.Pause(kCommandPause);
    }
    if (sendColours) {
        if (Write(FeatureReport::Write(kCmdDpiColours, sequence_.Take(), colours))) {
            cache_.colours = colours;
            cache_.stale.colours = false;
        } else {
            retry_.main = true;
        }
        pacer_.Pause(kCommandPause);
    }
    if (sendPolling) {
        const std::uint8_t payload[] = {polling};
        if (Write(FeatureReport::Write(kCmdPollingRate, sequence_.Take(), payload))) {
            cache_.polling = polling;
            cache_.stale.polling = false;
        } else {
            retry_.main = true;
        }
        pacer_.Pause(kCommandPause);
    }
    if (sendLiftOff) {
        const std::uint8_t payload[] = {liftOff, 0};
        if (Write(FeatureReport::Write(kCmdLiftOff, sequence_.Take(), payload))) {
            cache_.liftOff = liftOff;
            cache_.stale.liftOff = false;
        } else {
            retry_.main = true;
        }
        pacer_.Pause(kCommandPause);
    }
    if (sendDebounce) {
        const std::uint8_t payload[] = {debounce};
        if (Write(FeatureReport::Write(kCmdDebounce, sequence_.Take(), payload))) {
            cache_.debounce = debounce;
            cache_.stale.debounce = false;
        } else {
            retry_.main = true;
        }
        pacer_.Pause(kCommandPause);
    }
    if (sendLighting) {
        // The page's own length byte is the payload length (report byte 6).
        const FeatureReport report = FeatureReport::Make(kCmdLighting, sequence_.Take(), 0x01, lighting[0],
                                                         std::span(lighting).subspan(1));
        if (Write(report)) {
            cache_.lighting = lighting;
            cache_.stale.lighting = false;
        } else {
            retry_.main = true;
        }
        pacer_.Pause(kCommandPause);
    }
}

void DeviceController::SendPowerOptions() {
    if (!link_.SendTarget()) return;
    const PowerOptions power = PowerOptionBytes(Current());
    if (!cache_.stale.power && power == cache_.power) return;
    if (Write(FeatureReport::Write(kCmdPowerOptions, sequence_.Take(), power))) {
        cache_.power = power;
        cache_.stale.power = false;
    } else {
        retry_.power = true;
    }
    pacer_.Pause(kCommandPause);
}

void DeviceController::SendMotionWakeup() {
    if (!link_.SendTarget()) return;
    const std::uint8_t value = MotionWakeupValue(Current());
    if (!cache_.stale.motionWakeup && value == cache_.motionWakeup) return;
    const std::uint8_t payload[] = {value};
    if (Write(FeatureReport::Write(kCmdMotionWakeup, sequence_.Take(), payload))) {
        cache_.motionWakeup = value;
        cache_.stale.motionWakeup = false;
    } else {
        retry_.motionWakeup = true;
    }
    pacer_.Pause(kCommandPause);
}

void DeviceController::SendButtons() {
    if (!link_.SendTarget()) return;
    const ButtonPage page = BuildButtonPage(Current());
    for (int position = 0; position < kKeyCount; ++position) {
        const auto at = static_cast<std::size_t>(2 + 3 * position);
        const bool changed =
            cache_.stale.buttons[static_cast<std::size_t>(position)] ||
            !std::equal(page.begin() + at, page.begin() + at + 3, cache_.buttons.begin() + at);
        if (changed) {
            const std::span<const std::uint8_t, 3> action(page.data() + at, 3);
            if (Write(ButtonReport(sequence_.Take(), position, action))) {
                std::copy_n(page.begin() + at, 3, cache_.buttons.begin() + at);
                cache_.stale.buttons[static_cast<std::size_t>(position)] = false;
            } else {
                retry_.buttons = true;
            }
        }
        // The mouse is given 60 ms per position whether or not it was written.
        pacer_.Pause(kCommandPause);
    }
}

NumberingResult DeviceController::AssignMacroNumbers() {
    NumberingResult r =
        tarvik::AssignMacroNumbers(Current(), finder_, resyncRequested, LanguageString(kDisabledButtonText));
    resyncRequested = false;
    if (run_) run_->disabledButtons.insert(run_->disabledButtons.end(), r.disabled.begin(), r.disabled.end());
    return r;
}

void DeviceController::SendMacros(bool send) {
    ProfileRecord& rec = Current();
    for (int k = 0; k < kKeyCount; ++k) {
        const KeySlot& slot = rec.Keys[k];
        if (slot.Action.Function != kMacroFunction) continue;
        const std::uint8_t number = slot.Action.Data1 & 0x0F;
        const MacroKey& macro = slot.Macro;
        const MacroImage image = BuildMacroImage(macro, number);
        MacroImage& cached = cache_.macros[number];
        bool& stale = cache_.stale.macros[number];
        const int chunks = MacroChunkCount(macro.MacroCommandActionNum);
        const bool fits = chunks <= kMaxMacroChunks;
        if (!send) {
            // A macro the mouse cannot be sent is never taken as held by it.
            if (fits) {
                cached = image;
                stale = false;
            }
        } else if (stale || image != cached) {
            if (!fits) {
                if (run_) run_->refusedMacros.push_back({k, number, macro.Name, chunks});
                const std::string key = std::to_string(slot.MacroKeyIndex) + ":" + ToUtf8(macro.Name) + ":" +
                                        std::to_string(macro.MacroCommandActionNum);
                if (refusedLogged_.insert(key).second) {
                    ReportProblem("device: macro \"" + ToUtf8(macro.Name) + "\" of button " +
                                  std::to_string(k) + " needs " + std::to_string(chunks) + " chunks (" +
                                  std::to_string(macro.MacroCommandActionNum) + " steps); at most " +
                                  std::to_string(kMaxMacroChunks) + " can be numbered, so it is not sent");
                }
            } else if (link_.SendTarget()) {
                bool all = true;
                for (int i = 0; i < chunks && all; ++i) {
                    all = Write(MacroChunk(image, macro.MacroCommandActionNum, i, sequence_.Take()));
                    pacer_.Pause(kCommandPause);
                }
                // A macro counts as held only when every chunk arrived.
                if (all) {
                    cached = image;
                    stale = false;
                }
            }
        }
        pacer_.Pause(kCommandPause);
    }
}

ApplyResult DeviceController::ApplyToDevice() {
    ApplyResult result;
    if (!IsShown()) return result;
    result.ran = true;
    run_ = &result;
    retry_ = {};
    sentFlag = false;
    AssignMacroNumbers();
    if (buttonsChanged) SendButtons();
    if (mainSettingsChanged) SendMainSettings();
    if (powerChanged) SendPowerOptions();
    if (motionWakeupChanged) SendMotionWakeup();
    // Groups whose write failed stay marked, so the next run sends them again.
    buttonsChanged = retry_.buttons;
    mainSettingsChanged = retry_.main;
    powerChanged = retry_.power;
    motionWakeupChanged = retry_.motionWakeup;
    SendMacros(true);
    run_ = nullptr;
    result.sent = sentFlag;
    if (sentFlag && !suppressProgress) {
        link_.pollCounter = 0;
        result.progressShown = true;
        Call(hooks_.showProgress);
    }
    suppressProgress = false;
    Call(hooks_.restartDelayedSave);
    Call(hooks_.refreshFromProfile);
    return result;
}

// ---- status

StatusResult DeviceController::QueryStatus() {
    StatusResult result;
    hid::Device* target = link_.SendTarget();
    if (!target) return result;
    result.identity = link_.SendTargetIdentity();
    for (int attempt = 0; attempt < 2; ++attempt) {
        ++result.attempts;
        if (!target->SetFeature(FeatureReport::StatusQuery(sequence_.Take()).bytes)) {
            result.outcome = StatusOutcome::WriteFailed;
            return result;
        }
        pacer_.Pause(kStatusReadPause);
        ReportBytes reply;
        reply.fill(0xFF);
        reply[0] = kFeatureReportId;
        if (!target->GetFeature(reply)) {
            result.outcome = StatusOutcome::ReadFailed;
            return result;
        }
        const ParsedStatusReply parsed = ParseStatusReply(reply);
        if (parsed.kind == StatusReplyKind::Empty) continue;
        if (parsed.kind == StatusReplyKind::Foreign) {
            result.outcome = StatusOutcome::Foreign;
            return result;
        }
        result.outcome = StatusOutcome::Answered;
        result.reply = parsed.reply;
        HandleStatusReply(parsed.reply, &result);
        return result;
    }
    result.outcome = StatusOutcome::NoAnswer;
    return result;
}

bool DeviceController::HandleStatusReply(const StatusReply& reply, StatusResult* result) {
    bool changed = false;
    if (const SensorInfo* sensor = FindSensorByReportCode(reply.sensorCode)) {
        if (sensor->id != model_.SensorId) {
            // A failed save is reported by the model; the new sensor stands.
            if (!model_.ChangeSensor(sensor->id) && result) result->sensorSaved = false;
            Call(hooks_.sensorChanged);
            changed = true;
        }
    } else {
        // No identifier is known for such a code; the sensor model stays as it is.
        ReportProblem("device: status reply names unknown sensor code " + Hex2(reply.sensorCode) +
                      "; the sensor is left unchanged");
        if (result) result->unknownSensor = true;
    }
    batteryLevel = reply.battery;
    charge = reply.charge;
    if (result) result->sensorChanged = changed;
    return changed;
}

PollResult DeviceController::PollTick() {
    PollResult r;
    if (link_.pollCounter < 20) {
        ++link_.pollCounter;
    } else {
        link_.pollCounter = 0;
        for (Identity id : kIdentities) {
            if (link_.Present(id) && !link_.ReaderRunning(id)) {
                ScanDevices();
                link_.pollCounter = 19;
                r.rescanned = true;
            }
        }
        if (!IsShown()) return r;
        r.status = QueryStatus();
    }
    if (IsShown()) {
        if (batteryLevel > 100) batteryLevel = 0;
        gaugeChargingLevel += 25;
        if (gaugeChargingLevel > 100) gaugeChargingLevel = 25;
        BatteryDisplay d;
        d.level = batteryLevel;
        d.charge = charge;
        d.chargingLevel = gaugeChargingLevel;
        d.text = BatteryText(batteryLevel);
        d.textVisible = charge != ChargeState::Charging;
        if (hooks_.showBattery) hooks_.showBattery(d);
        r.battery = d;
    }
    return r;
}

ResetResult DeviceController::FactoryReset() {
    ResetResult r;
    if (link_.SendTarget()) {
        r.deviceFound = true;
        r.commandWritten = Write(FeatureReport::FactoryReset(sequence_.Take()));
    }
    const int slot = model_.GetCurrentProfile();
    const std::u16string name = model_.Profiles[slot].Settings[kSetProfileName].Value;
    model_.ResetProfileToDefaults(slot);
    model_.Profiles[slot].Settings[kSetProfileName].Value = name;
    r.fileWritten = model_.WriteProfileFile(slot, model_.GetSlotPath(slot)).ok();
    if (!r.deviceFound || r.commandWritten) {
        // The mouse now holds the defaults: nothing is sent for them.
        PrimeCaches();
    } else {
        // The reset did not reach the mouse: the caches still describe what it
        // holds, and the next send brings it to the defaults.
        MarkAllChanged();
    }
    Call(hooks_.refreshFromProfile);
    link_.pollCounter = 0;
    Call(hooks_.showProgress);
    return r;
}

} // namespace tarvik
