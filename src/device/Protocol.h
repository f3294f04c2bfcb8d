// The settings payloads built from a profile, and the two reports the mouse
// sends back: the status reply and input report 5. Pure functions, no I/O.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "model/ProfileTable.h"

namespace tarvik {

class SettingsModel;

using DpiPage = std::array<std::uint8_t, 18>;
using ColourBytes = std::array<std::uint8_t, 24>;
using LightingPage = std::array<std::uint8_t, 25>; // byte 0 = length of what follows
using PowerOptions = std::array<std::uint8_t, 2>;  // power-down time, lighting-on-move mode

// Compared prefix of the DPI page (the last byte is sent but not compared).
constexpr std::size_t kDpiCompared = 17;

// 125/250/500/1000 Hz as the interval in ms the mouse takes: 8, 4, 2, 1.
std::uint8_t PollingCode(const ProfileRecord& rec);
// "LiftDetectionHeight" 1 -> 1, anything else -> 2.
std::uint8_t LiftOffCode(const ProfileRecord& rec);
std::uint8_t DebounceValue(const ProfileRecord& rec);
PowerOptions PowerOptionBytes(const ProfileRecord& rec);
std::uint8_t MotionWakeupValue(const ProfileRecord& rec);

// Byte 0: enabled-level count (low nibble) and active ordinal + 1 (high nibble);
// byte 1: the enable mask; then the device codes of levels 0..4, low byte first.
// A step index beyond the code table is sent as 0.
DpiPage BuildDpiPage(const ProfileRecord& rec, std::span<const std::uint16_t> deviceCodes);
DpiPage BuildDpiPage(const ProfileRecord& rec, const SettingsModel& model);
// Eight level colours as red, green, blue.
ColourBytes BuildColours(const ProfileRecord& rec);
// The lighting page of the current effect.
LightingPage BuildLightingPage(const ProfileRecord& rec);
// Number of page bytes that are compared and carried: the length byte and what follows.
inline std::size_t LightingCompared(const LightingPage& page) {
    return std::size_t{page[0]} + 1;
}

// ---- status reply (get-feature of report 0x0C after command 0x20)

enum class ChargeState : std::uint8_t { NotCharging = 0, Charging = 1, Full = 2 };

struct StatusReply {
    std::uint8_t sensorCode = 0;
    std::uint8_t battery = 0; // percent, 100 when full
    ChargeState charge = ChargeState::NotCharging;
    friend bool operator==(const StatusReply&, const StatusReply&) = default;
};

enum class StatusReplyKind {
    Empty,   // payload length 0: no answer yet, ask again
    Foreign, // a reply to another command: dropped
    Answer,
};

struct ParsedStatusReply {
    StatusReplyKind kind = StatusReplyKind::Empty;
    StatusReply reply;
};

// A reply too short to hold the battery fields (20 bytes) is treated as empty.
ParsedStatusReply ParseStatusReply(std::span<const std::uint8_t> bytes);

// ---- input report 5 (the mouse changed its DPI level or polling rate itself)

constexpr std::uint8_t kInputReportId = 0x05;
constexpr std::uint8_t kInputEventLevelOrRate = 0x06;

struct InputEvent {
    std::uint8_t pollingInterval = 0; // byte 3
    std::uint8_t level = 0;           // byte 4: 1-based among the enabled levels
    friend bool operator==(const InputEvent&, const InputEvent&) = default;
};

// The event of a 5/6 report; none for any other report, and for a report too
// short to hold bytes 3 and 4.
std::optional<InputEvent> ParseInputReport(std::span<const std::uint8_t> bytes);

// Interval 8 -> 0, 4 -> 1, 2 -> 2, anything else -> 3.
std::uint8_t PollingIndexFromInterval(std::uint8_t interval);
// "125HZ" … "1000HZ" as stored in the profile.
std::u16string PollingRateName(std::uint8_t index);

// ---- on-screen display and battery texts

struct OsdTexts {
    std::string title; // "DPI-%d"
    std::string value; // the DPI value
    std::string rate;  // "125Hz" … "1000Hz"
    friend bool operator==(const OsdTexts&, const OsdTexts&) = default;
};

// The DPI slot the display shows for an ordinal among the enabled levels of
// `mask`: the position of the (level + 1)-th set bit. Ordinals outside 0..7,
// beyond the enabled levels or with an empty mask show slot 0.
int OsdSlot(std::uint8_t mask, int level);
OsdTexts MakeOsdTexts(const ProfileRecord& rec, int level, const SettingsModel& model);

// "%d%%".
std::string BatteryText(int level);

} // namespace tarvik
