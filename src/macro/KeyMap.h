// Key capture data: which of the program's key codes a Linux key code stands
// for, and the parameters of the key message (1025) that a capturing window
// receives.
//
// Linux key codes are the kernel's evdev codes; an X11 or xkb keycode is the
// evdev code + 8. The mapping is positional: a key gives the code of the key at
// the same place on a US keyboard, so the HID usage the mouse later sends is
// the usage of the key that was pressed, whatever the layout.
#pragma once

#include <cstdint>
#include <span>

namespace tarvik {

struct EvdevKeyRow {
    std::uint16_t evdev; // KEY_* of <linux/input-event-codes.h>
    std::uint8_t code;   // the program's key code
};

// Every mapped key, ordered by evdev code; each code and each evdev code
// appears once.
std::span<const EvdevKeyRow> EvdevKeyTable();

// The key code of an evdev code; 0 when the key has none.
std::uint8_t KeyCodeFromEvdev(unsigned evdev);
// The key code of an X11/xkb keycode (evdev + 8); 0 when the key has none.
std::uint8_t KeyCodeFromXKeycode(unsigned xKeycode);

// lParam of the key message: bit 31 set for a release, bits 0–30 the event time
// in milliseconds (wrapping at 2^31). Carried as a non-negative value.
inline constexpr std::uint32_t kKeyReleaseBit = 0x80000000u;
inline constexpr std::uint32_t kKeyTimeMask = 0x7FFFFFFFu;
constexpr std::uint32_t KeyMessageParam(bool release, std::uint32_t ms) {
    return (ms & kKeyTimeMask) | (release ? kKeyReleaseBit : 0u);
}

// Turns the times that key events carry into the times of the key messages:
// the low 31 bits, never earlier than the time handed out before (times from
// two clocks, or an event without a time, would otherwise run backwards). A
// step of more than 2^30 ms backwards counts as a wrap, not as going back.
class KeyEventClock {
public:
    std::uint32_t Next(std::uint32_t eventMs);
    void Reset() { started_ = false; }

private:
    bool started_ = false;
    std::uint32_t last_ = 0;
};

} // namespace tarvik
