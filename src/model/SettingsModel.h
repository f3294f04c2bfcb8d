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
#include "text/FileResult.h"

namespace tarvik {

// What the start-up load of the settings model did with each of its files.
struct SettingsLoadReport {
    LoadOutcome settings;                            // config.ini
    std::array<LoadOutcome, kProfileCount> profiles; // the five slot files
    // The sensor check found DPI levels set for another sensor: every profile
    // got the configured sensor's defaults, slot 0 became current, all was saved.
    bool sensorCheckReset = false;
    FileResult sensorCheckSave;

    // Every file the load had to write was written.
    bool AllWritten() const;
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

    // Every field of the slot's record to its default (nothing for a slot outside 0-4).
    void ResetProfileToDefaults(int slot);
    void ApplySensorDpiDefaults(ProfileRecord& record) const;
    void BuildDpiTables();
    // The sensor-change sequence: sensor pairs, settings saved, every DPI block
    // to the new sensor's defaults, profiles saved, tables built.
    FileResult ChangeSensor(std::uint16_t id);
    // Writes every slot that has a path; the first failure (each is reported).
    FileResult SaveAllProfiles();
    int GetSettingInt(int slot, int index) const;
    void SetSettingInt(int slot, int index, int value);
    // DpiStepTable[XYSetting[level]] × 50 (0 for an index beyond the table).
    int ShownDpi(int slot, int level) const;

    // ---- config.ini (17 positional pairs)
    std::array<ProfileSetting, kIniPairCount> Ini{};
    // Default pairs; the slot paths are built from the data folder.
    std::array<ProfileSetting, kIniPairCount> DefaultIni() const;
    // Reads the pairs the file holds (the others keep theirs); nothing changes on failure.
    FileResult ReadSettingsFile(const std::filesystem::path& path);
    FileResult SaveSettingsFile();
    // Stores the current slot as "%d" (a hand-edited value outside 0-4 becomes
    // the slot GetCurrentProfile reads) and writes config.ini.
    FileResult SaveCurrentProfileAndSettings();
    // config.ini and the five profile files, as after every profile operation
    // and ten seconds after a send.
    FileResult SaveSettingsAndProfiles();
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
    std::filesystem::path GetSlotPath(int slot) const;

    // ---- profile files (93 lines)
    // Fails without a report for a slot outside 0-4 or an empty path.
    FileResult WriteProfileFile(int slot, const std::filesystem::path& path) const;
    // Reads `path` into the slot. On failure the slot is reset to defaults, its
    // own file is kept as .bak and rewritten with them, and the reason is
    // reported; the outcome says which of that happened.
    LoadOutcome ReadProfileFile(int slot, const std::filesystem::path& path);

    // ---- import and export of one slot
    // ReadProfileFile, then config.ini and all five profiles saved. Fails when
    // the file was refused (how: Missing, Unreadable, Damaged with its line) or
    // when a save failed (NotWritten).
    FileResult ImportProfile(int slot, const std::filesystem::path& path);
    FileResult ExportProfile(int slot, const std::filesystem::path& path) const;

    // ---- start-up
    // Settings file, the five profiles and the sensor check, as at start-up.
    // Each problem met is reported once; the report says what became of each file.
    SettingsLoadReport LoadSettingsModel();

    // ---- change notification
    // The named operations above (reset, sensor change, profile read and
    // import, the start-up load) and those of ProfileSlots and ButtonFunctions
    // notify by themselves. Whoever changes the tables directly calls
    // NotifyChanged with what changed; listeners (the window) repaint only
    // that. kAllSlots: no single profile.
    int AddListener(ModelListener listener) { return listeners_.Add(std::move(listener)); }
    void RemoveListener(int token) { listeners_.Remove(token); }
    void NotifyChanged(int slot, ModelChange what) const { listeners_.Notify(slot, what); }

private:
    void ResetRecord(int slot);
    LoadOutcome ReadProfileInto(int slot, const std::filesystem::path& path);

    std::filesystem::path dataFolder_;
    ModelListeners listeners_;
};

// Parsers that only validate, for `tarvikctl check` and the fuzzers.
FileResult CheckSettingsFile(const std::filesystem::path& path);
FileResult CheckProfileFile(const std::filesystem::path& path);

// The readers on file contents held in memory (the bytes of a whole file,
// byte-order mark included). `pairs` / `record` receive what was read, line by
// line, also when a later line fails; `pairCount` is the number of pairs read.
FileResult ParseSettingsData(std::string_view bytes, std::array<ProfileSetting, kIniPairCount>& pairs,
                             int& pairCount);
FileResult ParseProfileData(std::string_view bytes, ProfileRecord& record);

// The exact text the writers produce, without the byte-order mark.
std::u16string FormatSettingsText(const std::array<ProfileSetting, kIniPairCount>& pairs);
std::u16string FormatProfileText(const ProfileRecord& record);

} // namespace tarvik
