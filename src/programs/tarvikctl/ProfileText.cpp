#include "programs/tarvikctl/ProfileText.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "commands/ProfileJson.h"
#include "model/Lighting.h"
#include "model/PollingRates.h"
#include "text/Language.h"
#include "text/U16.h"

namespace tarvik::cli {

namespace {

// The levels the window offers; a hand-edited file may enable the other three,
// which are then listed as well.
constexpr int kWindowLevels = 5;

std::string Padded(const std::string& text, std::size_t width) {
    std::string out(width > text.size() ? width - text.size() : 0, ' ');
    out += text;
    return out;
}

std::string OnOff(bool on) {
    return on ? "on" : "off";
}

bool ShownInList(const SettingsModel& model, int slot) {
    const int count = std::clamp(model.GetShowCount(), 0, kProfileCount);
    for (int i = 0; i < count; ++i) {
        if (model.GetShowList(i) == slot) return true;
    }
    return false;
}

void PrintDpiLevels(std::ostream& out, const SettingsModel& model, int slot, const ProfileRecord& rec) {
    const int active = rec.ActiveDpiLevel();
    out << "DPI levels:\n";
    for (int level = 0; level < kDpiLevels; ++level) {
        const bool enabled = (rec.DPIOffOnFlag >> level) & 1;
        if (!enabled && level >= kWindowLevels) continue;
        std::string line = "  ";
        line += std::to_string(level + 1);
        line += Padded(std::to_string(model.ShownDpi(slot, level)), 7);
        line += " DPI  ";
        line += ColourText(rec.DPILevelIndication[static_cast<std::size_t>(level)]);
        if (!enabled) line += "  off";
        if (level == active) line += "  active";
        out << line << "\n";
    }
}

void PrintLighting(std::ostream& out, const ProfileRecord& rec) {
    const int effect = rec.Lighting1Mode[0];
    std::string line = "lighting: ";
    const int nameString = LightingEffectNameString(effect);
    if (nameString != 0 && !LanguageString(nameString).empty()) {
        line += ToUtf8(LanguageString(nameString));
    } else if (!rec.Lighting1Name.empty()) {
        line += ToUtf8(rec.Lighting1Name);
    } else {
        line += "effect ";
        line += std::to_string(effect);
    }
    if (effect >= kEffects) {
        // Only a hand-edited file holds such an effect; it has no settings.
        out << line << "\n";
        return;
    }
    const auto e = static_cast<std::size_t>(effect);
    const LightingRows rows = LightingRowsFor(effect);
    if (rows.speed) {
        line += ", speed ";
        line += std::to_string(rec.Lighting1Speed[e] + 1);
    }
    if (rows.brightness) {
        line += ", brightness ";
        line += BrightnessText(rec.Lighting1Brightness[e]);
    }
    if (rows.colourSlots > 0) {
        std::string colours;
        for (int i = 0; i < rows.colourSlots; ++i) {
            const auto s = static_cast<std::size_t>(i);
            if (!rec.Lighting1ColorSelected[e][s]) continue;
            colours += colours.empty() ? "" : " ";
            colours += ColourText(rec.Lighting1FixedColor[e][s]);
        }
        line += ", colours ";
        line += colours.empty() ? std::string("none") : colours;
    }
    if (rows.direction) {
        line += ", direction ";
        line += rec.Lighting1Direction[e] != 0 ? "up" : "down";
    }
    out << line << "\n";
}

} // namespace

void PrintProfile(std::ostream& out, const SettingsModel& model, int slot) {
    const ProfileRecord& rec = model.Profiles[static_cast<std::size_t>(slot)];
    std::string head = "profile ";
    head += std::to_string(slot);
    head += " \"";
    head += ToUtf8(rec.Settings[kSetProfileName].Value);
    head += "\"";
    if (slot == model.GetCurrentProfile()) head += " (current)";
    if (!ShownInList(model, slot)) head += " (hidden)";
    out << head << "\n";

    PrintDpiLevels(out, model, slot, rec);
    out << "polling rate: " << PollingRateAt(rec.PollingRate[0]).hz << " Hz\n";
    PrintLighting(out, rec);

    out << "buttons:\n";
    for (int k = 0; k < kKeyCount; ++k) {
        const KeySlot& key = rec.Keys[static_cast<std::size_t>(k)];
        out << "  " << k + 1 << "  " << ToUtf8(key.Name) << "\n";
    }

    const int lift = model.GetSettingInt(slot, kSetLiftDetectionHeight);
    // The window's two lift-off choices, by their labels.
    out << "lift-off distance: " << ToUtf8(LanguageString(lift == 1 ? 270 : 271)) << "\n";
    out << "power-down: " << model.GetSettingInt(slot, kSetPowerDownTime) << " min\n";
    out << "light only while moving: " << OnOff(model.GetSettingInt(slot, kSetMoveLightingOnOffMode) == 1)
        << "\n";
    out << "motion wake-up: " << OnOff(model.GetSettingInt(slot, kSetMotionWakeup) == 1) << "\n";
    out << "debounce: " << model.GetSettingInt(slot, kSetKeyDebounce) << " ms\n";
}

} // namespace tarvik::cli
