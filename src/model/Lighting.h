// What each lighting effect of a profile offers: its name in the effect menu,
// and which of speed, brightness, colour slots and direction apply to it. The
// window's lighting panel and menu and tarvikctl's listing walk these tables.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "text/Notices.h"

namespace tarvik {

// The effect menu in its order: the menu value, the effect index it stores in
// `Lighting1Mode[0]` and the language string of its name. Effects 7 and 8 are
// not offered.
struct LightingEffectRow {
    int value;
    int effect;
    int nameString;
};
inline constexpr std::array<LightingEffectRow, 8> kLightingEffects = {{
    {1, 1, 100},
    {2, 2, 101},
    {3, 3, 102},
    {4, 4, 103},
    {5, 5, 110},
    {6, 6, 105},
    {9, 9, 108},
    {10, 0, 109},
}};

// The language string that names `effect` in the menu; 0 for an effect the
// menu does not offer.
int LightingEffectNameString(int effect);

// The rows the lighting panel shows for an effect.
struct LightingRows {
    bool speed = false;      // label 3163, bar 3190, slider 3200, value 3210
    bool brightness = false; // label 3162, bar 3191, slider 3220, value 3230
    bool coloursLabel = false;
    int colourSlots = 0; // colour buttons 3180 .. 3180 + n - 1
    bool direction = false;
};
LightingRows LightingRowsFor(int effect);

inline constexpr int kSpeedStops = 5;
inline constexpr int kBrightnessStops = 4;
// "25%", "50%", "75%", "100%" for positions 0-3 (modulo 4).
const char* BrightnessText(int position);

// Colour slot selection: deselecting is refused when it would leave the effect
// with fewer colours than it needs: when no more than `refuseAtOrBelow` of the
// first `slotsCounted` slots are selected. `notice` is what the refusal shows
// (None: the effect never refuses).
struct ColourRule {
    int slotsCounted;
    int refuseAtOrBelow;
    Notice notice;
};
ColourRule ColourRuleFor(int effect);
// Whether slot `slot` may be deselected with these selections.
bool MayDeselect(int effect, std::span<const std::uint8_t> selected, int slot);

} // namespace tarvik
