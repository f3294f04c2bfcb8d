// The device side of the main window, without any window: the report caches,
// the requested send groups, the differential send pipeline (ApplyToDevice),
// macro numbering, the status query and the 1 s status poll, level/rate
// reports from the mouse, hotplug handling and the factory reset.
//
// It lives on the UI thread. A send is planned here (plain code, no waiting)
// and carried out by the device worker thread, which also makes the status
// queries and writes the reset command; results come back as posted calls and
// are applied here, so the UI thread never waits for the device. Deferred work
// runs on an injected Scheduler; what the window shows comes through
// DeviceEvents and the model's change notification.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/DeviceLink.h"
#include "device/DeviceWorker.h"
#include "device/MacroUpload.h"
#include "device/Pacer.h"
#include "device/Protocol.h"
#include "device/ReportCache.h"
#include "device/Scheduler.h"
#include "device/SendPlanner.h"
#include "text/FileResult.h"

namespace tarvik {

class SettingsModel;

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

// Progress of a send or a factory reset, for the progress dialog.
struct DeviceProgress {
    enum class Operation { Send, Reset };
    Operation operation = Operation::Send;
    int done = 0;  // steps carried out
    int total = 0; // steps planned
    bool finished = false;
    // 100 only once finished.
    int Percent() const {
        if (finished) return 100;
        return total > 0 ? std::min(99, done * 100 / total) : 0;
    }
    friend bool operator==(const DeviceProgress&, const DeviceProgress&) = default;
};

struct ApplyResult {
    bool ran = false;  // false: the window is closing
    bool sent = false; // at least one report reached the mouse
    bool progressShown = false;
    bool interrupted = false; // the worker stopped before the end
    int reportsWritten = 0;
    int writesFailed = 0;
    std::vector<int> disabledButtons; // macro buttons whose macro is gone or too long
    // Macros the mouse cannot hold: their buttons were disabled (also when that
    // happened while the caches were primed, before this send).
    std::vector<RefusedMacro> refusedMacros;
};

struct StatusResult {
    StatusOutcome outcome = StatusOutcome::NoDevice;
    int attempts = 0;
    std::optional<StatusReply> reply;
    std::optional<Identity> identity; // which handle was asked
    bool sensorChanged = false;
    bool sensorSaved = true; // false: the files of a sensor change could not be written
    bool unknownSensor = false;
};

struct PollResult {
    bool rescanned = false;
    bool statusQueried = false; // the answer arrives later
    std::optional<BatteryDisplay> battery;
};

struct HotplugResult {
    bool scanned = false;
    bool statusQueryDue = false; // the arrival asked the pending status query
    bool noDeviceLeft = false;   // the window ends the program
};

struct ResetResult {
    bool deviceFound = false;
    bool commandWritten = false;
    bool fileWritten = false; // or handed to the model's writer (SettingsModel::SetSaveHandOff)
};

// What the window shows; every call comes on the UI thread.
struct DeviceEvents {
    std::function<void(const DeviceProgress&)> progress{}; // the progress dialog follows these
    std::function<void(const ApplyResult&)> sendFinished{};
    std::function<void(const OsdTexts&)> showOsd{};
    std::function<void(const BatteryDisplay&)> showBattery{};
    std::function<void()> noDeviceLeft{}; // hide, close dialogs, quit
};

class DeviceController {
public:
    using ApplyDone = std::function<void(const ApplyResult&)>;
    using StatusDone = std::function<void(const StatusResult&)>;
    using ResetDone = std::function<void(const ResetResult&)>;

    // `post` queues a call on the UI thread (the window's event loop or an EventQueue).
    DeviceController(SettingsModel& model, DeviceLink& link, Pacer& pacer, Scheduler& scheduler, PostFn post,
                     DeviceEvents events = {});
    // Stops the worker (a send in progress ends at its next step) and joins it.
    ~DeviceController();
    DeviceController(const DeviceController&) = delete;
    DeviceController& operator=(const DeviceController&) = delete;

    void SetEvents(DeviceEvents events) { events_ = std::move(events); }
    // The macro library lookup used by the numbering.
    void SetMacroFinder(MacroFinder finder) { finder_ = std::move(finder); }
    // The window's shown flag; false once the program is ending: sends and
    // status polls then do nothing.
    void SetShown(bool shown) { shown_ = shown; }
    bool Shown() const { return shown_; }

    // ---- requests from the window
    // Marks groups as changed and arms the send 20 ms later (restarted by every
    // request, so a burst of changes makes one send).
    void RequestSend(SendGroups groups);
    bool SendRequested(SendGroup group) const { return requested_.Has(group); }
    // After the macro manager closed: the next numbering copies each numbered
    // button's macro from the library.
    void RequestResync() { resyncRequested_ = true; }
    bool ResyncRequested() const { return resyncRequested_; }
    bool ProgressSuppressed() const { return suppressProgress_; }

    // The send pipeline: numbers the macros, plans what differs in the requested
    // groups and in the macros, and hands the plan to the worker. `done` hears
    // the result of the send that covers this request: the one started now, or,
    // while the worker is busy, the one re-run after it (one re-run covers every
    // request that came meanwhile). When the run ends DeviceEvents::sendFinished
    // is told, whether or not anything was sent (the session's saving follows it).
    void ApplyToDevice(ApplyDone done = {});
    // Command 0x20 on the worker; the reply's sensor and battery are applied here.
    void QueryStatus(StatusDone done = {});
    // Writes the reset command on the worker, then resets the current profile to
    // its defaults (keeping its name), writes its file and primes the caches.
    void FactoryReset(ResetDone done = {});
    // True from a job handed to the worker until its last result was applied here.
    bool Busy() const { return outstanding_ > 0; }

    // Stops the worker: a send in progress ends at its next step and the jobs
    // not started end without touching the device. Their results (interrupted)
    // are still applied when the posted calls run; nothing is sent afterwards.
    void StopWorker();

    // ---- window state mirrored here
    // The current profile's DPI level as the window shows it (0-based ordinal
    // among the enabled levels): the window follows the profile, a level report
    // of the mouse moves it, and the OSD shows it.
    void FollowCurrentDpiLevel(int level) { currentDpiLevel_ = level; }
    int CurrentDpiLevel() const { return currentDpiLevel_; }
    // The mouse's level-and-rate reports handled so far, whether or not they
    // changed the profile.
    int LevelReportsHandled() const { return levelReportsHandled_; }
    // The battery as the last status answer gave it.
    int BatteryLevel() const { return batteryLevel_; }
    ChargeState Charge() const { return charge_; }

    // ---- connection
    // DeviceLink::ScanDevices, then: the status poll is armed when connected;
    // buttons, main settings and power options are requested with the progress
    // dialog suppressed, so only differences are sent.
    void ScanDevices();
    HotplugResult OnArrival();
    HotplugResult OnRemoval();
    // Routes the backend's arrival/removal events through `post` to OnArrival/OnRemoval.
    void AttachHotplug(PostFn post);
    // Level/rate report from the mouse (UI thread): the profile takes them
    // through TakeLevelAndRateFromMouse (model/ProfileRules.h), whose listeners
    // hear what changed. A level the mouse cannot mean (0, or beyond the eight
    // levels) is logged once and ignored.
    void HandleInputReport(const InputEvent& event);
    // The no-device notice is due 2 s after start when neither feature handle is open.
    bool NeedsStartupNotice() const;

    // ---- caches
    // The mouse holds the current profile: every cache entry from it, no sending.
    void PrimeCaches();
    NumberingResult AssignMacroNumbers();

    // The 1 s status poll (the PollStatus task). On the tick that queries the
    // status, the battery display follows the answer.
    PollResult PollTick();
    // Sensor change and battery state from an answer; true when the sensor changed.
    bool HandleStatusReply(const StatusReply& reply, StatusResult* result = nullptr);

    ReportCache& Cache() { return cache_; }
    // Touch only while the worker is idle.
    SequenceCounter& Sequence() { return worker_.Sequence(); }
    DeviceLink& Link() { return link_; }

private:
    int currentDpiLevel_ = 0;
    int levelReportsHandled_ = 0;
    int batteryLevel_ = 10;
    ChargeState charge_ = ChargeState::NotCharging;
    int gaugeChargingLevel_ = 0;
    struct SendRun;

    ProfileRecord& Current();
    int CurrentSlot() const;
    void StartSend();
    void OnSendStep(SendRun& run, std::size_t index, StepOutcome outcome);
    void FinishSend(const std::shared_ptr<SendRun>& run, bool completed);
    void FinishReset(ResetResult r, const ResetDone& done);
    void ApplyStatus(const StatusExchange& exchange, StatusResult& result);
    void JobDone();
    BatteryDisplay StepBatteryDisplay();
    // Runs `call` on the UI thread unless this controller is gone by then.
    void PostBack(std::function<void(DeviceController&)> call);
    void LogOnce(const std::string& key, const std::string& message);

    SettingsModel& model_;
    DeviceLink& link_;
    Scheduler& scheduler_;
    PostFn post_;
    DeviceEvents events_;
    MacroFinder finder_;
    ReportCache cache_;
    bool shown_ = true;
    SendGroups requested_;
    bool suppressProgress_ = false;
    bool resyncRequested_ = false;
    // Buttons the numbering disabled for a macro too long for the mouse, not
    // yet told in an ApplyResult.
    std::vector<RefusedMacro> tooLong_;
    bool rerun_ = false;
    std::vector<ApplyDone> applyWaiters_;
    int outstanding_ = 0;
    std::set<std::string> logged_;
    std::shared_ptr<DeviceController*> alive_;
    bool hotplugAttached_ = false;
    // Last: stopped and joined first when the controller goes.
    DeviceWorker worker_;
};

} // namespace tarvik
