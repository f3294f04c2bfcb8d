// The in-memory settings model: five profile records, the sensor model with its
// DPI step tables, and the 17-pair application settings table (config.ini).
// Touched only by the UI thread (or the CLI's single thread).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "model/MacroRecords.h"

namespace tarvik {

// Colours are 0x00BBGGRR (red in the low byte).
using Colour = std::uint32_t;
constexpr std::uint8_t Red(Colour c) {
    return c & 0xFF;
}
constexpr std::uint8_t Green(Colour c) {
    return (c >> 8) & 0xFF;
}
constexpr std::uint8_t Blue(Colour c) {
    return (c >> 16) & 0xFF;
}
constexpr Colour Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return r | (Colour{g} << 8) | (Colour{b} << 16);
}

constexpr int kProfileCount = 5;

// Whether `slot` names one of the profiles.
constexpr bool IsProfileSlot(int slot) {
    return slot >= 0 && slot < kProfileCount;
}

constexpr int kKeyCount = 6;
constexpr int kDpiLevels = 8;
constexpr int kEffects = 10;
constexpr int kColourSlots = 10;
constexpr std::size_t kDpiTableSize = 520;

struct ProfileSetting {
    std::u16string Name;
    std::u16string Value;
    friend bool operator==(const ProfileSetting&, const ProfileSetting&) = default;
};

// The 3-byte code of a button's function, executed by the mouse.
struct KeyAction {
    std::uint8_t Function = 0;
    std::uint8_t Data1 = 0;
    std::uint8_t Data2 = 0;
    friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

// One programmable button.
struct KeySlot {
    std::u16string Name;
    KeyAction Action;
    std::uint32_t MacroKeyIndex = 0;
    MacroKey Macro; // the button's own copy of the assigned macro

    // Copies name, header fields and steps of `source` into Macro (count reset,
    // then each step appended); with nullptr only the count becomes 0.
    void AssignMacro(const MacroKey* source);
    friend bool operator==(const KeySlot&, const KeySlot&) = default;
};

// Indexes of the 20 profile settings.
enum ProfileSettingIndex : int {
    kSetProfileName = 0,
    kSetGameFile0 = 1,
    kSetGameFile1 = 2,
    kSetGameFile2 = 3,
    kSetDoubleClickSpeed = 4,
    kSetPointerSpeed = 5,
    kSetAccelerationEnable = 6,
    kSetScrollWheelSpeed = 7,
    kSetScrollWheelPageEnable = 8,
    kSetTiltSpeed = 9,
    kSetSensitivityX = 10,
    kSetSensitivityY = 11,
    kSetXYSynchronous = 12,
    kSetXDpi = 13,
    kSetYDpi = 14,
    kSetMoveLightingOnOffMode = 15,
    kSetPowerDownTime = 16,
    kSetLiftDetectionHeight = 17,
    kSetKeyDebounce = 18,
    kSetMotionWakeup = 19,
    kProfileSettingCount = 20,
};

struct ProfileRecord {
    std::array<ProfileSetting, kProfileSettingCount> Settings{};
    std::array<KeySlot, kKeyCount> Keys{};
    std::u16string PollingRateName;
    std::array<std::uint8_t, 3> PollingRate{};
    std::uint8_t Lighting1OffOn = 1;
    std::u16string Lighting1Name;
    std::array<std::uint8_t, 3> Lighting1Mode{};
    std::array<std::uint8_t, kEffects> Lighting1Speed{};
    std::array<std::uint8_t, kEffects> Lighting1Brightness{};
    std::array<std::array<std::uint8_t, kColourSlots>, kEffects> Lighting1ColorSelected{};
    std::array<std::array<Colour, kColourSlots>, kEffects> Lighting1FixedColor{};
    std::array<std::uint8_t, kEffects> Lighting1Direction{};
    std::uint8_t Lighting2OffOn = 1;
    std::u16string Lighting2Name;
    std::array<std::uint8_t, 3> Lighting2Mode{};
    std::uint8_t Lighting2Speed = 2;
    std::uint8_t Lighting2Brightness = 100;
    Colour Lighting2FixedColor = 0;
    std::uint8_t DPIOffOnFlag = 0x7F;
    std::array<std::uint16_t, kDpiLevels> XYSetting{};
    std::uint8_t CurrentDPILevel = 0;
    std::array<Colour, kDpiLevels> DPILevelIndication{};
    std::uint8_t AngleSnap = 0;
    std::uint8_t LiftDetection = 0;

    // The DPI level (0–7) that CurrentDPILevel selects among the enabled levels;
    // -1 when the ordinal lies beyond the enabled levels. A DPIOffOnFlag of 0
    // (only a hand-edited file makes one) treats level 0 as active.
    int ActiveDpiLevel() const;

    friend bool operator==(const ProfileRecord&, const ProfileRecord&) = default;
};

struct SensorInfo {
    std::uint16_t id;
    std::uint8_t reportCode;
    std::vector<std::uint32_t> steps; // DPI / 50, index order
    bool deviceCodePlusOne;           // DpiDeviceCode[i] = i + 1 instead of i
    bool sensorPageEnabled;
    std::array<std::uint16_t, kDpiLevels> defaultXY;
};
// The ten known sensors; FindSensor returns nullptr for an unknown id.
const std::vector<SensorInfo>& SensorTable();
const SensorInfo* FindSensor(std::uint16_t id);
const SensorInfo* FindSensorByReportCode(std::uint8_t code);
constexpr std::uint16_t kDefaultSensorId = 0x3325;

// Indexes of the 17 config.ini pairs.
enum SettingsIndex : int {
    kIniReserved = 0,
    kIniSensor = 1,
    kIniPreST = 2,
    kIniMacId = 3,
    kIniDataChange = 4,
    kIniCurrentProfile = 5,
    kIniShowCount = 6,
    kIniShowList0 = 7,
    kIniSlotUrl0 = 12,
    kIniPairCount = 17,
};

} // namespace tarvik
