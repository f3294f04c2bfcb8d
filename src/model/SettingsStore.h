// Where the settings live on disk and how they get there: the data folder's
// config.ini and five slot files, the start-up load with its repairs and
// backups, and the files that load left alone. The store holds no tables: it
// reads into a SettingsTables and writes one. A copy of the store writes as the
// original would (the files left alone, and whether their refusal was said, are
// shared), so a writer thread takes a copy of both.
#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/SettingsTables.h"
#include "text/FileResult.h"

namespace tarvik {

// The largest config.ini and profile file a read accepts: far above the
// largest the program writes (a few kilobytes, plus what long names add). A
// larger file is damaged, and is not read.
inline constexpr std::uint64_t kMaxSettingsFileBytes = 1u << 20;
inline constexpr std::uint64_t kMaxProfileFileBytes = 1u << 20;

using SettingsPairs = std::array<ProfileSetting, kIniPairCount>;

// Where a profile slot's file is, and whether config.ini named another place.
struct SlotFile {
    std::filesystem::path path; // always <data folder>/config/<file name>
    bool ignored = false;       // the stored path was not used (see SlotFiles)
};

// What the start-up load of the settings did with each of its files.
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

class SettingsStore {
public:
    // dataFolder: the per-user data folder; its config/ holds every file. It is
    // made absolute, since config.ini stores paths in it.
    explicit SettingsStore(std::filesystem::path dataFolder = {});

    const std::filesystem::path& DataFolder() const { return dataFolder_; }
    std::filesystem::path ConfigDir() const { return dataFolder_ / "config"; }
    std::filesystem::path SettingsPath() const { return ConfigDir() / "config.ini"; }

    // Default pairs; the slot paths are built from the data folder.
    SettingsPairs DefaultIni() const;
    // The five slot files. A slot file always lies in <data folder>/config/: a
    // stored path there names it (a relative one counts from config/). A path
    // into another folder (a copied data folder still naming the original's
    // files, or anything else), a name without ".psf", another slot's default
    // name, or a name an earlier slot uses is ignored, and the slot's default
    // file "defaultN.psf" serves instead. A store without a data folder has
    // no files (empty paths).
    std::array<SlotFile, kProfileCount> SlotFiles(const SettingsTables& tables) const;
    // The slot's file (empty for a slot outside 0-4).
    std::filesystem::path SlotPath(const SettingsTables& tables, int slot) const;

    // ---- config.ini
    // Reads the file's 17 pairs; nothing changes on failure (a file with fewer
    // pairs is damaged: the writer could not write it back as it was read).
    FileResult ReadSettingsFile(const std::filesystem::path& path, SettingsPairs& pairs) const;
    // Writes the pairs as they are. Refuses (NotWritten, reported) a pair with
    // an empty name or value or a line break, which the reader would refuse.
    FileResult SaveSettingsFile(const SettingsPairs& pairs) const;

    // ---- profile files (93 lines)
    // Fails without a report for a slot outside 0-4 or an empty path; refuses
    // (reported) a record whose texts the file could not keep (a line break,
    // an empty setting name).
    FileResult WriteProfileFile(const SettingsTables& tables, int slot,
                                const std::filesystem::path& path) const;
    // Reads `path` into the slot, as the start-up load does. On failure the
    // slot is reset to defaults and the reason is reported; a missing or
    // damaged own file is then written with the defaults (a damaged one kept
    // as .bak first), and an own file that cannot be read, or not be kept, is
    // left alone. The outcome says which of that happened. quietWhenMissing:
    // a missing own file that could be written is not reported (a first start).
    LoadOutcome ReadProfileFile(SettingsTables& tables, int slot, const std::filesystem::path& path,
                                bool quietWhenMissing = false);

    // ---- saves
    // The slot's own file (nothing for a slot outside 0-4).
    FileResult SaveProfile(const SettingsTables& tables, int slot) const;
    // Writes the five slot files; the first failure (each is reported).
    FileResult SaveAllProfiles(const SettingsTables& tables) const;
    // The five profile files, then config.ini (IniAsSaved), which is written
    // only when they all were (so that it never shows a slot whose file is not
    // written). A profile file left alone and changed is refused on its own:
    // it holds back no other file, since no operation shows a slot whose file
    // is left alone.
    FileResult SaveSettingsAndProfiles(const SettingsTables& tables) const;

    // ---- files left alone
    // A file the load could not read, or could not keep a copy of before
    // replacing it, is never saved over in this run. While the tables still
    // hold what the load gave them for that file (the defaults), its save is
    // skipped and counts as done; once that was changed, the save is refused
    // (NotWritten), and said once.
    bool IsLeftAlone(const std::filesystem::path& path) const;
    // Why a change of `slot`'s profile (a slot outside 0-4: none) and, with
    // `settings`, of config.ini could not be saved: the file is left alone.
    // An operation asks before it changes anything and refuses then, so a file
    // left alone fails only the operations that need it, and a refused
    // operation has changed and written nothing. Ok otherwise; not reported.
    FileResult ChangeRefusal(const SettingsTables& tables, int slot, bool settings) const;
    // The refusal a save of everything would meet (a file left alone whose
    // content changed since the load), reported once; ok when there is none.
    // A change that must reach every file (the sensor change) saves nothing then.
    FileResult SaveRefusal(const SettingsTables& tables) const;
    // Without repairs (the load could not take the folder's lock) the load
    // replaces no file: damaged ones are left alone as Kept, missing ones are
    // not created. `why` goes into the messages.
    void SetRepairsAllowed(bool allowed, std::string why = {});
    // Every file of the folder left alone, with the tables as they are now
    // (the start-up load on a folder it must not touch).
    void LeaveAllFilesAlone(const SettingsTables& tables, const std::string& why);

    // ---- start-up
    // config.ini (rebuilt when missing or damaged), the slot paths (one into
    // another folder is mended), SensorId from config.ini, then the five
    // profile files. Each problem met is reported once; the report says what
    // became of each file. The sensor check (CheckSensor and its save) is the
    // caller's, which saves through its own writer.
    SettingsLoadReport Load(SettingsTables& tables);

private:
    template <class T> struct LeftAlone {
        LeftAlone(std::filesystem::path p, T l, std::string w)
            : path(std::move(p)), loaded(std::make_shared<const T>(std::move(l))), why(std::move(w)),
              reported(std::make_shared<std::atomic<bool>>(false)) {}
        std::filesystem::path path;
        // What the load left in memory for the file; shared, so that copies of
        // the store stay cheap.
        std::shared_ptr<const T> loaded;
        std::string why;
        // Shared by the copies, which may report on another thread.
        std::shared_ptr<std::atomic<bool>> reported;
    };
    template <class T> FileResult RefuseLeftAlone(const LeftAlone<T>& file, const char* what) const;

    std::filesystem::path dataFolder_;
    bool repairs_ = true;
    std::string noRepairs_;
    std::optional<LeftAlone<SettingsPairs>> settingsLeftAlone_;
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
FileResult ParseSettingsData(std::string_view bytes, SettingsPairs& pairs, int& pairCount);
FileResult ParseProfileData(std::string_view bytes, ProfileRecord& record);

// The exact text the writers produce, without the byte-order mark.
std::u16string FormatSettingsText(const SettingsPairs& pairs);
std::u16string FormatProfileText(const ProfileRecord& record);

} // namespace tarvik
