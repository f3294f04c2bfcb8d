#include "emulator/VirtualMouse.h"

#include <algorithm>
#include <bit>
#include <chrono>

#include "device/FeatureReport.h"
#include "device/Protocol.h"

namespace tarvik {

namespace {
constexpr std::size_t kInputQueueLimit = 64;

int Index(Identity id) {
    return static_cast<int>(id);
}

bool ZeroFrom(std::span<const std::uint8_t> frame, std::size_t from) {
    return std::all_of(frame.begin() + static_cast<std::ptrdiff_t>(from), frame.end(),
                       [](std::uint8_t b) { return b == 0; });
}

template <std::size_t N>
std::array<std::uint8_t, N> Take(std::span<const std::uint8_t> frame, std::size_t from) {
    std::array<std::uint8_t, N> out{};
    std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(from), N, out.begin());
    return out;
}
} // namespace

VirtualMouse::VirtualMouse() {
    state_.plugged = {true, true};
}

void VirtualMouse::SetSensorCode(std::uint8_t code) {
    std::lock_guard lock(mutex_);
    state_.sensorCode = code;
}

void VirtualMouse::SetBattery(std::uint8_t level) {
    std::lock_guard lock(mutex_);
    state_.battery = level;
}

void VirtualMouse::SetChargeState(std::uint8_t chargeState) {
    std::lock_guard lock(mutex_);
    state_.chargeState = chargeState;
}

void VirtualMouse::SetEmptyReplies(int n) {
    std::lock_guard lock(mutex_);
    emptyReplies_ = std::max(n, 0);
}

void VirtualMouse::SetBusy(bool busy) {
    std::lock_guard lock(mutex_);
    busy_ = busy;
}

void VirtualMouse::Plug(Identity id) {
    {
        std::lock_guard lock(mutex_);
        if (state_.plugged[Index(id)]) return;
        state_.plugged[Index(id)] = true;
    }
    NotifyHotplug(hid::HotplugEvent::Arrival);
}

void VirtualMouse::Unplug(Identity id) {
    {
        std::lock_guard lock(mutex_);
        if (!state_.plugged[Index(id)]) return;
        state_.plugged[Index(id)] = false;
        ++generation_[Index(id)];
        input_[Index(id)].clear();
    }
    cv_.notify_all();
    NotifyHotplug(hid::HotplugEvent::Removal);
}

bool VirtualMouse::Plugged(Identity id) const {
    std::lock_guard lock(mutex_);
    return state_.plugged[Index(id)];
}

std::uint64_t VirtualMouse::Generation(Identity id) const {
    std::lock_guard lock(mutex_);
    return generation_[Index(id)];
}

int VirtualMouse::AddHotplugListener(hid::HotplugHandler handler) {
    std::lock_guard lock(mutex_);
    const int token = nextListener_++;
    listeners_[token] = std::move(handler);
    return token;
}

void VirtualMouse::RemoveHotplugListener(int token) {
    std::lock_guard lock(mutex_);
    listeners_.erase(token);
}

void VirtualMouse::NotifyHotplug(hid::HotplugEvent event) {
    std::vector<hid::HotplugHandler> handlers;
    {
        std::lock_guard lock(mutex_);
        for (auto& [token, handler] : listeners_) handlers.push_back(handler);
    }
    for (auto& handler : handlers) {
        if (handler) handler(event);
    }
}

bool VirtualMouse::PressDpiButton() {
    return PressDpiButton(0);
}

bool VirtualMouse::PressDpiButton(int level) {
    std::array<std::uint8_t, kMouseReportLength> report{};
    Identity target;
    {
        std::lock_guard lock(mutex_);
        if (state_.plugged[0]) {
            target = Identity::A;
        } else if (state_.plugged[1]) {
            target = Identity::B;
        } else {
            return false;
        }
        const std::uint8_t mask = state_.dpiPage ? (*state_.dpiPage)[1] : 0x1F;
        const int enabled = std::max(std::popcount(mask), 1);
        if (level < 0 || level > enabled) return false;
        state_.dpiLevel = level == 0 ? (state_.dpiLevel + 1) % enabled : level - 1;
        report[0] = kInputReportId;
        report[1] = kInputEventLevelOrRate;
        report[3] = state_.polling.value_or(1);
        report[4] = static_cast<std::uint8_t>(state_.dpiLevel + 1);
    }
    return EmitInputReport(target, report);
}

void VirtualMouse::SetInputSink(InputSink sink) {
    std::lock_guard lock(mutex_);
    inputSink_ = std::move(sink);
}

bool VirtualMouse::EmitInputReport(Identity id, std::span<const std::uint8_t> report) {
    InputSink sink;
    {
        std::lock_guard lock(mutex_);
        if (!state_.plugged[Index(id)]) return false;
        if (inputSink_) {
            sink = inputSink_;
        } else {
            auto& queue = input_[Index(id)];
            if (queue.size() >= kInputQueueLimit) queue.pop_front();
            queue.emplace_back(report.begin(), report.end());
        }
    }
    if (sink) {
        sink(id, report);
    } else {
        cv_.notify_all();
    }
    return true;
}

bool VirtualMouse::SetFeature(Identity id, std::uint64_t generation, std::span<const std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    if (!state_.plugged[Index(id)] || generation != generation_[Index(id)] || busy_) return false;
    ApplyFrameLocked(data);
    // The transfer itself succeeded; what the firmware makes of it is its own affair.
    return true;
}

bool VirtualMouse::GetFeature(Identity id, std::uint64_t generation, std::span<std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    if (!state_.plugged[Index(id)] || generation != generation_[Index(id)]) return false;
    if (data.empty() || data[0] != kFeatureReportId) return false;
    std::array<std::uint8_t, kReportSize> reply{};
    reply[0] = kFeatureReportId;
    if (pendingQuery_) {
        reply[1] = 0x01;
        reply[2] = kCmdStatusQuery;
        reply[4] = *pendingQuery_;
        if (emptyReplies_ > 0) {
            --emptyReplies_;
        } else {
            reply[6] = 13; // bytes 7..19
            reply[15] = state_.sensorCode;
            reply[18] = state_.battery;
            reply[19] = state_.chargeState;
        }
    }
    std::copy_n(reply.begin(), std::min(data.size(), reply.size()), data.begin());
    return true;
}

hid::ReadResult VirtualMouse::ReadInput(Identity id, std::uint64_t generation, std::span<std::uint8_t> data,
                                        int timeoutMs, bool& woken) {
    std::unique_lock lock(mutex_);
    const auto ready = [&] {
        return woken || generation != generation_[Index(id)] || !input_[Index(id)].empty();
    };
    if (timeoutMs < 0) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return {hid::ReadStatus::Timeout, 0};
    }
    if (generation != generation_[Index(id)]) return {hid::ReadStatus::Failed, 0};
    if (woken) {
        woken = false;
        return {hid::ReadStatus::Woken, 0};
    }
    std::vector<std::uint8_t> report = std::move(input_[Index(id)].front());
    input_[Index(id)].pop_front();
    const std::size_t n = std::min(report.size(), data.size());
    std::copy_n(report.begin(), n, data.begin());
    return {hid::ReadStatus::Report, n};
}

void VirtualMouse::Wake(bool& woken) {
    {
        std::lock_guard lock(mutex_);
        woken = true;
    }
    cv_.notify_all();
}

bool VirtualMouse::ApplyFrame(std::span<const std::uint8_t> frame) {
    std::lock_guard lock(mutex_);
    return ApplyFrameLocked(frame);
}

bool VirtualMouse::ApplyFrameLocked(std::span<const std::uint8_t> frame) {
    ++state_.framesReceived;
    const auto malformed = [this] {
        ++state_.malformedFrames;
        return false;
    };
    if (frame.size() != kReportSize) return malformed();
    state_.lastSequence = frame[4];
    if (frame[0] != kFeatureReportId || frame[1] != 0x01 || frame[3] != 0x00) return malformed();
    const std::uint8_t command = frame[2];
    const std::uint8_t byte5 = frame[5];
    const std::uint8_t length = frame[6];
    // A plain write: byte 5 = 1, the expected length, zeros after the payload.
    const auto write = [&](std::uint8_t expected) {
        return byte5 == 0x01 && length == expected && ZeroFrom(frame, 7u + expected);
    };
    switch (command) {
    case kCmdSetButton:
        if (!write(4) || frame[7] > 5) return malformed();
        state_.buttons[frame[7]] = Take<3>(frame, 8);
        return true;
    case kCmdDpiLevels: {
        if (!write(18)) return malformed();
        state_.dpiPage = Take<18>(frame, 7);
        const int enabled = std::max(std::popcount(frame[8]), 1);
        const int ordinal = (frame[7] >> 4) - 1;
        state_.dpiLevel = ordinal >= 0 && ordinal < enabled ? ordinal : 0;
        return true;
    }
    case kCmdDpiColours:
        if (!write(24)) return malformed();
        state_.colors = Take<24>(frame, 7);
        return true;
    case kCmdPollingRate:
        if (!write(1)) return malformed();
        state_.polling = frame[7];
        return true;
    case kCmdLighting:
        // The page (length byte first) fills report bytes 6..30.
        if (byte5 != 0x01 || length > 24 || frame[31] != 0 || frame[32] != 0) return malformed();
        state_.lighting = std::vector<std::uint8_t>(frame.begin() + 6, frame.begin() + 7 + length);
        return true;
    case kCmdLiftOff:
        if (!write(2) || frame[8] != 0) return malformed();
        state_.liftOff = frame[7];
        return true;
    case kCmdDebounce:
        if (!write(1)) return malformed();
        state_.debounce = frame[7];
        return true;
    case kCmdPowerOptions:
        if (!write(2)) return malformed();
        state_.power = Take<2>(frame, 7);
        return true;
    case kCmdMotionWakeup:
        if (!write(1)) return malformed();
        state_.motionWakeup = frame[7];
        return true;
    case kCmdMacroChunk:
        if (!ApplyMacroChunk(frame)) return malformed();
        return true;
    case kCmdFactoryReset:
        if (!write(1) || frame[7] != 0xFF) return malformed();
        FactoryResetLocked();
        return true;
    case kCmdStatusQuery:
        if (byte5 != 0x00 || length != 0 || !ZeroFrom(frame, 7)) return malformed();
        pendingQuery_ = frame[4];
        return true;
    default:
        return malformed();
    }
}

bool VirtualMouse::ApplyMacroChunk(std::span<const std::uint8_t> frame) {
    const int index = frame[5] >> 4;
    const int total = frame[5] & 0x0F;
    const int length = frame[6];
    const int number = frame[7];
    const bool last = index == total - 1;
    // Every chunk but the last carries 25 bytes; a chunk carries 0..25.
    if (total == 0 || index >= total || length < 1 || length > 26 || (!last && length != 26)) {
        assembly_ = {};
        return false;
    }
    if (index == 0) {
        assembly_ = {number, total, 0, {}};
    } else if (assembly_.number != number || assembly_.total != total || assembly_.next != index) {
        assembly_ = {};
        return false;
    }
    assembly_.bytes.insert(assembly_.bytes.end(), frame.begin() + 8, frame.begin() + 8 + (length - 1));
    assembly_.next = index + 1;
    if (last) {
        state_.macros[number] = std::move(assembly_.bytes);
        assembly_ = {};
    }
    return true;
}

void VirtualMouse::FactoryResetLocked() {
    State fresh;
    fresh.plugged = state_.plugged;
    fresh.framesReceived = state_.framesReceived;
    fresh.malformedFrames = state_.malformedFrames;
    fresh.lastSequence = state_.lastSequence;
    fresh.factoryResets = state_.factoryResets + 1;
    fresh.sensorCode = state_.sensorCode;
    fresh.battery = state_.battery;
    fresh.chargeState = state_.chargeState;
    state_ = std::move(fresh);
    assembly_ = {};
}

VirtualMouse::State VirtualMouse::Snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
}

nlohmann::ordered_json VirtualMouse::Dump() const {
    const State s = Snapshot();
    using json = nlohmann::ordered_json;
    const auto hexOrNull = [](const auto& opt) -> json {
        if (!opt) return nullptr;
        return HexString(*opt);
    };
    const auto numOrNull = [](const std::optional<std::uint8_t>& v) -> json {
        if (!v) return nullptr;
        return *v;
    };
    json doc;
    doc["plugged"] = {{"A", s.plugged[0]}, {"B", s.plugged[1]}};
    doc["dpiPage"] = hexOrNull(s.dpiPage);
    doc["colors"] = hexOrNull(s.colors);
    doc["polling"] = numOrNull(s.polling);
    doc["lighting"] = hexOrNull(s.lighting);
    doc["liftOff"] = numOrNull(s.liftOff);
    doc["debounce"] = numOrNull(s.debounce);
    doc["power"] = s.power ? json::array({(*s.power)[0], (*s.power)[1]}) : json(nullptr);
    doc["motionWakeup"] = numOrNull(s.motionWakeup);
    json buttons = json::array();
    for (const auto& b : s.buttons) buttons.push_back(hexOrNull(b));
    doc["buttons"] = buttons;
    json macros = json::object();
    for (const auto& [number, bytes] : s.macros) macros[std::to_string(number)] = HexString(bytes);
    doc["macros"] = macros;
    doc["framesReceived"] = s.framesReceived;
    doc["malformedFrames"] = s.malformedFrames;
    doc["lastSequence"] = numOrNull(s.lastSequence);
    doc["factoryResets"] = s.factoryResets;
    doc["sensorCode"] = s.sensorCode;
    doc["battery"] = s.battery;
    doc["chargeState"] = s.chargeState;
    doc["dpiLevel"] = s.dpiLevel;
    return doc;
}

} // namespace tarvik
