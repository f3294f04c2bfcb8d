#include "model/Lighting.h"

namespace tarvik {

int LightingEffectNameString(int effect) {
    for (const LightingEffectRow& row : kLightingEffects) {
        if (row.effect == effect) return row.nameString;
    }
    return 0;
}

LightingRows LightingRowsFor(int effect) {
    LightingRows rows;
    rows.speed = effect != 0 && effect != 3 && effect != 6;
    rows.brightness = effect == 3;
    rows.coloursLabel = effect == 2 || effect == 3 || effect == 6 || effect == 7;
    switch (effect) {
    case 2:
        rows.colourSlots = 7;
        break;
    case 3:
        rows.colourSlots = 1;
        break;
    case 6:
        rows.colourSlots = 8;
        break;
    case 7:
        rows.colourSlots = 2;
        break;
    default:
        rows.colourSlots = 0;
    }
    rows.direction = effect == 1;
    return rows;
}

const char* BrightnessText(int position) {
    static constexpr const char* kTexts[] = {"25%", "50%", "75%", "100%"};
    return kTexts[((position % 4) + 4) % 4];
}

ColourRule ColourRuleFor(int effect) {
    switch (effect) {
    case 3:
        return {0, 0, Notice::KeepOneColour}; // the one colour of the effect can never be deselected
    case 2:
        return {7, 1, Notice::KeepOneColour};
    case 6:
        return {8, 2, Notice::KeepTwoColours};
    case 7:
        return {2, 1, Notice::KeepOneColour};
    default:
        return {0, -1, Notice::None};
    }
}

bool MayDeselect(int effect, std::span<const std::uint8_t> selected, int slot) {
    const ColourRule rule = ColourRuleFor(effect);
    if (rule.notice == Notice::None || slot < 0) return true;
    int count = 0;
    for (int i = 0; i < rule.slotsCounted && i < static_cast<int>(selected.size()); ++i)
        if (selected[static_cast<std::size_t>(i)] != 0) ++count;
    return count > rule.refuseAtOrBelow;
}

} // namespace tarvik
