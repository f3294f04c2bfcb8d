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

} // namespace tarvik
