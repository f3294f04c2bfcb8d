// The settings the program holds: the tables (SettingsTables, which the model
// is), the store that reads and writes them (SettingsStore), the listeners that
// hear each change, and where the saves are written. The named operations
// below combine the two and notify.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "model/ModelChanges.h"
#include "model/SettingsStore.h"
#include "model/SettingsTables.h"
#include "text/FileResult.h"

namespace tarvik {

// The tables are the model's own members (model.Profiles, model.Ini, ...), so
// that everything that reads or edits them does so directly; a copy of the
// tables is `SettingsTables copy = model.Tables();`.
class SettingsModel : public SettingsTables {
public:
    // dataFolder: the per-user data folder; its config/ holds every file.
    explicit SettingsModel(std::filesystem::path dataFolder = {});

    SettingsTables& Tables() { return *this; }
    const SettingsTables& Tables() const { return *this; }
    const SettingsStore& Store() const { return store_; }

    const std::filesystem::path& DataFolder() const { return store_.DataFolder(); }
    std::filesystem::path ConfigDir() const { return store_.ConfigDir(); }
    std::filesystem::path SettingsPath() const { return store_.SettingsPath(); }

    // ---- profile table
    // SettingsTables' reset, then the listeners hear of it.
    void ResetProfileToDefaults(int slot);
    // The sensor-change sequence: sensor pairs, every DPI block to the new
    // sensor's defaults, the profiles and config.ini saved, tables built. With
    // a file left alone nothing is saved (SaveRefusal): the next start finds
    // the old sensor in config.ini and resets the DPI levels again.
    FileResult ChangeSensor(std::uint16_t id);
    // Writes the five slot files; the first failure (each is reported).
    FileResult SaveAllProfiles() const { return store_.SaveAllProfiles(*this); }

    // ---- config.ini
    SettingsPairs DefaultIni() const { return store_.DefaultIni(); }
    // Reads the file's pairs into Ini (see SettingsStore::ReadSettingsFile).
    FileResult ReadSettingsFile(const std::filesystem::path& path) {
        return store_.ReadSettingsFile(path, Ini);
    }
    // Writes Ini as it is (see SettingsStore::SaveSettingsFile).
    FileResult SaveSettingsFile() const { return store_.SaveSettingsFile(Ini); }
    // Stores the current slot as "%d" (a hand-edited value outside 0-4 becomes
    // the slot GetCurrentProfile reads) and writes config.ini.
    FileResult SaveCurrentProfileAndSettings();
    // The current slot stored as "%d", then the five profile files and
    // config.ini (SettingsStore::SaveSettingsAndProfiles), as after every
    // profile operation and ten seconds after a send.
    FileResult SaveSettingsAndProfiles();
    // Writes the slot's own file (nothing for a slot outside 0-4).
    FileResult SaveProfile(int slot);

    // ---- where the saves are written
    // Without a hand-off, SaveSettingsAndProfiles and SaveProfile write on the
    // calling thread. With one, they pass the model and what is due (kAllSlots:
    // config.ini and the five profiles; a slot: that profile file) to it and
    // return an ok result at once: the hand-off copies what the files need
    // (Tables() and Store()) and has the copy written elsewhere, whose writer
    // reports the outcome. A program whose UI thread must not wait for the disk
    // sets one; everything that saves through the model (profile operations,
    // imports, sensor changes, the factory reset) then goes the same way, in order.
    using SaveHandOff = std::function<void(const SettingsModel& model, int scope)>;
    void SetSaveHandOff(SaveHandOff handOff) { handOff_ = std::move(handOff); }

    // The slot's file (empty for a slot outside 0-4): see SettingsStore::SlotFiles.
    std::filesystem::path GetSlotPath(int slot) const { return store_.SlotPath(*this, slot); }
    std::array<SlotFile, kProfileCount> SlotFiles() const { return store_.SlotFiles(*this); }

    // ---- profile files
    FileResult WriteProfileFile(int slot, const std::filesystem::path& path) const {
        return store_.WriteProfileFile(*this, slot, path);
    }
    // SettingsStore::ReadProfileFile, then the listeners hear of the slot.
    LoadOutcome ReadProfileFile(int slot, const std::filesystem::path& path);

    // ---- import and export of one slot
    // Reads the whole file into a staging record first: a file that is
    // missing, unreadable or damaged changes nothing (the reason is reported
    // and returned). Otherwise the slot takes the record and the profiles and
    // config.ini are saved (NotWritten when a save failed). A slot whose own
    // file is left alone refuses the import.
    FileResult ImportProfile(int slot, const std::filesystem::path& path);
    FileResult ExportProfile(int slot, const std::filesystem::path& path) const {
        return WriteProfileFile(slot, path);
    }

    // ---- files left alone (see SettingsStore)
    bool IsLeftAlone(const std::filesystem::path& path) const { return store_.IsLeftAlone(path); }
    FileResult ChangeRefusal(int slot, bool settings) const {
        return store_.ChangeRefusal(*this, slot, settings);
    }
    FileResult SaveRefusal() const { return store_.SaveRefusal(*this); }
    void SetRepairsAllowed(bool allowed, std::string why = {}) {
        store_.SetRepairsAllowed(allowed, std::move(why));
    }
    void LeaveAllFilesAlone(const std::string& why) { store_.LeaveAllFilesAlone(*this, why); }

    // ---- start-up
    // Settings file, the five profiles (SettingsStore::Load) and the sensor
    // check, whose save goes where the model's saves go. Each problem met is
    // reported once; the report says what became of each file.
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
    SettingsStore store_;
    ModelListeners listeners_;
    SaveHandOff handOff_;
};

} // namespace tarvik
