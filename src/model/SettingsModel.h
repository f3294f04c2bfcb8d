// The process-wide settings model: the profile table, the sensor model and the
// config.ini table, with every operation that reads or writes them on disk.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "model/ModelChanges.h"
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
    // The in-memory current slot. It is taken from the "CurrentProfile" pair at the
    // end of the start-up load and written back by SaveCurrentProfileAndSettings.
    int CurrentProfile = 0;
    std::uint16_t SensorId = 0;
    std::array<std::uint32_t, kDpiTableSize> DpiStepTable{};
    std::uint32_t DpiStepCount = 0;
    std::array<std::uint16_t, kDpiTableSize> DpiDeviceCode{};
    bool SensorPageEnabled = false;

    void ResetProfileToDefaults(int slot);
    void ApplySensorDpiDefaults(ProfileRecord& record) const;
    void BuildDpiTables();
    void ChangeSensor(std::uint16_t id);
    // False when a file could not be written (each failure is reported).
    bool SaveAllProfiles();
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
    bool SaveCurrentProfileAndSettings();
    // Range-checked accessors: out-of-range hand-edited values fall back to the
    // pair's default, so nothing indexes outside the five records or show list.
    int GetCurrentProfile() const;
    // Stores "%d" of the slot in the pair and in CurrentProfile (memory only);
    // a number outside 0-4 is ignored.
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

    // ---- import and export of one slot
    // Reads `path` into the slot (a malformed file leaves the slot at its defaults
    // and rewrites its own file, keeping the previous one as .bak), then saves the
    // settings file and all five profiles. The result tells why a file was refused
    // (line > 0 or "cannot be opened") or that the saves failed (line 0).
    ReadResult ImportProfile(int slot, const std::filesystem::path& path);
    // Writes the slot to `path`; false when the file could not be written.
    bool ExportProfile(int slot, const std::filesystem::path& path) const;

    // ---- start-up
    // Settings file, the five profiles and the sensor check, as at start-up.
    void LoadSettingsModel();

    // ---- change notification
    // Whoever changes the tables above calls NotifyChanged with what changed;
    // listeners (the window) repaint only that. kAllSlots: no single profile.
    int AddListener(ModelListener listener) { return listeners_.Add(std::move(listener)); }
    void RemoveListener(int token) { listeners_.Remove(token); }
    void NotifyChanged(int slot, ModelChange what) const { listeners_.Notify(slot, what); }

private:
    std::filesystem::path dataFolder_;
    ModelListeners listeners_;
};

// Parsers that only validate, for `tarvikctl check` and the fuzzers.
ReadResult CheckSettingsFile(const std::filesystem::path& path);
ReadResult CheckProfileFile(const std::filesystem::path& path);

// The readers on file contents held in memory (the bytes of a whole file,
// byte-order mark included). `pairs` / `record` receive what was read, line by
// line, also when a later line fails; `pairCount` is the number of pairs read.
ReadResult ParseSettingsData(std::string_view bytes, std::array<ProfileSetting, kIniPairCount>& pairs,
                             int& pairCount);
ReadResult ParseProfileData(std::string_view bytes, ProfileRecord& record);

// The exact text the writers produce, without the byte-order mark.
std::u16string FormatSettingsText(const std::array<ProfileSetting, kIniPairCount>& pairs);
std::u16string FormatProfileText(const ProfileRecord& record);

} // namespace tarvik
