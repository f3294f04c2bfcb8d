// The settings as a value: the five profile records, the sensor model with its
// DPI step tables and the 17 config.ini pairs, with the operations that only
// read or change them. No paths, no files, no listeners: a writer thread copies
// it whole, and a test builds one directly. SettingsStore reads and writes it;
// SettingsModel is the one the program holds.
#pragma once

#include <array>
#include <cstdint>

#include "model/ProfileTable.h"

namespace tarvik {

struct SettingsTables {
    // ---- profile table
    std::array<ProfileRecord, kProfileCount> Profiles{};
    std::uint16_t SensorId = 0;
    std::array<std::uint32_t, kDpiTableSize> DpiStepTable{};
    std::uint32_t DpiStepCount = 0;
    std::array<std::uint16_t, kDpiTableSize> DpiDeviceCode{};
    bool SensorPageEnabled = false;

    // ---- config.ini (17 positional pairs)
    std::array<ProfileSetting, kIniPairCount> Ini{};

    // Every field of the slot's record to its default (nothing for a slot
    // outside 0-4). The names come from the language table.
    void ResetProfileToDefaults(int slot);
    void ApplySensorDpiDefaults(ProfileRecord& record) const;
    // The step tables of SensorId; an unknown sensor leaves them as they are.
    // A shorter table keeps the tail of the longer one it replaces.
    void BuildDpiTables();
    // The tables' part of a sensor change: the sensor and its two pairs, and
    // every profile's DPI block to the sensor's defaults (the step tables are
    // built separately, after the save).
    void SetSensor(std::uint16_t id);
    // The load's sensor check: "PreST" holds the complement of the sensor the
    // DPI levels were last set for. On a mismatch the pair is mended, slot 0
    // becomes current and every profile gets the sensor's DPI defaults; true then.
    bool CheckSensor();
    int GetSettingInt(int slot, int index) const;
    void SetSettingInt(int slot, int index, int value);
    // DpiStepTable[XYSetting[level]] × 50 (0 for an index beyond the table).
    int ShownDpi(int slot, int level) const;

    // The current profile lives in the "CurrentProfile" pair only. Out-of-range
    // hand-edited values read as the pair's default, so nothing indexes outside
    // the five records or the show list.
    int GetCurrentProfile() const;
    // Stores "%d" of the slot (memory only; the next save writes it); a number
    // outside 0-4 is ignored.
    void SetCurrentProfile(int slot);
    int GetShowCount() const;
    void SetShowCount(int count);
    int GetShowList(int position) const;
    void SetShowList(int position, int slot);
    // The pairs as a save of everything writes them: the current slot as "%d".
    std::array<ProfileSetting, kIniPairCount> IniAsSaved() const;
};

} // namespace tarvik
