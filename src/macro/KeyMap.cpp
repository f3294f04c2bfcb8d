#include "macro/KeyMap.h"

#include <algorithm>
#include <array>

namespace tarvik {

namespace {

// evdev code -> key code. Keys with no key code of their own on the program's
// side (keypad Enter, power, wake-up, the international and language keys) get
// the program's codes 0x0E and 0xF0–0xFB, chosen by the HID usage each stands
// for. Media keys have no key code and are left out. The keypad keys give the
// Num codes whatever the Num Lock state, like the key's HID usage.
constexpr EvdevKeyRow kRows[] = {
    {1, 0x1B}, // Esc
    {2, 0x31},
    {3, 0x32},
    {4, 0x33},
    {5, 0x34},
    {6, 0x35},
    {7, 0x36},
    {8, 0x37},
    {9, 0x38},
    {10, 0x39},
    {11, 0x30}, // 1..9, 0
    {12, 0xBD}, // -
    {13, 0xBB}, // =
    {14, 0x08}, // Backspace
    {15, 0x09}, // Tab
    {16, 0x51},
    {17, 0x57},
    {18, 0x45},
    {19, 0x52},
    {20, 0x54},
    {21, 0x59},
    {22, 0x55},
    {23, 0x49},
    {24, 0x4F},
    {25, 0x50}, // Q W E R T Y U I O P
    {26, 0xDB}, // [
    {27, 0xDD}, // ]
    {28, 0x0D}, // Enter
    {29, 0xA2}, // left Ctrl
    {30, 0x41},
    {31, 0x53},
    {32, 0x44},
    {33, 0x46},
    {34, 0x47},
    {35, 0x48},
    {36, 0x4A},
    {37, 0x4B},
    {38, 0x4C}, // A S D F G H J K L
    {39, 0xBA}, // ;
    {40, 0xDE}, // '
    {41, 0xC0}, // ` ~
    {42, 0xA0}, // left Shift
    {43, 0xDC}, // backslash
    {44, 0x5A},
    {45, 0x58},
    {46, 0x43},
    {47, 0x56},
    {48, 0x42},
    {49, 0x4E},
    {50, 0x4D},
    // Z X C V B N M
    {51, 0xBC}, // ,
    {52, 0xBE}, // .
    {53, 0xBF}, // /
    {54, 0xA1}, // right Shift
    {55, 0x6A}, // keypad *
    {56, 0xA4}, // left Alt
    {57, 0x20}, // Space
    {58, 0x14}, // Caps Lock
    {59, 0x70},
    {60, 0x71},
    {61, 0x72},
    {62, 0x73},
    {63, 0x74},
    {64, 0x75},
    {65, 0x76},
    {66, 0x77},
    {67, 0x78},
    {68, 0x79}, // F1..F10
    {69, 0x90}, // Num Lock
    {70, 0x91}, // Scroll Lock
    {71, 0x67},
    {72, 0x68},
    {73, 0x69}, // keypad 7 8 9
    {74, 0x6D}, // keypad -
    {75, 0x64},
    {76, 0x65},
    {77, 0x66}, // keypad 4 5 6
    {78, 0x6B}, // keypad +
    {79, 0x61},
    {80, 0x62},
    {81, 0x63},
    {82, 0x60}, // keypad 1 2 3 0
    {83, 0x6E}, // keypad .
    {86, 0xF3}, // the key between left Shift and Z on ISO keyboards (HID 0x64)
    {87, 0x7A},
    {88, 0x7B},  // F11, F12
    {89, 0xF5},  // Ro (international 1)
    {92, 0xF8},  // Henkan (international 4)
    {93, 0xF6},  // Katakana/Hiragana (international 2)
    {94, 0xF9},  // Muhenkan (international 5)
    {96, 0x0E},  // keypad Enter
    {97, 0xA3},  // right Ctrl
    {98, 0x6F},  // keypad /
    {99, 0x2C},  // Print Screen / SysRq
    {100, 0xA5}, // right Alt (AltGr)
    {102, 0x24}, // Home
    {103, 0x26}, // Up
    {104, 0x21}, // Page Up
    {105, 0x25}, // Left
    {106, 0x27}, // Right
    {107, 0x23}, // End
    {108, 0x28}, // Down
    {109, 0x22}, // Page Down
    {110, 0x2D}, // Insert
    {111, 0x2E}, // Delete
    {116, 0xF0}, // Power
    {119, 0x13}, // Pause
    {121, 0xF4}, // keypad , (HID 0x85)
    {122, 0xFA}, // Hangeul (language 1)
    {123, 0xFB}, // Hanja (language 2)
    {124, 0xF7}, // Yen (international 3)
    {125, 0x5B}, // left Win / Super
    {126, 0x5C}, // right Win / Super
    {127, 0x5D}, // Menu (App)
    {138, 0x2F}, // Help
    {142, 0x5F}, // Sleep
    {143, 0xF1}, // Wake up
    {183, 0x7C},
    {184, 0x7D},
    {185, 0x7E},
    {186, 0x7F},
    {187, 0x80},
    {188, 0x81},
    {189, 0x82},
    {190, 0x83},
    {191, 0x84},
    {192, 0x85},
    {193, 0x86},
    {194, 0x87}, // F13..F24
    {210, 0x2A}, // Print
};

// Direct lookup by evdev code (X keycodes reach 255, so evdev codes reach 247).
constexpr std::size_t kLookupSize = 256;
constexpr std::array<std::uint8_t, kLookupSize> BuildLookup() {
    std::array<std::uint8_t, kLookupSize> t{};
    for (const EvdevKeyRow& r : kRows) t[r.evdev] = r.code;
    return t;
}
constexpr std::array<std::uint8_t, kLookupSize> kLookup = BuildLookup();

static_assert(std::is_sorted(std::begin(kRows), std::end(kRows),
                             [](const EvdevKeyRow& a, const EvdevKeyRow& b) { return a.evdev < b.evdev; }));

} // namespace

std::span<const EvdevKeyRow> EvdevKeyTable() {
    return kRows;
}

std::uint8_t KeyCodeFromEvdev(unsigned evdev) {
    return evdev < kLookupSize ? kLookup[evdev] : 0;
}

std::uint8_t KeyCodeFromXKeycode(unsigned xKeycode) {
    return xKeycode >= 8 ? KeyCodeFromEvdev(xKeycode - 8) : 0;
}

std::uint32_t KeyEventClock::Next(std::uint32_t eventMs) {
    const std::uint32_t t = eventMs & kKeyTimeMask;
    if (!started_) {
        started_ = true;
        last_ = t;
        return t;
    }
    const std::uint32_t ahead = (t - last_) & kKeyTimeMask;
    if (ahead < (1u << 30)) last_ = t;
    return last_;
}

} // namespace tarvik
