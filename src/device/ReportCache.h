// What the mouse was last sent, per command: the send pipeline compares a new
// image with it and sends only what differs. An entry can be marked stale so the
// next comparison differs whatever it holds (a full send).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "device/MacroUpload.h"
#include "device/Protocol.h"

namespace tarvik {

struct ReportCache {
    ButtonPage buttons{};
    DpiPage dpi{};
    ColourBytes colours{};
    std::uint8_t polling = 0;
    std::uint8_t liftOff = 0;
    std::uint8_t debounce = 0;
    LightingPage lighting{};
    PowerOptions power{};
    std::uint8_t motionWakeup = 0;
    // By macro number (the low nibble of a macro button's action).
    std::array<MacroImage, 16> macros{};

    // Entries that compare as different until they are next stored.
    struct Stale {
        std::array<bool, kKeyCount> buttons{};
        bool dpi = false, colours = false, polling = false, liftOff = false, debounce = false,
             lighting = false, power = false, motionWakeup = false;
        std::array<bool, 16> macros{};
    } stale;

    // Marks every entry stale: the next send writes everything.
    void Forget() {
        stale.buttons.fill(true);
        stale.dpi = stale.colours = stale.polling = stale.liftOff = stale.debounce = stale.lighting =
            stale.power = stale.motionWakeup = true;
        stale.macros.fill(true);
    }
};

} // namespace tarvik
