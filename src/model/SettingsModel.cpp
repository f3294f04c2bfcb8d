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

SettingsModel::SettingsModel(std::filesystem::path dataFolder) : dataFolder_(std::move(dataFolder)) {}

// ---------------------------------------------------------------- defaults

void SettingsModel::ResetProfileToDefaults(int slot) {
    if (!ValidSlot(slot)) return;
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

void SettingsModel::ChangeSensor(std::uint16_t id) {
    SensorId = id;
    Ini[kIniSensor].Value = HexBlank4(id);
    Ini[kIniPreST].Value = HexBlank4(static_cast<std::uint16_t>(~id));
    SaveCurrentProfileAndSettings();
    for (auto& r : Profiles) ApplySensorDpiDefaults(r);
    SaveAllProfiles();
    BuildDpiTables();
}

bool SettingsModel::SaveAllProfiles() {
    bool ok = true;
    for (int k = 0; k < kProfileCount; ++k) {
        // A slot without a path (a settings file that names none) is not an error.
        const std::filesystem::path path = GetSlotPath(k);
        if (!path.empty() && !WriteProfileFile(k, path)) ok = false;
    }
    return ok;
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

bool SettingsModel::SaveCurrentProfileAndSettings() {
    Ini[kIniCurrentProfile].Value = Dec(CurrentProfile);
    return SaveSettingsFile();
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
    CurrentProfile = slot;
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
    return PathFromU16(Ini[kIniSlotUrl0 + slot].Value);
}

// ---------------------------------------------------------------- start-up load

void SettingsModel::LoadSettingsModel() {
    const std::filesystem::path settingsPath = SettingsPath();
    ReadResult settings = ReadSettingsFile(settingsPath);
    if (!settings) {
        std::error_code ec;
        const bool existed = std::filesystem::exists(settingsPath, ec);
        if (existed) {
            const std::filesystem::path bak = KeepBackup(settingsPath);
            ReportProblem(
                "settings file " + settingsPath.string() + ": " +
                (settings.line > 0 ? "line " + std::to_string(settings.line) + ": " : std::string()) +
                settings.reason + "; defaults restored" +
                (bak.empty() ? std::string() : ", old file kept as " + bak.string()));
        }
        Ini = DefaultIni();
        SaveSettingsFile();
        SensorId = static_cast<std::uint16_t>(ParseHex(Ini[kIniSensor].Value));
        for (int k = 0; k < kProfileCount; ++k) {
            ResetProfileToDefaults(k);
            // The defaults replace the profiles the damaged settings file pointed
            // at; the user's old files are kept beside them.
            const std::filesystem::path slotPath = GetSlotPath(k);
            if (existed) KeepBackup(slotPath);
            WriteProfileFile(k, slotPath);
        }
    }

    // The sensor is known before the profiles are read, so a profile that falls
    // back to its defaults gets the DPI levels of the configured sensor.
    SensorId = static_cast<std::uint16_t>(ParseHex(Ini[kIniSensor].Value));
    for (int k = 0; k < kProfileCount; ++k) ReadProfileFile(k, GetSlotPath(k));

    // Sensor check: "PreST" holds the complement of the sensor the DPI levels were
    // last set for.
    const auto checked = static_cast<std::uint16_t>(~ParseHex(Ini[kIniPreST].Value));
    if (checked != SensorId) {
        Ini[kIniPreST].Value = HexBlank4(static_cast<std::uint16_t>(~SensorId));
        SaveCurrentProfileAndSettings();
        for (auto& r : Profiles) ApplySensorDpiDefaults(r);
        SaveAllProfiles();
    }
    CurrentProfile = GetCurrentProfile();
}

// ---------------------------------------------------------------- import and export

ReadResult SettingsModel::ImportProfile(int slot, const std::filesystem::path& path) {
    if (!ValidSlot(slot)) return {false, 0, "no profile slot " + std::to_string(slot)};
    ReadResult r = ReadProfileFile(slot, path);
    const bool settingsSaved = SaveCurrentProfileAndSettings();
    const bool profilesSaved = SaveAllProfiles();
    if (r && !(settingsSaved && profilesSaved)) r = {false, 0, "read, but the settings could not be saved"};
    return r;
}

bool SettingsModel::ExportProfile(int slot, const std::filesystem::path& path) const {
    return WriteProfileFile(slot, path);
}

} // namespace tarvik
