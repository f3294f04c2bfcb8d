#include "model/SettingsStore.h"

#include "text/Log.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

namespace {

std::string DefaultSlotFileName(int slot) {
    std::string name = "default";
    name += std::to_string(slot);
    name += ".psf";
    return name;
}

bool IsProfileFileName(const std::string& name) {
    if (name.size() <= 4 || name == "." || name == "..") return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == ".psf";
}

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (a == b) return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::string LoadProblem(const char* what, const std::filesystem::path& path, const FileResult& read) {
    std::string message = what;
    message += ' ';
    message += path.string();
    message += ": ";
    message += read.Describe();
    return message;
}

} // namespace

SettingsStore::SettingsStore(std::filesystem::path dataFolder) : dataFolder_(std::move(dataFolder)) {
    // config.ini stores paths in the folder: they must hold from any directory.
    if (!dataFolder_.empty()) {
        std::error_code ec;
        std::filesystem::path abs = std::filesystem::absolute(dataFolder_, ec);
        if (!ec) dataFolder_ = abs.lexically_normal();
    }
}

bool SettingsLoadReport::AllWritten() const {
    if (!settings.write || !sensorCheckSave) return false;
    for (const LoadOutcome& p : profiles)
        if (!p.write) return false;
    return true;
}

// ---------------------------------------------------------------- paths

SettingsPairs SettingsStore::DefaultIni() const {
    SettingsPairs d{};
    d[kIniReserved] = {u"Version", u"1"};
    d[kIniSensor] = {u"Sensor", HexBlank4(kDefaultSensorId)};
    d[kIniPreST] = {u"PreST", HexBlank4(static_cast<std::uint16_t>(~kDefaultSensorId))};
    d[kIniMacId] = {u"Mac_ID", u"0xFFFFFFFF"};
    d[kIniDataChange] = {u"DataChange", u"0x1234"};
    d[kIniCurrentProfile] = {u"CurrentProfile", u"0"};
    d[kIniShowCount] = {u"ProfileShowCount", u"3"};
    for (int i = 0; i < kProfileCount; ++i) {
        d[kIniShowList0 + i] = {u"ProfileShowList" + Dec(i), Dec(i)};
        std::filesystem::path file = ConfigDir() / ("default" + std::to_string(i) + ".psf");
        d[kIniSlotUrl0 + i] = {u"ProfileSlot" + Dec(i) + u"URL", PathToU16(file)};
    }
    return d;
}

std::array<SlotFile, kProfileCount> SettingsStore::SlotFiles(const SettingsTables& tables) const {
    std::array<SlotFile, kProfileCount> files{};
    if (dataFolder_.empty()) return files;
    const std::filesystem::path config = ConfigDir().lexically_normal();
    std::array<std::string, kProfileCount> names{};
    for (int k = 0; k < kProfileCount; ++k) {
        const std::filesystem::path stored = PathFromU16(tables.Ini[kIniSlotUrl0 + k].Value);
        std::string name;
        bool usable = false;
        if (!stored.empty()) {
            const std::filesystem::path p =
                (stored.is_relative() ? config / stored : stored).lexically_normal();
            name = p.filename().string();
            usable = IsProfileFileName(name) && SameFolder(p.parent_path(), config);
        }
        for (int j = 0; usable && j < kProfileCount; ++j) {
            if (j != k && name == DefaultSlotFileName(j)) usable = false;
            if (j < k && name == names[static_cast<std::size_t>(j)]) usable = false;
        }
        names[static_cast<std::size_t>(k)] = usable ? name : DefaultSlotFileName(k);
        files[static_cast<std::size_t>(k)] = {config / names[static_cast<std::size_t>(k)], !usable};
    }
    return files;
}

std::filesystem::path SettingsStore::SlotPath(const SettingsTables& tables, int slot) const {
    if (!IsProfileSlot(slot)) return {};
    return SlotFiles(tables)[static_cast<std::size_t>(slot)].path;
}

// ---------------------------------------------------------------- saves

FileResult SettingsStore::SaveProfile(const SettingsTables& tables, int slot) const {
    if (!IsProfileSlot(slot)) return {};
    return WriteProfileFile(tables, slot, SlotPath(tables, slot));
}

FileResult SettingsStore::SaveAllProfiles(const SettingsTables& tables) const {
    FileResult first;
    const auto files = SlotFiles(tables);
    for (int k = 0; k < kProfileCount; ++k) {
        // A store without a data folder (tables in memory only) has no files.
        if (files[static_cast<std::size_t>(k)].path.empty()) continue;
        FileResult r = WriteProfileFile(tables, k, files[static_cast<std::size_t>(k)].path);
        if (first && !r) first = std::move(r);
    }
    return first;
}

FileResult SettingsStore::SaveSettingsAndProfiles(const SettingsTables& tables) const {
    // config.ini may show a slot (a profile just added) only once its file is
    // written: when a profile file fails, config.ini stays as it was. A file
    // left alone is the exception: no operation shows its slot (they refuse
    // first), so its refusal concerns that slot only.
    FileResult first;
    bool heldBack = false;
    const auto files = SlotFiles(tables);
    for (int k = 0; k < kProfileCount; ++k) {
        const std::filesystem::path& path = files[static_cast<std::size_t>(k)].path;
        if (path.empty()) continue; // a store without a data folder has no files
        FileResult r = WriteProfileFile(tables, k, path);
        if (r) continue;
        heldBack = heldBack || !IsLeftAlone(path);
        if (first) first = std::move(r);
    }
    if (heldBack) return first;
    FileResult settings = SaveSettingsFile(tables.IniAsSaved());
    return first ? std::move(settings) : std::move(first);
}

// ---------------------------------------------------------------- files left alone

bool SettingsStore::IsLeftAlone(const std::filesystem::path& path) const {
    if (settingsLeftAlone_ && settingsLeftAlone_->path == path) return true;
    for (const auto& p : profilesLeftAlone_)
        if (p && p->path == path) return true;
    return false;
}

void SettingsStore::SetRepairsAllowed(bool allowed, std::string why) {
    repairs_ = allowed;
    noRepairs_ = std::move(why);
}

void SettingsStore::LeaveAllFilesAlone(const SettingsTables& tables, const std::string& why) {
    settingsLeftAlone_ = LeftAlone<SettingsPairs>{SettingsPath(), tables.Ini, why};
    const auto files = SlotFiles(tables);
    for (int k = 0; k < kProfileCount; ++k)
        profilesLeftAlone_[static_cast<std::size_t>(k)] = LeftAlone<ProfileRecord>{
            files[static_cast<std::size_t>(k)].path, tables.Profiles[static_cast<std::size_t>(k)], why};
}

FileResult SettingsStore::ChangeRefusal(const SettingsTables& tables, int slot, bool settings) const {
    const auto refusal = [](const char* what, const std::filesystem::path& path, const std::string& why) {
        std::string reason = what;
        reason += ' ';
        reason += path.string();
        reason += " is left as it is in this run: ";
        reason += why;
        reason += "; nothing was changed";
        return FileResult::Failure(FileError::NotWritten, std::move(reason));
    };
    if (IsProfileSlot(slot)) {
        const auto& left = profilesLeftAlone_[static_cast<std::size_t>(slot)];
        if (left && left->path == SlotPath(tables, slot))
            return refusal("profile file", left->path, left->why);
    }
    if (settings && settingsLeftAlone_)
        return refusal("settings file", settingsLeftAlone_->path, settingsLeftAlone_->why);
    return {};
}

FileResult SettingsStore::SaveRefusal(const SettingsTables& tables) const {
    const auto files = SlotFiles(tables);
    for (int k = 0; k < kProfileCount; ++k) {
        const auto& left = profilesLeftAlone_[static_cast<std::size_t>(k)];
        if (left && left->path == files[static_cast<std::size_t>(k)].path &&
            tables.Profiles[static_cast<std::size_t>(k)] != *left->loaded)
            return RefuseLeftAlone(*left, "profile file");
    }
    if (settingsLeftAlone_ && tables.IniAsSaved() != *settingsLeftAlone_->loaded)
        return RefuseLeftAlone(*settingsLeftAlone_, "settings file");
    return {};
}

template <class T>
FileResult SettingsStore::RefuseLeftAlone(const LeftAlone<T>& file, const char* what) const {
    std::string reason = "not saved: ";
    reason += file.why;
    reason += "; the file is left as it is in this run";
    if (!file.reported->exchange(true)) {
        std::string message = what;
        message += ' ';
        message += file.path.string();
        message += ": ";
        message += reason;
        ReportProblem(message);
    }
    return FileResult::Failure(FileError::NotWritten, std::move(reason));
}

template FileResult SettingsStore::RefuseLeftAlone(const LeftAlone<ProfileRecord>&, const char*) const;
template FileResult SettingsStore::RefuseLeftAlone(const LeftAlone<SettingsPairs>&, const char*) const;

// ---------------------------------------------------------------- start-up load

SettingsLoadReport SettingsStore::Load(SettingsTables& tables) {
    SettingsLoadReport report;
    settingsLeftAlone_.reset();
    for (auto& p : profilesLeftAlone_) p.reset();
    const std::filesystem::path settingsPath = SettingsPath();
    LoadOutcome& settings = report.settings;
    settings.read = ReadSettingsFile(settingsPath, tables.Ini);
    if (!settings.read) {
        // config.ini alone is rebuilt: the profile files it named are read below
        // like any others, and those that read correctly stay as they are.
        settings.state = StateAfter(settings.read);
        tables.Ini = DefaultIni();
        std::string message = LoadProblem("settings file", settingsPath, settings.read);
        std::string leftAloneWhy;
        if (settings.state == LoadState::Missing) {
            message.clear(); // a first start: nothing to tell
            if (repairs_) settings.write = SaveSettingsFile(tables.Ini);
        } else if (settings.state == LoadState::Unreadable) {
            leftAloneWhy = "it could not be read at start-up (";
            leftAloneWhy += settings.read.reason;
            leftAloneWhy += ')';
            message += "; defaults in memory, the file is not saved over";
        } else if (!repairs_) {
            settings.state = LoadState::Kept;
            leftAloneWhy = "it is damaged and was not replaced: ";
            leftAloneWhy += noRepairs_;
            message += "; not replaced: ";
            message += noRepairs_;
        } else {
            Backup kept = KeepBackup(settingsPath, kMaxSettingsFileBytes,
                                     UnicodeFileBytes(FormatSettingsText(tables.Ini)));
            if (!kept.result) {
                settings.state = LoadState::Kept;
                leftAloneWhy = "it is damaged, and ";
                leftAloneWhy += kept.result.reason;
                message += "; ";
                message += kept.result.reason;
                message += ", so it is left as it is; defaults in memory";
            } else {
                settings.backup = kept.path;
                settings.write = SaveSettingsFile(tables.Ini);
                message += "; rebuilt with defaults";
                if (!kept.path.empty()) {
                    message += kept.moved ? ", old file moved to " : ", old file kept as ";
                    message += kept.path.string();
                }
                message += "; the profile files are kept";
            }
        }
        if (settings.LeftAlone())
            settingsLeftAlone_ = LeftAlone<SettingsPairs>{settingsPath, tables.Ini, std::move(leftAloneWhy)};
        if (!message.empty()) ReportProblem(message);
    }

    // A slot path into another folder is not followed: the slot's own file in
    // config/ serves, and the pair is mended for the next save.
    const auto files = SlotFiles(tables);
    for (int k = 0; k < kProfileCount && settings.state == LoadState::Loaded; ++k) {
        const SlotFile& f = files[static_cast<std::size_t>(k)];
        if (!f.ignored) continue;
        std::string message = "settings file ";
        message += settingsPath.string();
        message += ": ProfileSlot";
        message += std::to_string(k);
        message += "URL names ";
        message += ToUtf8(tables.Ini[kIniSlotUrl0 + k].Value);
        message += ", which is not a profile file of this data folder; slot ";
        message += std::to_string(k);
        message += " uses ";
        message += f.path.string();
        ReportProblem(message);
        tables.Ini[kIniSlotUrl0 + k].Value = PathToU16(f.path);
    }

    // The sensor is known before the profiles are read, so a profile that falls
    // back to its defaults gets the DPI levels of the configured sensor.
    tables.SensorId = static_cast<std::uint16_t>(ParseHex(tables.Ini[kIniSensor].Value));
    const bool firstStart = settings.state == LoadState::Missing;
    for (int k = 0; k < kProfileCount; ++k)
        report.profiles[static_cast<std::size_t>(k)] =
            ReadProfileFile(tables, k, SlotPath(tables, k), firstStart);
    return report;
}

} // namespace tarvik
