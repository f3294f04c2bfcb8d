#include "model/SettingsModel.h"

#include "text/Log.h"

namespace tarvik {

SettingsModel::SettingsModel(std::filesystem::path dataFolder) : store_(std::move(dataFolder)) {}

void SettingsModel::ResetProfileToDefaults(int slot) {
    if (slot < 0 || slot >= kProfileCount) return;
    SettingsTables::ResetProfileToDefaults(slot);
    NotifyChanged(slot, ModelChange::Profile);
}

FileResult SettingsModel::ChangeSensor(std::uint16_t id) {
    // The profiles first: should the run end between the two saves, the next
    // start finds the old "PreST" and resets the DPI levels again.
    SetSensor(id);
    FileResult saved = SaveRefusal();
    if (saved) saved = SaveSettingsAndProfiles();
    BuildDpiTables();
    NotifyChanged(kAllSlots, ModelChange::Sensor | ModelChange::Dpi);
    return saved;
}

FileResult SettingsModel::SaveCurrentProfileAndSettings() {
    SetCurrentProfile(GetCurrentProfile());
    return store_.SaveSettingsFile(Ini);
}

FileResult SettingsModel::SaveSettingsAndProfiles() {
    // Stored before the copy or the write, so that both write what this
    // model holds.
    SetCurrentProfile(GetCurrentProfile());
    if (handOff_) {
        handOff_(*this, kAllSlots);
        return {};
    }
    return store_.SaveSettingsAndProfiles(*this);
}

FileResult SettingsModel::SaveProfile(int slot) {
    if (slot < 0 || slot >= kProfileCount) return {};
    if (handOff_) {
        handOff_(*this, slot);
        return {};
    }
    return store_.SaveProfile(*this, slot);
}

LoadOutcome SettingsModel::ReadProfileFile(int slot, const std::filesystem::path& path) {
    LoadOutcome out = store_.ReadProfileFile(*this, slot, path);
    if (slot >= 0 && slot < kProfileCount) NotifyChanged(slot, ModelChange::Profile);
    return out;
}

SettingsLoadReport SettingsModel::LoadSettingsModel() {
    SettingsLoadReport report = store_.Load(*this);
    if (CheckSensor()) {
        report.sensorCheckReset = true;
        report.sensorCheckSave = SaveSettingsAndProfiles();
    }
    NotifyChanged(kAllSlots, ModelChange::All);
    return report;
}

FileResult SettingsModel::ImportProfile(int slot, const std::filesystem::path& path) {
    if (slot < 0 || slot >= kProfileCount) {
        std::string reason = "no profile slot ";
        reason += std::to_string(slot);
        return FileResult::Failure(FileError::Missing, std::move(reason));
    }
    // A slot whose own file is left alone cannot take the profile.
    if (FileResult refused = ChangeRefusal(slot, false); !refused) {
        std::string message = "profile file ";
        message += path.string();
        message += ": not imported into slot ";
        message += std::to_string(slot);
        message += ": ";
        message += refused.reason;
        ReportProblem(message);
        return refused;
    }
    // The whole file is read into a copy first (the macro header fields the file
    // does not carry keep theirs); a file that fails changes nothing.
    ProfileRecord staged = Profiles[static_cast<std::size_t>(slot)];
    FileResult read = ReadProfileRecord(path, staged);
    if (!read) {
        std::string message = "profile file ";
        message += path.string();
        message += ": ";
        message += read.Describe();
        message += "; not imported, slot ";
        message += std::to_string(slot);
        message += " is unchanged";
        ReportProblem(message);
        return read;
    }
    Profiles[static_cast<std::size_t>(slot)] = std::move(staged);
    NotifyChanged(slot, ModelChange::Profile);
    return SaveSettingsAndProfiles();
}

} // namespace tarvik
