// The process-wide settings model: the profile table, the sensor model and the
// config.ini table, with every operation that reads or writes them on disk.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "model/ProfileTable.h"

namespace tarvik {

// Outcome of a file read, for the CLI's `check` and the log: 0 = valid, else the
// 1-based line that failed (or the line after the last one for a file that ends early).
struct ReadResult {
    bool ok = true;
    int line = 0;
    std::string reason;
    explicit operator bool() const { return ok; }
};

class SettingsModel {
public:
    // dataFolder: the per-user data folder; its config/ holds every file.
    explicit SettingsModel(std::filesystem::path dataFolder = {});

    const std::filesystem::path& DataFolder() const { return dataFolder_; }
    std::filesystem::path ConfigDir() const { return dataFolder_ / "config"; }
    std::filesystem::path SettingsPath() const { return ConfigDir() / "config.ini"; }

    // ---- profile table
    std::array<ProfileRecord, kProfileCount> Profiles{};
    std::uint16_t SensorId = 0;
    std::array<std::uint32_t, kDpiTableSize> DpiStepTable{};
    std::uint32_t DpiStepCount = 0;
    std::array<std::uint16_t, kDpiTableSize> DpiDeviceCode{};
    bool SensorPageEnabled = false;

    void ResetProfileToDefaults(int slot);
    void ApplySensorDpiDefaults(ProfileRecord& record) const;
    void BuildDpiTables();
    void ChangeSensor(std::uint16_t id);
    void SaveAllProfiles();
    int GetSettingInt(int slot, int index) const;
    void SetSettingInt(int slot, int index, int value);
    // DpiStepTable[XYSetting[level]] × 50 (0 for an index beyond the table).
    int ShownDpi(int slot, int level) const;

    // ---- config.ini (17 positional pairs)
    std::array<ProfileSetting, kIniPairCount> Ini{};
    // Default pairs; the slot paths are built from the data folder.
    std::array<ProfileSetting, kIniPairCount> DefaultIni() const;
    ReadResult ReadSettingsFile(const std::filesystem::path& path);
    bool SaveSettingsFile();
    void SaveCurrentProfileAndSettings();
    // Range-checked accessors: out-of-range hand-edited values fall back to the
    // pair's default, so nothing indexes outside the five records or show list.
    int GetCurrentProfile() const;
    void SetCurrentProfile(int slot);
    int GetShowCount() const;
    void SetShowCount(int count);
    int GetShowList(int position) const;
    void SetShowList(int position, int slot);
    std::filesystem::path GetSlotPath(int slot) const;

    // ---- profile files (93 lines)
    bool WriteProfileFile(int slot, const std::filesystem::path& path) const;
    // On failure the slot is reset to defaults, its previous own file is kept as
    // .bak, the defaults are written to its own path, and the reason is returned.
    ReadResult ReadProfileFile(int slot, const std::filesystem::path& path);

    // ---- start-up
    // Settings file, the five profiles and the sensor check, as at start-up.
    void LoadSettingsModel();

private:
    std::filesystem::path dataFolder_;
};

// Parsers that only validate, for `tarvikctl check` and the fuzzers.
ReadResult CheckSettingsFile(const std::filesystem::path& path);
ReadResult CheckProfileFile(const std::filesystem::path& path);

} // namespace tarvik
