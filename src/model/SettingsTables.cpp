#include "model/SettingsTables.h"

#include "text/Language.h"
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

} // namespace

void SettingsTables::ResetProfileToDefaults(int slot) {
    if (!IsProfileSlot(slot)) return;
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

void SettingsTables::ApplySensorDpiDefaults(ProfileRecord& record) const {
    record.DPIOffOnFlag = 0x1F;
    if (const SensorInfo* s = FindSensor(SensorId)) record.XYSetting = s->defaultXY;
    record.CurrentDPILevel = 1;
    std::copy(std::begin(kIndicationDefaults), std::end(kIndicationDefaults),
              record.DPILevelIndication.begin());
    record.AngleSnap = 0;
    record.LiftDetection = 2;
}

void SettingsTables::BuildDpiTables() {
    const SensorInfo* s = FindSensor(SensorId);
    if (!s) return;
    SensorPageEnabled = s->sensorPageEnabled;
    DpiStepCount = static_cast<std::uint32_t>(s->steps.size());
    for (std::size_t i = 0; i < s->steps.size() && i < kDpiTableSize; ++i) {
        DpiStepTable[i] = s->steps[i];
        DpiDeviceCode[i] = static_cast<std::uint16_t>(s->deviceCodePlusOne ? i + 1 : i);
    }
}

void SettingsTables::SetSensor(std::uint16_t id) {
    SensorId = id;
    Ini[kIniSensor].Value = HexBlank4(id);
    Ini[kIniPreST].Value = HexBlank4(static_cast<std::uint16_t>(~id));
    for (auto& r : Profiles) ApplySensorDpiDefaults(r);
}

bool SettingsTables::CheckSensor() {
    const auto checked = static_cast<std::uint16_t>(~ParseHex(Ini[kIniPreST].Value));
    if (checked == SensorId) return false;
    Ini[kIniPreST].Value = HexBlank4(static_cast<std::uint16_t>(~SensorId));
    SetCurrentProfile(0);
    for (auto& r : Profiles) ApplySensorDpiDefaults(r);
    return true;
}

int SettingsTables::GetSettingInt(int slot, int index) const {
    if (!IsProfileSlot(slot) || index < 0 || index >= kProfileSettingCount) return 0;
    return static_cast<int>(ParseDec(Profiles[static_cast<std::size_t>(slot)].Settings[index].Value));
}

void SettingsTables::SetSettingInt(int slot, int index, int value) {
    if (!IsProfileSlot(slot) || index < 0 || index >= kProfileSettingCount) return;
    Profiles[static_cast<std::size_t>(slot)].Settings[index].Value = Dec(value);
}

int SettingsTables::ShownDpi(int slot, int level) const {
    if (!IsProfileSlot(slot) || level < 0 || level >= kDpiLevels) return 0;
    std::size_t index = Profiles[static_cast<std::size_t>(slot)].XYSetting[static_cast<std::size_t>(level)];
    if (index >= kDpiTableSize) return 0;
    return static_cast<int>(DpiStepTable[index] * 50);
}

namespace {
// A decimal pair read back; hand-edited values outside [lo, hi] give `fallback`.
int PairInRange(const ProfileSetting& pair, int lo, int hi, int fallback) {
    std::int64_t v = ParseDec(pair.Value);
    return v >= lo && v <= hi ? static_cast<int>(v) : fallback;
}
} // namespace

int SettingsTables::GetCurrentProfile() const {
    return PairInRange(Ini[kIniCurrentProfile], 0, kProfileCount - 1, 0);
}

void SettingsTables::SetCurrentProfile(int slot) {
    if (!IsProfileSlot(slot)) return;
    Ini[kIniCurrentProfile].Value = Dec(slot);
}

int SettingsTables::GetShowCount() const {
    return PairInRange(Ini[kIniShowCount], 1, kProfileCount, 3);
}

void SettingsTables::SetShowCount(int count) {
    Ini[kIniShowCount].Value = Dec(count);
}

int SettingsTables::GetShowList(int position) const {
    if (position < 0 || position >= kProfileCount) return 0;
    return PairInRange(Ini[kIniShowList0 + position], 0, kProfileCount - 1, position);
}

void SettingsTables::SetShowList(int position, int slot) {
    if (position < 0 || position >= kProfileCount) return;
    Ini[kIniShowList0 + position].Value = Dec(slot);
}

std::array<ProfileSetting, kIniPairCount> SettingsTables::IniAsSaved() const {
    auto pairs = Ini;
    pairs[kIniCurrentProfile].Value = Dec(GetCurrentProfile());
    return pairs;
}

} // namespace tarvik
