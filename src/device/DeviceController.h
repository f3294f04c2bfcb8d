// The device side of the main window, without any window: the report caches and
// sequence counter, the settings-changed flags, the differential send pipeline
// (ApplyToDevice), macro numbering and upload, the status query and the 1 s
// status poll, level/rate reports from the mouse, hotplug handling and the
// factory reset. Runs on the UI thread only; everything that needs the window
// (progress dialog, timers, repainting) is a hook.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/DeviceLink.h"
#include "device/MacroUpload.h"
#include "device/Pacer.h"
#include "device/Protocol.h"
#include "device/ReportCache.h"

namespace tarvik {

class SettingsModel;

constexpr Millis kCommandPause{60};
constexpr Millis kStatusReadPause{10};
// The disabled-button name a button gets when its macro is gone.
constexpr int kDisabledButtonText = 34;

struct BatteryDisplay {
    int level = 0;
    ChargeState charge = ChargeState::NotCharging;
    int chargingLevel = 0; // the gauge's animation step: 25, 50, 75, 100, 25, …
    std::string text;      // "%d%%"
    bool textVisible = true;
    friend bool operator==(const BatteryDisplay&, const BatteryDisplay&) = default;
};

struct DeviceHooks {
    std::function<bool()> isShown{};            // the window's shown flag (null: shown)
    std::function<void()> showProgress{};       // modal progress dialog, language string 146
    std::function<void()> restartDelayedSave{}; // timer 70: save 10 s after the last send
    std::function<void()> refreshFromProfile{}; // every control from the current profile
    std::function<void()> scheduleApply{};      // timer 30: ApplyToDevice in 20 ms
    std::function<void()> startStatusPoll{};    // timer 110: PollTick every second
    std::function<void()> sensorChanged{};      // lift-off header, DPI ranges, repaint
    std::function<void(const OsdTexts&)> showOsd{};
    std::function<void(const BatteryDisplay&)> showBattery{};
    std::function<void()> noDeviceLeft{}; // hide, close dialogs, quit
};

// A macro that needs more chunks than byte 5 can number: never sent.
struct RefusedMacro {
    int button = 0;
    std::uint8_t number = 0;
    std::u16string name;
    int chunks = 0;
};

struct ApplyResult {
    bool ran = false;  // false: the window is closing
    bool sent = false; // at least one report reached the mouse
    bool progressShown = false;
    int reportsWritten = 0;
    int writesFailed = 0;
    std::vector<int> disabledButtons; // macro buttons whose macro is gone
    std::vector<RefusedMacro> refusedMacros;
};

enum class StatusOutcome { NoDevice, WriteFailed, ReadFailed, NoAnswer, Foreign, Answered };

struct StatusResult {
    StatusOutcome outcome = StatusOutcome::NoDevice;
    int attempts = 0;
    std::optional<StatusReply> reply;
    std::optional<Identity> identity; // which handle answered
    bool sensorChanged = false;
    bool sensorSaved = true; // false: the files of a sensor change could not be written
    bool unknownSensor = false;
};

struct PollResult {
    bool rescanned = false;
    std::optional<StatusResult> status;
    std::optional<BatteryDisplay> battery;
};

struct HotplugResult {
    bool scanned = false;
    bool statusQueryDue = false; // the arrival answered a pending status query
    std::optional<StatusResult> status;
    bool noDeviceLeft = false; // the window ends the program
};

struct ResetResult {
    bool deviceFound = false;
    bool commandWritten = false;
    bool fileWritten = false;
};

class DeviceController {
public:
    DeviceController(SettingsModel& model, DeviceLink& link, Pacer& pacer, DeviceHooks hooks = {});
    ~DeviceController();
    DeviceController(const DeviceController&) = delete;
    DeviceController& operator=(const DeviceController&) = delete;

    void SetHooks(DeviceHooks hooks) { hooks_ = std::move(hooks); }
    // The macro library lookup used by the numbering.
    void SetMacroFinder(MacroFinder finder) { finder_ = std::move(finder); }

    // ---- settings-changed flags and pipeline state
    bool buttonsChanged = false;
    bool mainSettingsChanged = false;
    bool powerChanged = false;
    bool motionWakeupChanged = false;
    bool sentFlag = false;
    bool suppressProgress = false;
    // Set after the macro manager closed: the next numbering copies each
    // numbered button's macro from the library.
    bool resyncRequested = false;
    void MarkAllChanged() {
        buttonsChanged = mainSettingsChanged = powerChanged = motionWakeupChanged = true;
    }

    // ---- window state mirrored here
    int currentDpiLevel = 0; // 0-based ordinal among the enabled levels
    int batteryLevel = 10;
    ChargeState charge = ChargeState::NotCharging;
    int gaugeChargingLevel = 0;

    // ---- connection
    // DeviceLink::ScanDevices, then: the status poll starts when connected; the
    // button, main-settings and power flags and the progress suppression are set
    // and ApplyToDevice is scheduled, so only differences are sent.
    void ScanDevices();
    HotplugResult OnArrival();
    HotplugResult OnRemoval();
    // Routes the backend's arrival/removal events through `post` to OnArrival/OnRemoval.
    void AttachHotplug(PostFn post);
    // Level/rate report from the mouse (UI thread).
    void HandleInputReport(const InputEvent& event);
    // The no-device notice is due 2 s after start when neither feature handle is open.
    bool NeedsStartupNotice() const;

    // ---- sending
    void PrimeCaches();
    void SendMainSettings();
    void SendPowerOptions();
    void SendMotionWakeup();
    void SendButtons();
    NumberingResult AssignMacroNumbers();
    void SendMacros(bool send);
    ApplyResult ApplyToDevice();

    // ---- status
    StatusResult QueryStatus();
    // Sensor change and battery state from an answer; true when the sensor changed.
    bool HandleStatusReply(const StatusReply& reply, StatusResult* result = nullptr);
    PollResult PollTick();

    ResetResult FactoryReset();

    ReportCache& Cache() { return cache_; }
    SequenceCounter& Sequence() { return sequence_; }
    DeviceLink& Link() { return link_; }

private:
    ProfileRecord& Current();
    bool IsShown() const { return !hooks_.isShown || hooks_.isShown(); }
    // Writes one report to the send target; false without one or when the write failed.
    bool Write(const FeatureReport& report);
    void Call(const std::function<void()>& hook) {
        if (hook) hook();
    }

    SettingsModel& model_;
    DeviceLink& link_;
    Pacer& pacer_;
    DeviceHooks hooks_;
    MacroFinder finder_;
    ReportCache cache_;
    SequenceCounter sequence_;
    ApplyResult* run_ = nullptr; // the ApplyToDevice in progress, for its figures
    // Groups with a failed write: their flags stay set after ApplyToDevice, so
    // the next run compares (and sends) them again.
    struct {
        bool buttons = false, main = false, power = false, motionWakeup = false;
    } retry_;
    std::set<std::string> refusedLogged_;
    std::shared_ptr<DeviceController*> alive_;
    bool hotplugAttached_ = false;
};

} // namespace tarvik
