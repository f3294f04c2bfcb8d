// The process-wide settings model: the profile table, the sensor model and the
// config.ini table, with every operation that reads or writes them on disk.
#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/ModelChanges.h"
#include "model/ProfileTable.h"
#include "text/FileResult.h"

namespace tarvik {

// The largest config.ini and profile file a read accepts: far above the
// largest the program writes (a few kilobytes, plus what long names add). A
// larger file is damaged, and is not read.
inline constexpr std::uint64_t kMaxSettingsFileBytes = 1u << 20;
inline constexpr std::uint64_t kMaxProfileFileBytes = 1u << 20;

// Where a profile slot's file is, and whether config.ini named another place.
struct SlotFile {
    std::filesystem::path path; // always <data folder>/config/<file name>
    bool ignored = false;       // the stored path was not used (see SlotFiles)
};

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
    // to the new sensor's defaults, profiles saved, tables built. With a file
    // left alone nothing is saved (SaveRefusal): the next start finds the old
    // sensor in config.ini and resets the DPI levels again.
    FileResult ChangeSensor(std::uint16_t id);
    // Writes the five slot files; the first failure (each is reported).
    FileResult SaveAllProfiles();
    int GetSettingInt(int slot, int index) const;
    void SetSettingInt(int slot, int index, int value);
    // DpiStepTable[XYSetting[level]] × 50 (0 for an index beyond the table).
    int ShownDpi(int slot, int level) const;

    // ---- config.ini (17 positional pairs)
    std::array<ProfileSetting, kIniPairCount> Ini{};
    // Default pairs; the slot paths are built from the data folder.
    std::array<ProfileSetting, kIniPairCount> DefaultIni() const;
    // Reads the file's 17 pairs; nothing changes on failure (a file with fewer
    // pairs is damaged: the writer could not write it back as it was read).
    FileResult ReadSettingsFile(const std::filesystem::path& path);
    // Refuses (NotWritten, reported) a pair with an empty name or value or a
    // line break, which the reader would refuse.
    FileResult SaveSettingsFile();
    // Stores the current slot as "%d" (a hand-edited value outside 0-4 becomes
    // the slot GetCurrentProfile reads) and writes config.ini.
    FileResult SaveCurrentProfileAndSettings();
    // The five profile files, then config.ini, which is written only when they
    // all were (so that it never shows a slot whose file is not written), as
    // after every profile operation and ten seconds after a send. A profile
    // file left alone and changed is refused on its own: it holds back no
    // other file, since no operation shows a slot whose file is left alone.
    FileResult SaveSettingsAndProfiles();
    // Writes the slot's own file (nothing for a slot outside 0-4).
    FileResult SaveProfile(int slot);

    // ---- where the saves are written
    // Without a hand-off, SaveSettingsAndProfiles and SaveProfile write on the
    // calling thread. With one, they pass the model and what is due (kAllSlots:
    // config.ini and the five profiles; a slot: that profile file) to it and
    // return an ok result at once: the hand-off copies what the files need
    // (WritingCopy) and has the copy written elsewhere, whose writer reports the
    // outcome. A program whose UI thread must not wait for the disk sets one;
    // everything that saves through the model (profile operations, imports,
    // sensor changes, the factory reset) then goes the same way, in order.
    using SaveHandOff = std::function<void(const SettingsModel& model, int scope)>;
    void SetSaveHandOff(SaveHandOff handOff) { handOff_ = std::move(handOff); }
    // A model holding what the files need: the data folder, the tables, the
    // files left alone (a refusal is still said once across copies) and whether
    // repairs are allowed; no listeners and no hand-off, so it writes itself.
    std::unique_ptr<SettingsModel> WritingCopy() const;
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
    // The slot's file (empty for a slot outside 0-4): see SlotFiles.
    std::filesystem::path GetSlotPath(int slot) const;
    // The five slot files. A slot file always lies in <data folder>/config/: a
    // stored path there names it (a relative one counts from config/). A path
    // into another folder (a copied data folder still naming the original's
    // files, or anything else), a name without ".psf", another slot's default
    // name, or a name an earlier slot uses is ignored, and the slot's default
    // file "defaultN.psf" serves instead. A model without a data folder has
    // no files (empty paths).
    std::array<SlotFile, kProfileCount> SlotFiles() const;

    // ---- profile files (93 lines)
    // Fails without a report for a slot outside 0-4 or an empty path; refuses
    // (reported) a record whose texts the file could not keep (a line break,
    // an empty setting name).
    FileResult WriteProfileFile(int slot, const std::filesystem::path& path) const;
    // Reads `path` into the slot, as the start-up load does. On failure the
    // slot is reset to defaults and the reason is reported; a missing or
    // damaged own file is then written with the defaults (a damaged one kept
    // as .bak first), and an own file that cannot be read, or not be kept, is
    // left alone (see LeftAlone). The outcome says which of that happened.
    LoadOutcome ReadProfileFile(int slot, const std::filesystem::path& path);

    // ---- import and export of one slot
    // Reads the whole file into a staging record first: a file that is
    // missing, unreadable or damaged changes nothing (the reason is reported
    // and returned). Otherwise the slot takes the record and the profiles and
    // config.ini are saved (NotWritten when a save failed).
    FileResult ImportProfile(int slot, const std::filesystem::path& path);
    FileResult ExportProfile(int slot, const std::filesystem::path& path) const;

    // ---- files left alone
    // A file the load could not read, or could not keep a copy of before
    // replacing it, is never saved over in this run. While the model still
    // holds what the load gave it for that file (the defaults), its save is
    // skipped and counts as done; once that was changed, the save is refused
    // (NotWritten), and said once.
    bool IsLeftAlone(const std::filesystem::path& path) const;
    // Why a change of `slot`'s profile (a slot outside 0-4: none) and, with
    // `settings`, of config.ini could not be saved: the file is left alone.
    // An operation asks before it changes anything and refuses then, so a file
    // left alone fails only the operations that need it, and a refused
    // operation has changed and written nothing. Ok otherwise; not reported.
    FileResult ChangeRefusal(int slot, bool settings) const;
    // The refusal a save of everything would meet (a file left alone whose
    // content changed since the load), reported once; ok when there is none.
    // A change that must reach every file (the sensor change) saves nothing then.
    FileResult SaveRefusal() const;
    // Without repairs (the load could not take the folder's lock) the load
    // replaces no file: damaged ones are left alone as Kept, missing ones are
    // not created. `why` goes into the messages.
    void SetRepairsAllowed(bool allowed, std::string why = {});
    // Every file of the folder left alone, with the model as it is now (the
    // start-up load on a folder it must not touch).
    void LeaveAllFilesAlone(const std::string& why);

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
    template <class T> struct LeftAlone {
        LeftAlone(std::filesystem::path p, T l, std::string w)
            : path(std::move(p)), loaded(std::move(l)), why(std::move(w)),
              reported(std::make_shared<std::atomic<bool>>(false)) {}
        std::filesystem::path path;
        T loaded; // what the load left in memory for the file
        std::string why;
        // Shared by the writing copies, which may report on another thread.
        std::shared_ptr<std::atomic<bool>> reported;
    };
    void ResetRecord(int slot);
    LoadOutcome ReadProfileInto(int slot, const std::filesystem::path& path, bool quietWhenMissing = false);
    template <class T> FileResult RefuseLeftAlone(const LeftAlone<T>& file, const char* what) const;

    std::filesystem::path dataFolder_;
    ModelListeners listeners_;
    SaveHandOff handOff_;
    bool repairs_ = true;
    std::string noRepairs_;
    std::optional<LeftAlone<std::array<ProfileSetting, kIniPairCount>>> settingsLeftAlone_;
    std::array<std::optional<LeftAlone<ProfileRecord>>, kProfileCount> profilesLeftAlone_;
};

// Parsers that only validate, for `tarvikctl check` and the fuzzers. They agree
// with the load: a file they accept loads, and is written back unchanged.
FileResult CheckSettingsFile(const std::filesystem::path& path);
FileResult CheckProfileFile(const std::filesystem::path& path);

// Reads a whole profile file into `record` (every field the file carries; the
// others keep theirs). On failure `record` holds what was read before the fault.
FileResult ReadProfileRecord(const std::filesystem::path& path, ProfileRecord& record);

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
