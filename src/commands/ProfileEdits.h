// Every change a user makes to a profile, one function per intent, shared by
// the window's controls and tarvikctl's commands. Each checks its input and
// applies its rule once, changes the slot's record in the model, tells the
// model's listeners exactly what changed (SettingsModel::NotifyChanged), and
// returns the send groups the caller requests for it. A refused intent
// changes nothing, notifies nothing and says why; an intent that finds the
// record as asked changes nothing and asks for no send.
//
// The mouse's own level and rate reports reach the model through
// TakeLevelAndRateFromMouse (model/ProfileRules.h), which the device
// controller calls and which applies the same polling-rate rule as
// SetPollingRate.
#pragma once

#include <cstdint>
#include <string>

#include "device/ReportCache.h"
#include "macro/ButtonFunctions.h"
#include "model/ModelChanges.h"
#include "model/ProfileTable.h"
#include "text/Notices.h"

namespace tarvik {
class SettingsModel;
class MacroKey;
} // namespace tarvik

namespace tarvik::edits {

struct [[nodiscard]] EditResult {
    ModelChange changed = ModelChange::None; // what the listeners were told
    SendGroups send;                         // what the caller requests to send
    bool refused = false;                    // nothing changed: `why` says why
    std::string why;
    // What the window shows: a refusal's notice, or LeftButtonKept when the
    // left-button rule put an assigned button back.
    Notice notice = Notice::None;

    bool Changed() const { return Any(changed); }
};

// ---- DPI levels (level 0-7 of the eight a profile holds)

// The level's value as an index into the sensor's step table; an index the
// table lacks is refused.
EditResult SetLevelValue(SettingsModel& model, int slot, int level, int stepIndex);
// Enables or disables a level; the current level keeps naming the same level
// where it can (AfterLevelCheck). Disabling the only enabled level is refused.
EditResult SetLevelEnabled(SettingsModel& model, int slot, int level, bool enabled);
// The level's indicator colour (0x00BBGGRR).
EditResult SetLevelColour(SettingsModel& model, int slot, int level, Colour colour);
// The current level, an ordinal among the enabled levels.
EditResult SetCurrentLevel(SettingsModel& model, int slot, int ordinal);

// ---- polling rate: the index of kPollingRates (0-3)
EditResult SetPollingRate(SettingsModel& model, int slot, int rateIndex);

// ---- lighting. Speed, brightness, colours and direction belong to the
// current effect (Lighting1Mode[0]); each effect keeps its own.

// An effect of the menu (kLightingEffects) and the name the menu shows for it.
EditResult SetLightingEffect(SettingsModel& model, int slot, int effect, const std::u16string& name);
EditResult SetLightingSpeed(SettingsModel& model, int slot, int stop);      // 0 - kSpeedStops-1
EditResult SetLightingBrightness(SettingsModel& model, int slot, int stop); // 0 - kBrightnessStops-1
EditResult SetLightingDirection(SettingsModel& model, int slot, bool up);
// Colour slot k (0-9) of the current effect.
EditResult SetLightingColour(SettingsModel& model, int slot, int colourSlot, Colour colour);
// Selects or deselects colour slot k of the current effect; a deselection
// that would leave the effect with too few colours is refused with the
// effect's notice (MayDeselect).
EditResult SetLightingColourSelected(SettingsModel& model, int slot, int colourSlot, bool selected);

// ---- the profile's ordered settings
EditResult SetLiftOff(SettingsModel& model, int slot, bool low);
EditResult SetPowerDownTime(SettingsModel& model, int slot, int minutes); // 1-10, as the dial shows
EditResult SetLightOnMove(SettingsModel& model, int slot, bool on);
EditResult SetMotionWakeup(SettingsModel& model, int slot, bool on);
// The settings the window has no control for take their normal values, as
// collecting the window's controls stores them: acceleration and page
// scrolling "1" or "0", X_DPI 0-5 or 6, the debounce time even.
EditResult NormaliseHiddenSettings(SettingsModel& model, int slot);

// ---- buttons
// Stores a function (and with `macro` a copy of that macro) on button 0-5,
// then applies the left-button rule: when no button would act as the left
// button the assigned one is put back, the result carries LeftButtonKept and
// asks for no send.
EditResult AssignFunction(SettingsModel& model, int slot, int button, const ButtonChoice& choice,
                          const MacroKey* macro = nullptr);

// ---- profiles
// Makes `slot` the current profile (memory only; the next save writes it).
// The whole profile is to be sent, also when it was current already.
EditResult SelectProfile(SettingsModel& model, int slot);

} // namespace tarvik::edits
