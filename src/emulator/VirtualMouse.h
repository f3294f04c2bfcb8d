// The mouse's firmware, modelled: it takes the feature reports the program
// writes, keeps what each command set, answers the status query, and sends
// input report 5/6 when its DPI button is pressed. Both USB identities can be
// plugged and unplugged. Frames it cannot make sense of are counted, never
// trusted. Thread-safe: the device worker writes, reader threads read, tests press.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <vector>

#include "device/DeviceIds.h"
#include "device/HidBackend.h"

namespace tarvik {

class VirtualMouse {
public:
    static constexpr std::uint8_t kDefaultSensorCode = 0x25;

    // What the mouse has received; "not received" is empty.
    struct State {
        std::array<bool, kIdentityCount> plugged{};
        std::optional<std::array<std::uint8_t, 18>> dpiPage;
        std::optional<std::array<std::uint8_t, 24>> colors;
        std::optional<std::uint8_t> polling;
        std::optional<std::vector<std::uint8_t>> lighting; // length byte first
        std::optional<std::uint8_t> liftOff;
        std::optional<std::uint8_t> debounce;
        std::optional<std::array<std::uint8_t, 2>> power;
        std::optional<std::uint8_t> motionWakeup;
        std::array<std::optional<std::array<std::uint8_t, 3>>, 6> buttons;
        std::map<int, std::vector<std::uint8_t>> macros; // number -> reassembled step bytes
        std::uint64_t framesReceived = 0;
        std::uint64_t malformedFrames = 0;
        std::optional<std::uint8_t> lastSequence;
        std::uint64_t factoryResets = 0;
        // Settable firmware facts.
        std::uint8_t sensorCode = kDefaultSensorCode;
        std::uint8_t battery = 100;
        std::uint8_t chargeState = 0;
        int dpiLevel = 0; // ordinal among the enabled levels
    };

    // Plugged on both identities, sensor 0x25, battery 100 %, not charging.
    VirtualMouse();

    // ---- firmware facts
    void SetSensorCode(std::uint8_t code);
    void SetBattery(std::uint8_t level);
    void SetChargeState(std::uint8_t state);
    // The next n status reads answer with payload length 0 ("not yet").
    void SetEmptyReplies(int n);
    // While busy, every feature write fails.
    void SetBusy(bool busy);

    // ---- hotplug
    void Plug(Identity id);
    void Unplug(Identity id);
    bool Plugged(Identity id) const;
    // Changes at every unplug: handles opened before it stay dead.
    std::uint64_t Generation(Identity id) const;
    int AddHotplugListener(hid::HotplugHandler handler);
    void RemoveHotplugListener(int token);

    // ---- the mouse's own buttons
    // Steps to the next enabled DPI level and reports it (input report 5/6 on A
    // when plugged, else B). False when no identity is plugged.
    bool PressDpiButton();
    // Moves to `level` (1-based among the enabled levels) and reports it the
    // same way. False when no identity is plugged or the level is not enabled.
    bool PressDpiButton(int level);
    // Queues any input report on an identity's input interface.
    bool EmitInputReport(Identity id, std::span<const std::uint8_t> report);
    // A transport that delivers input reports by itself (the hidraw testbed's
    // device nodes) takes each one as it is emitted, on the emitting thread,
    // instead of the queue that ReadInput serves. An empty sink restores the queue.
    using InputSink = std::function<void(Identity, std::span<const std::uint8_t>)>;
    void SetInputSink(InputSink sink);

    // ---- transport, for the backends' handles
    bool SetFeature(Identity id, std::uint64_t generation, std::span<const std::uint8_t> data);
    bool GetFeature(Identity id, std::uint64_t generation, std::span<std::uint8_t> data);
    // `woken` belongs to the calling handle; Wake() sets it.
    hid::ReadResult ReadInput(Identity id, std::uint64_t generation, std::span<std::uint8_t> data,
                              int timeoutMs, bool& woken);
    void Wake(bool& woken);

    // Decodes and applies one frame as the firmware would (counted, malformed
    // frames counted and dropped). False when malformed.
    bool ApplyFrame(std::span<const std::uint8_t> frame);

    State Snapshot() const;
    // The state document of `tarvik-mousesim ctl dump --json`.
    nlohmann::ordered_json Dump() const;

private:
    bool ApplyFrameLocked(std::span<const std::uint8_t> frame);
    bool ApplyMacroChunk(std::span<const std::uint8_t> frame);
    void FactoryResetLocked();
    void NotifyHotplug(hid::HotplugEvent event);

    struct Assembly {
        int number = -1;
        int total = 0;
        int next = 0;
        std::vector<std::uint8_t> bytes;
    };

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    State state_;
    std::array<std::uint64_t, kIdentityCount> generation_{1, 1};
    std::array<std::deque<std::vector<std::uint8_t>>, kIdentityCount> input_;
    std::optional<std::uint8_t> pendingQuery_; // sequence of the last status query
    int emptyReplies_ = 0;
    bool busy_ = false;
    Assembly assembly_;
    std::map<int, hid::HotplugHandler> listeners_;
    InputSink inputSink_;
    int nextListener_ = 1;
};

} // namespace tarvik
