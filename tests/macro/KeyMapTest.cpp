#include <gtest/gtest.h>

#include <set>

#include "macro/KeyCodes.h"
#include "macro/KeyMap.h"
#include "text/U16.h"

namespace tarvik {
namespace {

// Every row of the evdev table gives a key code that the rest of the program
// can show or send, and no key or code appears twice.
TEST(KeyMap, EveryRowHasANameOrUsageAndNothingTwice) {
    std::set<unsigned> evdevSeen, codeSeen;
    for (const EvdevKeyRow& row : EvdevKeyTable()) {
        SCOPED_TRACE(::testing::Message() << "evdev " << row.evdev << " -> 0x" << std::hex << int(row.code));
        // The program's own codes (keypad Enter, 0xF0-0xFB) have a usage but no name.
        EXPECT_TRUE(KeyCodeName(row.code) != u"Undefined" || HidUsageOf(row.code) != 0);
        // No mouse codes, no generic Shift/Ctrl/Alt: a key has a side.
        EXPECT_FALSE(row.code <= 0x07 || (row.code >= 0x10 && row.code <= 0x12) ||
                     (row.code >= 0xE0 && row.code <= 0xE7));
        EXPECT_TRUE(evdevSeen.insert(row.evdev).second) << "evdev code mapped twice";
        EXPECT_TRUE(codeSeen.insert(row.code).second) << "key code mapped twice";
        EXPECT_EQ(KeyCodeFromEvdev(row.evdev), row.code);
        EXPECT_EQ(KeyCodeFromXKeycode(row.evdev + 8u), row.code);
    }
}

struct MapCase {
    unsigned xKeycode;
    int code;
    int hid; // the usage the mouse would send
};

// X keycodes as a standard PC keyboard gives them (evdev + 8).
constexpr MapCase kCases[] = {
    {38, 0x41, 0x04},  // a
    {24, 0x51, 0x14},  // q (positional: the same key on any layout)
    {19, 0x30, 0x27},  // 0
    {50, 0xA0, 0xE1},  // Shift_L
    {62, 0xA1, 0xE5},  // Shift_R
    {37, 0xA2, 0xE0},  // Control_L
    {105, 0xA3, 0xE4}, // Control_R
    {64, 0xA4, 0xE2},  // Alt_L
    {108, 0xA5, 0xE6}, // Alt_R / AltGr
    {133, 0x5B, 0xE3}, // Super_L
    {134, 0x5C, 0xE7}, // Super_R
    {36, 0x0D, 0x28},  // Return
    {104, 0x0E, 0x58}, // KP_Enter
    {87, 0x61, 0x59},  // KP_1
    {191, 0x7C, 0x00}, // F13: a name, no usage
    {94, 0xF3, 0x64},  // the ISO key left of Z
    {49, 0xC0, 0x35},  // grave
    {121, 0x00, 0x00}, // XF86AudioMute: no key code
    {7, 0x00, 0x00},   // below the keycode range
    {255, 0x00, 0x00},
};

TEST(KeyMap, XKeycodes) {
    for (const MapCase& c : kCases) {
        SCOPED_TRACE(c.xKeycode);
        EXPECT_EQ(KeyCodeFromXKeycode(c.xKeycode), c.code);
        EXPECT_EQ(HidUsageOf(KeyCodeFromXKeycode(c.xKeycode)), c.hid);
    }
    EXPECT_EQ(KeyCodeFromEvdev(100000), 0);
}

TEST(KeyMap, MessageParam) {
    EXPECT_EQ(KeyMessageParam(false, 1234), 1234u);
    EXPECT_EQ(KeyMessageParam(true, 1234), 0x80000000u | 1234u);
    EXPECT_EQ(KeyMessageParam(false, 0x80000005u), 5u); // the time wraps at 2^31
    EXPECT_EQ(KeyMessageParam(true, 0xFFFFFFFFu), 0xFFFFFFFFu);
}

// Sequences of event times and the message times they become.
TEST(KeyMap, EventClockNeverRunsBackwards) {
    struct Step {
        std::uint32_t in, out;
    };
    const std::vector<std::vector<Step>> runs = {
        {{100, 100}, {150, 150}, {150, 150}, {170, 170}},
        // A later event with an earlier time keeps the time handed out.
        {{5000, 5000}, {4990, 5000}, {5010, 5010}},
        // The 31-bit wrap goes forward.
        {{0x7FFFFFF0u, 0x7FFFFFF0u}, {0x00000010u, 0x10u}, {0x20u, 0x20u}},
        // Bit 31 of a 32-bit clock is dropped, and so is its wrap.
        {{0xFFFFFFF0u, 0x7FFFFFF0u}, {0x00000005u, 0x5u}},
        // A time from another clock that lies far behind is held too.
        {{900000, 900000}, {20, 900000}, {900100, 900100}},
    };
    for (const auto& run : runs) {
        KeyEventClock clock;
        for (const Step& s : run) EXPECT_EQ(clock.Next(s.in), s.out) << "in " << s.in;
    }
}

} // namespace
} // namespace tarvik
