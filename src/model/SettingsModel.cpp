#include "model/SettingsModel.h"

#include "text/Language.h"
#include "text/Log.h"
#include "text/StdioFileEx.h"
#include "text/U16.h"

namespace tarvik {

namespace {

struct DefaultSetting {
    const char16_t* name;
    const char16_t* value;
};

// Settings 1–19; setting 0 is the profile name, taken from the language table.
constexpr DefaultSetting kProfileDefaults[kProfileSettingCount] = {
    {u"ProfileName", u""},
    {u"GameFile0", u""},
    {u"GameFile1", u""},
    {u"GameFile2", u""},
    {u"DoubleClickSpeed", u"6"},
    {u"PointerSpeed", u"5"},
    {u"AccelerationEnable", u"1"},
    {u"ScrollWheelSpeed", u"2"},
    {u"ScrollWheelPageEnable", u"0"},
    {u"TiltSpeed", u"2"},
    {u"Sensitivity_X", u"4"},
    {u"Sensitivity_Y", u"4"},
    {u"XYSynchronous", u"1"},
    {u"X_DPI", u"1"},
    {u"Y_DPI", u"1"},
    {u"MoveLightingOnOffMode", u"0"},
    {u"PowerDownTime", u"6"},
    {u"LiftDetectionHeight", u"2"},
    {u"KeyDebounce", u"12"},
    {u"MotionWakeup", u"1"},
};

constexpr int kKeyNameString[kKeyCount] = {20, 21, 22, 23, 24, 42};
constexpr KeyAction kKeyDefaults[kKeyCount] = {
    {0x10, 0x01, 0x00}, {0x10, 0x02, 0x00}, {0x10, 0x04, 0x00},
    {0x10, 0x10, 0x00}, {0x10, 0x08, 0x00}, {0x40, 0x01, 0x00},
};
constexpr int kProfileNameString = 85;
constexpr int kLightingNameString = 100;

constexpr Colour kIndicationDefaults[kDpiLevels] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF,
                                                    0xFF00FF, 0xFFFF00, 0xFFFFFF, 0xFFFFFF};

bool ValidSlot(int slot) {
    return slot >= 0 && slot < kProfileCount;
}

} // namespace

SettingsModel::SettingsModel(std::filesystem::path dataFolder) : dataFolder_(std::move(dataFolder)) {
    // config.ini stores paths in the folder: they must hold from any directory.
    if (!dataFolder_.empty()) {
        std::error_code ec;
        std::filesystem::path abs = std::filesystem::absolute(dataFolder_, ec);
        if (!ec) dataFolder_ = abs.lexically_normal();
    }
}

// ---------------------------------------------------------------- defaults

void SettingsModel::ResetProfileToDefaults(int slot) {
    if (!ValidSlot(slot)) return;
    ResetRecord(slot);
    NotifyChanged(slot, ModelChange::Profile);
}

void SettingsModel::ResetRecord(int slot) {
    ProfileRecord& r = Profiles[static_cast<std::size_t>(slot)];

    r.Settings[0] = {u"ProfileName", LanguageString(kProfileNameString + slot)};
    for (int i = 1; i < kProfileSettingCount; ++i)
        r.Settings[i] = {kProfileDefaults[i].name, kProfileDefaults[i].value};

    const MacroKey empty;
    for (int k = 0; k < kKeyCount; ++k) {
        KeySlot& key = r.Keys[static_cast<std::size_t>(k)];
        key.Name = LanguageString(kKeyNameString[k]);
        key.Action = kKeyDefaults[k];
        key.AssignMacro(&empty);
        key.MacroKeyIndex = 0;
    }

    r.PollingRateName = u"1000HZ";
    r.PollingRate = {3, 0, 0};

    r.Lighting1OffOn = 1;
    r.Lighting1Name = LanguageString(kLightingNameString);
    r.Lighting1Mode = {1, 0, 0};
    r.Lighting1Speed.fill(1);
    r.Lighting1Brightness = {1, 1, 1, 3, 1, 1, 1, 1, 1, 1};
    for (auto& row : r.Lighting1ColorSelected) row.fill(0);
    for (int c = 0; c <= 6; ++c) r.Lighting1ColorSelected[2][c] = 1;
    r.Lighting1ColorSelected[3][0] = 1;
    for (int c = 0; c <= 7; ++c) r.Lighting1ColorSelected[6][c] = 1;
    r.Lighting1ColorSelected[7][0] = 1;
    r.Lighting1ColorSelected[7][1] = 1;
    for (auto& row : r.Lighting1FixedColor) row.fill(0);
    r.Lighting1FixedColor[2] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFF00, 0x00FFFF,
                                0xFF00FF, 0xFFFFFF, 0,        0,        0};
    r.Lighting1FixedColor[3] = {0xFF00FF, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    r.Lighting1FixedColor[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFFFF00,
                                0xFA00FA, 0xFFFFFF, 0xFF46FA, 0,        0};
    r.Lighting1FixedColor[7] = {0x00FF00, 0x6A00FA, 0, 0, 0, 0, 0, 0, 0, 0};
    r.Lighting1Direction.fill(0);
    r.Lighting1Direction[1] = 1;

    r.Lighting2OffOn = 0;
    r.Lighting2Name = LanguageString(kLightingNameString);
    r.Lighting2Mode = {1, 0, 0};
    r.Lighting2Speed = 0;
    r.Lighting2Brightness = 0;
    r.Lighting2FixedColor = 0;

    ApplySensorDpiDefaults(r);
}

void SettingsModel::ApplySensorDpiDefaults(ProfileRecord& record) const {
    record.DPIOffOnFlag = 0x1F;
    if (const SensorInfo* s = FindSensor(SensorId)) record.XYSetting = s->defaultXY;
    record.CurrentDPILevel = 1;
    std::copy(std::begin(kIndicationDefaults), std::end(kIndicationDefaults),
              record.DPILevelIndication.begin());
    record.AngleSnap = 0;
    record.LiftDetection = 2;
}

void SettingsModel::BuildDpiTables() {
    const SensorInfo* s = FindSensor(SensorId);
    if (!s) return;
    SensorPageEnabled = s->sensorPageEnabled;
    DpiStepCount = static_cast<std::uint32_t>(s->steps.size());
    for (std::size_t i = 0; i < s->steps.size() && i < kDpiTableSize; ++i) {
        DpiStepTable[i] = s->steps[i];
        DpiDeviceCode[i] = static_cast<std::uint16_t>(s->deviceCodePlusOne ? i + 1 : i);
    }
}

FileResult SettingsModel::ChangeSensor(std::uint16_t id) {
    SensorId = id;
    Ini[kIniSensor].Value = HexBlank4(id);
    Ini[kIniPreST].Value = HexBlank4(static_cast<std::uint16_t>(~id));
    // The profiles first: should the run end between the two saves, the next
    // start finds the old "PreST" and resets the DPI levels again.
    for (auto& r : Profiles) ApplySensorDpiDefaults(r);
    FileResult saved = SaveRefusal();
    if (saved) saved = SaveSettingsAndProfiles();
    BuildDpiTables();
    NotifyChanged(kAllSlots, ModelChange::Sensor | ModelChange::Dpi);
    return saved;
}

FileResult SettingsModel::SaveAllProfiles() {
    FileResult first;
    const auto files = SlotFiles();
    for (int k = 0; k < kProfileCount; ++k) {
        // A model without a data folder (in memory only) has no files.
        if (files[static_cast<std::size_t>(k)].path.empty()) continue;
        FileResult r = WriteProfileFile(k, files[static_cast<std::size_t>(k)].path);
        if (first && !r) first = std::move(r);
    }
    return first;
}

int SettingsModel::GetSettingInt(int slot, int index) const {
    if (!ValidSlot(slot) || index < 0 || index >= kProfileSettingCount) return 0;
    return static_cast<int>(ParseDec(Profiles[static_cast<std::size_t>(slot)].Settings[index].Value));
}

void SettingsModel::SetSettingInt(int slot, int index, int value) {
    if (!ValidSlot(slot) || index < 0 || index >= kProfileSettingCount) return;
    Profiles[static_cast<std::size_t>(slot)].Settings[index].Value = Dec(value);
}

int SettingsModel::ShownDpi(int slot, int level) const {
    if (!ValidSlot(slot) || level < 0 || level >= kDpiLevels) return 0;
    std::size_t index = Profiles[static_cast<std::size_t>(slot)].XYSetting[static_cast<std::size_t>(level)];
    if (index >= kDpiTableSize) return 0;
    return static_cast<int>(DpiStepTable[index] * 50);
}

// ---------------------------------------------------------------- settings pairs

std::array<ProfileSetting, kIniPairCount> SettingsModel::DefaultIni() const {
    std::array<ProfileSetting, kIniPairCount> d{};
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

FileResult SettingsModel::SaveCurrentProfileAndSettings() {
    Ini[kIniCurrentProfile].Value = Dec(GetCurrentProfile());
    return SaveSettingsFile();
}

FileResult SettingsModel::SaveSettingsAndProfiles() {
    if (handOff_) {
        // The copy is taken as this thread's save would write it.
        Ini[kIniCurrentProfile].Value = Dec(GetCurrentProfile());
        handOff_(*this, kAllSlots);
        return {};
    }
    // config.ini may show a slot (a profile just added) only once its file is
    // written: when a profile file fails, config.ini stays as it was. A file
    // left alone is the exception: no operation shows its slot (they refuse
    // first), so its refusal concerns that slot only.
    FileResult first;
    bool heldBack = false;
    const auto files = SlotFiles();
    for (int k = 0; k < kProfileCount; ++k) {
        const std::filesystem::path& path = files[static_cast<std::size_t>(k)].path;
        if (path.empty()) continue; // a model without a data folder has no files
        FileResult r = WriteProfileFile(k, path);
        if (r) continue;
        heldBack = heldBack || !IsLeftAlone(path);
        if (first) first = std::move(r);
    }
    if (heldBack) return first;
    FileResult settings = SaveCurrentProfileAndSettings();
    return first ? std::move(settings) : std::move(first);
}

FileResult SettingsModel::SaveProfile(int slot) {
    if (!ValidSlot(slot)) return {};
    if (handOff_) {
        handOff_(*this, slot);
        return {};
    }
    return WriteProfileFile(slot, GetSlotPath(slot));
}

std::unique_ptr<SettingsModel> SettingsModel::WritingCopy() const {
    auto copy = std::make_unique<SettingsModel>(dataFolder_);
    copy->Profiles = Profiles;
    copy->SensorId = SensorId;
    copy->Ini = Ini;
    copy->repairs_ = repairs_;
    copy->noRepairs_ = noRepairs_;
    copy->settingsLeftAlone_ = settingsLeftAlone_;
    copy->profilesLeftAlone_ = profilesLeftAlone_;
    return copy;
}

bool SettingsLoadReport::AllWritten() const {
    if (!settings.write || !sensorCheckSave) return false;
    for (const LoadOutcome& p : profiles)
        if (!p.write) return false;
    return true;
}

namespace {
// A decimal pair read back; hand-edited values outside [lo, hi] give `fallback`.
int PairInRange(const ProfileSetting& pair, int lo, int hi, int fallback) {
    std::int64_t v = ParseDec(pair.Value);
    return v >= lo && v <= hi ? static_cast<int>(v) : fallback;
}
} // namespace

int SettingsModel::GetCurrentProfile() const {
    return PairInRange(Ini[kIniCurrentProfile], 0, kProfileCount - 1, 0);
}

void SettingsModel::SetCurrentProfile(int slot) {
    if (!ValidSlot(slot)) return;
    Ini[kIniCurrentProfile].Value = Dec(slot);
}

int SettingsModel::GetShowCount() const {
    return PairInRange(Ini[kIniShowCount], 1, kProfileCount, 3);
}

void SettingsModel::SetShowCount(int count) {
    Ini[kIniShowCount].Value = Dec(count);
}

int SettingsModel::GetShowList(int position) const {
    if (position < 0 || position >= kProfileCount) return 0;
    return PairInRange(Ini[kIniShowList0 + position], 0, kProfileCount - 1, position);
}

void SettingsModel::SetShowList(int position, int slot) {
    if (position < 0 || position >= kProfileCount) return;
    Ini[kIniShowList0 + position].Value = Dec(slot);
}

std::filesystem::path SettingsModel::GetSlotPath(int slot) const {
    if (!ValidSlot(slot)) return {};
    return SlotFiles()[static_cast<std::size_t>(slot)].path;
}

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

} // namespace

std::array<SlotFile, kProfileCount> SettingsModel::SlotFiles() const {
    std::array<SlotFile, kProfileCount> files{};
    if (dataFolder_.empty()) return files;
    const std::filesystem::path config = ConfigDir().lexically_normal();
    std::array<std::string, kProfileCount> names{};
    for (int k = 0; k < kProfileCount; ++k) {
        const std::filesystem::path stored = PathFromU16(Ini[kIniSlotUrl0 + k].Value);
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

// ---------------------------------------------------------------- files left alone

bool SettingsModel::IsLeftAlone(const std::filesystem::path& path) const {
    if (settingsLeftAlone_ && settingsLeftAlone_->path == path) return true;
    for (const auto& p : profilesLeftAlone_)
        if (p && p->path == path) return true;
    return false;
}

void SettingsModel::SetRepairsAllowed(bool allowed, std::string why) {
    repairs_ = allowed;
    noRepairs_ = std::move(why);
}

void SettingsModel::LeaveAllFilesAlone(const std::string& why) {
    settingsLeftAlone_ = LeftAlone<std::array<ProfileSetting, kIniPairCount>>{SettingsPath(), Ini, why};
    const auto files = SlotFiles();
    for (int k = 0; k < kProfileCount; ++k)
        profilesLeftAlone_[static_cast<std::size_t>(k)] = LeftAlone<ProfileRecord>{
            files[static_cast<std::size_t>(k)].path, Profiles[static_cast<std::size_t>(k)], why};
}

FileResult SettingsModel::ChangeRefusal(int slot, bool settings) const {
    const auto refusal = [](const char* what, const std::filesystem::path& path, const std::string& why) {
        std::string reason = what;
        reason += ' ';
        reason += path.string();
        reason += " is left as it is in this run: ";
        reason += why;
        reason += "; nothing was changed";
        return FileResult::Failure(FileError::NotWritten, std::move(reason));
    };
    if (ValidSlot(slot)) {
        const auto& left = profilesLeftAlone_[static_cast<std::size_t>(slot)];
        if (left && left->path == GetSlotPath(slot)) return refusal("profile file", left->path, left->why);
    }
    if (settings && settingsLeftAlone_)
        return refusal("settings file", settingsLeftAlone_->path, settingsLeftAlone_->why);
    return {};
}

FileResult SettingsModel::SaveRefusal() const {
    const auto files = SlotFiles();
    for (int k = 0; k < kProfileCount; ++k) {
        const auto& left = profilesLeftAlone_[static_cast<std::size_t>(k)];
        if (left && left->path == files[static_cast<std::size_t>(k)].path &&
            Profiles[static_cast<std::size_t>(k)] != left->loaded)
            return RefuseLeftAlone(*left, "profile file");
    }
    if (settingsLeftAlone_) {
        // As the save writes it: the current slot as "%d".
        auto pairs = Ini;
        pairs[kIniCurrentProfile].Value = Dec(GetCurrentProfile());
        if (pairs != settingsLeftAlone_->loaded) return RefuseLeftAlone(*settingsLeftAlone_, "settings file");
    }
    return {};
}

template <class T>
FileResult SettingsModel::RefuseLeftAlone(const LeftAlone<T>& file, const char* what) const {
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

template FileResult SettingsModel::RefuseLeftAlone(const LeftAlone<ProfileRecord>&, const char*) const;
template FileResult
SettingsModel::RefuseLeftAlone(const LeftAlone<std::array<ProfileSetting, kIniPairCount>>&,
                               const char*) const;

// ---------------------------------------------------------------- start-up load

namespace {

std::string LoadProblem(const char* what, const std::filesystem::path& path, const FileResult& read) {
    std::string message = what;
    message += ' ';
    message += path.string();
    message += ": ";
    message += read.Describe();
    return message;
}

} // namespace

SettingsLoadReport SettingsModel::LoadSettingsModel() {
    SettingsLoadReport report;
    settingsLeftAlone_.reset();
    for (auto& p : profilesLeftAlone_) p.reset();
    const std::filesystem::path settingsPath = SettingsPath();
    LoadOutcome& settings = report.settings;
    settings.read = ReadSettingsFile(settingsPath);
    if (!settings.read) {
        // config.ini alone is rebuilt: the profile files it named are read below
        // like any others, and those that read correctly stay as they are.
        settings.state = StateAfter(settings.read);
        Ini = DefaultIni();
        std::string message = LoadProblem("settings file", settingsPath, settings.read);
        std::string leftAloneWhy;
        if (settings.state == LoadState::Missing) {
            message.clear(); // a first start: nothing to tell
            if (repairs_) settings.write = SaveSettingsFile();
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
            Backup kept =
                KeepBackup(settingsPath, kMaxSettingsFileBytes, UnicodeFileBytes(FormatSettingsText(Ini)));
            if (!kept.result) {
                settings.state = LoadState::Kept;
                leftAloneWhy = "it is damaged, and ";
                leftAloneWhy += kept.result.reason;
                message += "; ";
                message += kept.result.reason;
                message += ", so it is left as it is; defaults in memory";
            } else {
                settings.backup = kept.path;
                settings.write = SaveSettingsFile();
                message += "; rebuilt with defaults";
                if (!kept.path.empty()) {
                    message += kept.moved ? ", old file moved to " : ", old file kept as ";
                    message += kept.path.string();
                }
                message += "; the profile files are kept";
            }
        }
        if (settings.LeftAlone())
            settingsLeftAlone_ = LeftAlone<std::array<ProfileSetting, kIniPairCount>>{
                settingsPath, Ini, std::move(leftAloneWhy)};
        if (!message.empty()) ReportProblem(message);
    }

    // A slot path into another folder is not followed: the slot's own file in
    // config/ serves, and the pair is mended for the next save.
    const auto files = SlotFiles();
    for (int k = 0; k < kProfileCount && settings.state == LoadState::Loaded; ++k) {
        const SlotFile& f = files[static_cast<std::size_t>(k)];
        if (!f.ignored) continue;
        std::string message = "settings file ";
        message += settingsPath.string();
        message += ": ProfileSlot";
        message += std::to_string(k);
        message += "URL names ";
        message += ToUtf8(Ini[kIniSlotUrl0 + k].Value);
        message += ", which is not a profile file of this data folder; slot ";
        message += std::to_string(k);
        message += " uses ";
        message += f.path.string();
        ReportProblem(message);
        Ini[kIniSlotUrl0 + k].Value = PathToU16(f.path);
    }

    // The sensor is known before the profiles are read, so a profile that falls
    // back to its defaults gets the DPI levels of the configured sensor.
    SensorId = static_cast<std::uint16_t>(ParseHex(Ini[kIniSensor].Value));
    const bool firstStart = settings.state == LoadState::Missing;
    for (int k = 0; k < kProfileCount; ++k)
        report.profiles[static_cast<std::size_t>(k)] = ReadProfileInto(k, GetSlotPath(k), firstStart);

    // Sensor check: "PreST" holds the complement of the sensor the DPI levels were
    // last set for. A mismatch resets them and makes slot 0 the current profile.
    const auto checked = static_cast<std::uint16_t>(~ParseHex(Ini[kIniPreST].Value));
    if (checked != SensorId) {
        report.sensorCheckReset = true;
        Ini[kIniPreST].Value = HexBlank4(static_cast<std::uint16_t>(~SensorId));
        SetCurrentProfile(0);
        for (auto& r : Profiles) ApplySensorDpiDefaults(r);
        report.sensorCheckSave = SaveSettingsAndProfiles();
    }
    NotifyChanged(kAllSlots, ModelChange::All);
    return report;
}

// ---------------------------------------------------------------- import and export

FileResult SettingsModel::ImportProfile(int slot, const std::filesystem::path& path) {
    if (!ValidSlot(slot)) {
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
        std::string message = LoadProblem("profile file", path, read);
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

FileResult SettingsModel::ExportProfile(int slot, const std::filesystem::path& path) const {
    return WriteProfileFile(slot, path);
}

} // namespace tarvik
