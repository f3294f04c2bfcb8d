#include "commands/ProfileEdits.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "model/Lighting.h"
#include "model/PollingRates.h"
#include "model/ProfileRules.h"
#include "model/ProfileSlots.h"
#include "model/SettingsModel.h"
#include "text/U16.h"

namespace tarvik::edits {

namespace {

constexpr int kMinPowerDownMinutes = 1; // the dial shows 1-10; a click on it picks 3-10
constexpr int kMaxPowerDownMinutes = 10;

EditResult Refused(std::string why, Notice notice = Notice::None) {
    EditResult r;
    r.refused = true;
    r.why = std::move(why);
    r.notice = notice;
    return r;
}

std::string OutOfRange(const char* what, int value, int first, int last) {
    std::string why = what;
    why += ' ';
    why += std::to_string(value);
    why += " is not ";
    why += std::to_string(first);
    why += '-';
    why += std::to_string(last);
    return why;
}

ProfileRecord& Record(SettingsModel& model, int slot) {
    return model.Profiles[static_cast<std::size_t>(slot)];
}

// Stores `value` into `field`; when it differed the listeners hear `what` and
// the result asks for `send`.
template <typename T, typename V>
EditResult Store(SettingsModel& model, int slot, T& field, const V& value, ModelChange what,
                 SendGroups send) {
    EditResult r;
    if (field == value) return r;
    field = value;
    r.changed = what;
    r.send = send;
    model.NotifyChanged(slot, what);
    return r;
}

// One of the profile's ordered settings, as its decimal text.
EditResult StoreSetting(SettingsModel& model, int slot, int index, int value, SendGroups send) {
    ProfileSetting& setting = Record(model, slot).Settings[static_cast<std::size_t>(index)];
    const std::u16string before = setting.Value;
    model.SetSettingInt(slot, index, value);
    EditResult r;
    if (setting.Value == before) return r;
    r.changed = ModelChange::Settings;
    r.send = send;
    model.NotifyChanged(slot, r.changed);
    return r;
}

// The effect whose speed, brightness, colours and direction the panel shows.
std::size_t CurrentEffect(const ProfileRecord& rec) {
    return std::min<std::size_t>(rec.Lighting1Mode[0], kEffects - 1);
}

} // namespace

// ---- DPI levels

EditResult SetLevelValue(SettingsModel& model, int slot, int level, int stepIndex) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (level < 0 || level >= kDpiLevels) return Refused(OutOfRange("DPI level", level, 0, kDpiLevels - 1));
    const int steps = static_cast<int>(std::min<std::size_t>(model.DpiStepCount, kDpiTableSize));
    if (steps <= 0) return Refused("the sensor has no DPI steps");
    if (stepIndex < 0 || stepIndex >= steps) return Refused(OutOfRange("DPI step", stepIndex, 0, steps - 1));
    return Store(model, slot, Record(model, slot).XYSetting[static_cast<std::size_t>(level)],
                 static_cast<std::uint16_t>(stepIndex), ModelChange::Dpi, SendGroup::MainSettings);
}

EditResult SetLevelEnabled(SettingsModel& model, int slot, int level, bool enabled) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (level < 0 || level >= kDpiLevels) return Refused(OutOfRange("DPI level", level, 0, kDpiLevels - 1));
    ProfileRecord& rec = Record(model, slot);
    const auto bit = static_cast<std::uint8_t>(1u << level);
    if (((rec.DPIOffOnFlag & bit) != 0) == enabled) return {};
    const LevelCheckOutcome outcome = AfterLevelCheck(rec.DPIOffOnFlag, rec.CurrentDPILevel, level, enabled);
    if (outcome.refused) return Refused("the only enabled DPI level stays enabled");
    rec.DPIOffOnFlag = enabled ? rec.DPIOffOnFlag | bit : rec.DPIOffOnFlag & ~bit;
    rec.CurrentDPILevel = static_cast<std::uint8_t>(std::clamp(outcome.ordinal, 0, 255));
    EditResult r;
    r.changed = ModelChange::Dpi;
    r.send = SendGroup::MainSettings;
    model.NotifyChanged(slot, r.changed);
    return r;
}

EditResult SetLevelColour(SettingsModel& model, int slot, int level, Colour colour) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (level < 0 || level >= kDpiLevels) return Refused(OutOfRange("DPI level", level, 0, kDpiLevels - 1));
    if (colour > 0xFFFFFFu) return Refused("a colour has three bytes");
    return Store(model, slot, Record(model, slot).DPILevelIndication[static_cast<std::size_t>(level)], colour,
                 ModelChange::Dpi, SendGroup::MainSettings);
}

EditResult SetCurrentLevel(SettingsModel& model, int slot, int ordinal) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    ProfileRecord& rec = Record(model, slot);
    // A mask of 0 (only a hand-edited file has one) counts as level 0 enabled.
    const int enabled = rec.DPIOffOnFlag == 0 ? 1 : std::popcount(rec.DPIOffOnFlag);
    if (ordinal < 0 || ordinal >= enabled)
        return Refused(OutOfRange("current DPI level", ordinal, 0, enabled - 1));
    return Store(model, slot, rec.CurrentDPILevel, static_cast<std::uint8_t>(ordinal), ModelChange::Dpi,
                 SendGroup::MainSettings);
}

// ---- polling rate

EditResult SetPollingRate(SettingsModel& model, int slot, int rateIndex) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    const int rates = static_cast<int>(kPollingRates.size());
    if (rateIndex < 0 || rateIndex >= rates)
        return Refused(OutOfRange("polling rate", rateIndex, 0, rates - 1));
    ProfileRecord& rec = Record(model, slot);
    const PollingRateRow& row = PollingRateAt(rateIndex);
    EditResult r;
    if (rec.PollingRate == std::array<std::uint8_t, 3>{row.index, 0, 0} && rec.PollingRateName == row.name)
        return r;
    StorePollingRate(rec, row);
    r.changed = ModelChange::Polling;
    r.send = SendGroup::MainSettings;
    model.NotifyChanged(slot, r.changed);
    return r;
}

// ---- lighting

EditResult SetLightingEffect(SettingsModel& model, int slot, int effect, const std::u16string& name) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (LightingEffectNameString(effect) == 0) {
        std::string why = "lighting effect ";
        why += std::to_string(effect);
        why += " is not one of the menu's";
        return Refused(why);
    }
    if (HasLineBreak(name)) return Refused("an effect's name cannot hold a line break");
    ProfileRecord& rec = Record(model, slot);
    EditResult r;
    if (rec.Lighting1Mode[0] == effect && rec.Lighting1Name == name) return r;
    rec.Lighting1Mode[0] = static_cast<std::uint8_t>(effect);
    rec.Lighting1Name = name;
    r.changed = ModelChange::Lighting;
    r.send = SendGroup::MainSettings;
    model.NotifyChanged(slot, r.changed);
    return r;
}

EditResult SetLightingSpeed(SettingsModel& model, int slot, int stop) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (stop < 0 || stop >= kSpeedStops)
        return Refused(OutOfRange("lighting speed", stop, 0, kSpeedStops - 1));
    ProfileRecord& rec = Record(model, slot);
    return Store(model, slot, rec.Lighting1Speed[CurrentEffect(rec)], static_cast<std::uint8_t>(stop),
                 ModelChange::Lighting, SendGroup::MainSettings);
}

EditResult SetLightingBrightness(SettingsModel& model, int slot, int stop) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (stop < 0 || stop >= kBrightnessStops)
        return Refused(OutOfRange("lighting brightness", stop, 0, kBrightnessStops - 1));
    ProfileRecord& rec = Record(model, slot);
    return Store(model, slot, rec.Lighting1Brightness[CurrentEffect(rec)], static_cast<std::uint8_t>(stop),
                 ModelChange::Lighting, SendGroup::MainSettings);
}

EditResult SetLightingDirection(SettingsModel& model, int slot, bool up) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    ProfileRecord& rec = Record(model, slot);
    return Store(model, slot, rec.Lighting1Direction[CurrentEffect(rec)],
                 static_cast<std::uint8_t>(up ? 1 : 0), ModelChange::Lighting, SendGroup::MainSettings);
}

EditResult SetLightingColour(SettingsModel& model, int slot, int colourSlot, Colour colour) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (colourSlot < 0 || colourSlot >= kColourSlots)
        return Refused(OutOfRange("colour slot", colourSlot, 0, kColourSlots - 1));
    if (colour > 0xFFFFFFu) return Refused("a colour has three bytes");
    ProfileRecord& rec = Record(model, slot);
    return Store(model, slot,
                 rec.Lighting1FixedColor[CurrentEffect(rec)][static_cast<std::size_t>(colourSlot)], colour,
                 ModelChange::Lighting, SendGroup::MainSettings);
}

EditResult SetLightingColourSelected(SettingsModel& model, int slot, int colourSlot, bool selected) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (colourSlot < 0 || colourSlot >= kColourSlots)
        return Refused(OutOfRange("colour slot", colourSlot, 0, kColourSlots - 1));
    ProfileRecord& rec = Record(model, slot);
    const std::size_t effect = CurrentEffect(rec);
    auto& chosen = rec.Lighting1ColorSelected[effect];
    const auto k = static_cast<std::size_t>(colourSlot);
    if ((chosen[k] != 0) == selected) return {};
    if (!selected && !MayDeselect(static_cast<int>(effect), chosen, colourSlot)) {
        return Refused("the effect needs the colours it has selected",
                       ColourRuleFor(static_cast<int>(effect)).notice);
    }
    chosen[k] = selected ? 1 : 0;
    EditResult r;
    r.changed = ModelChange::Lighting;
    r.send = SendGroup::MainSettings;
    model.NotifyChanged(slot, r.changed);
    return r;
}

// ---- ordered settings

EditResult SetLiftOff(SettingsModel& model, int slot, bool low) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    return StoreSetting(model, slot, kSetLiftDetectionHeight, low ? 1 : 2, SendGroup::MainSettings);
}

EditResult SetPowerDownTime(SettingsModel& model, int slot, int minutes) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (minutes < kMinPowerDownMinutes || minutes > kMaxPowerDownMinutes)
        return Refused(OutOfRange("power-down time", minutes, kMinPowerDownMinutes, kMaxPowerDownMinutes));
    return StoreSetting(model, slot, kSetPowerDownTime, minutes, SendGroup::PowerOptions);
}

EditResult SetLightOnMove(SettingsModel& model, int slot, bool on) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    return StoreSetting(model, slot, kSetMoveLightingOnOffMode, on ? 1 : 0, SendGroup::PowerOptions);
}

EditResult SetMotionWakeup(SettingsModel& model, int slot, bool on) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    return StoreSetting(model, slot, kSetMotionWakeup, on ? 1 : 0, SendGroup::MotionWakeup);
}

EditResult NormaliseHiddenSettings(SettingsModel& model, int slot) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    ProfileRecord& rec = Record(model, slot);
    const auto before = rec.Settings;
    for (const int index : {int{kSetAccelerationEnable}, int{kSetScrollWheelPageEnable}})
        if (rec.Settings[static_cast<std::size_t>(index)].Value != u"1") model.SetSettingInt(slot, index, 0);
    const int xDpi = model.GetSettingInt(slot, kSetXDpi);
    if (xDpi < 0 || xDpi > 5) model.SetSettingInt(slot, kSetXDpi, 6);
    model.SetSettingInt(slot, kSetKeyDebounce, 2 * (model.GetSettingInt(slot, kSetKeyDebounce) / 2));
    EditResult r;
    if (rec.Settings == before) return r;
    // Of these only the debounce time reaches the mouse, with the main settings.
    r.changed = ModelChange::Settings;
    r.send = SendGroup::MainSettings;
    model.NotifyChanged(slot, r.changed);
    return r;
}

// ---- buttons

EditResult AssignFunction(SettingsModel& model, int slot, int button, const ButtonChoice& choice,
                          const MacroKey* macro) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    if (button < 0 || button >= kKeyCount) return Refused(OutOfRange("button", button, 0, kKeyCount - 1));
    if (HasLineBreak(choice.name)) return Refused("a function's name cannot hold a line break");
    ProfileRecord& rec = Record(model, slot);
    const KeySlot before = rec.Keys[static_cast<std::size_t>(button)];
    const AssignOutcome outcome = AssignButtonWithRule(rec, kFirstButtonControl + button, choice, macro);
    EditResult r;
    r.notice = outcome.Notice();
    if (rec.Keys[static_cast<std::size_t>(button)] == before) return r;
    r.changed = ModelChange::Buttons;
    // A button put back is what the mouse holds already: nothing is sent.
    if (!outcome.reverted) r.send = SendGroup::Buttons;
    model.NotifyChanged(slot, r.changed);
    return r;
}

// ---- profiles

EditResult SelectProfile(SettingsModel& model, int slot) {
    if (!IsProfileSlot(slot)) return Refused(OutOfRange("profile slot", slot, 0, kProfileCount - 1));
    const SlotResult selected = tarvik::SelectProfile(model, slot);
    EditResult r;
    if (!selected.changed) return Refused("the profile could not be selected");
    r.changed = ModelChange::CurrentSlot;
    r.send = SendGroupsFor(r.changed);
    return r;
}

} // namespace tarvik::edits
