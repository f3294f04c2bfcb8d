#include <gtest/gtest.h>

#include <algorithm>

#include "macro/KeyCodes.h"
#include "text/U16.h"

namespace tarvik {
namespace {

struct KeyCase {
    int code;
    const char* name;
    int hid;
};

// Rows from every block of both tables, with the ends of each run.
constexpr KeyCase kKeys[] = {
    {0x00, "Undefined", 0x00},
    {0x01, "LBUTTON", 0x00},
    {0x06, "XBUTTON2", 0x00},
    {0x08, "Backspace", 0x2A},
    {0x0D, "Enter", 0x28},
    {0x0E, "Undefined", 0x58},
    {0x10, "Shift", 0x00},
    {0x13, "Pause", 0x48},
    {0x14, "CapsLock", 0x39},
    {0x19, "Hanja", 0x00},
    {0x1B, "Esc", 0x29},
    {0x1F, "ModeChange", 0x00},
    {0x20, "Space", 0x2C},
    {0x21, "Page Up", 0x4B},
    {0x25, "Left Arrow", 0x50},
    {0x26, "Up Arrow", 0x52},
    {0x27, "Right Arrow", 0x4F},
    {0x28, "Down Arrow", 0x51},
    {0x2C, "Print Screen", 0x46},
    {0x2F, "Help", 0x00},
    {0x30, "0", 0x27},
    {0x31, "1", 0x1E},
    {0x39, "9", 0x26},
    {0x3B, "Undefined", 0x29},
    {0x41, "A", 0x04},
    {0x5A, "Z", 0x1D},
    {0x5B, "Win_L", 0xE3},
    {0x5C, "Win_R", 0xE7},
    {0x5D, "App", 0x65},
    {0x5F, "Sleep", 0x82},
    {0x60, "Num0", 0x62},
    {0x61, "Num1", 0x59},
    {0x69, "Num9", 0x61},
    {0x6A, "Multiply", 0x55},
    {0x6C, "Separator", 0x00},
    {0x6E, "Decimal", 0x63},
    {0x6F, "Divide", 0x54},
    {0x70, "F1", 0x3A},
    {0x7B, "F12", 0x45},
    {0x7C, "F13", 0x00},
    {0x87, "F24", 0x00},
    {0x90, "Num Lock", 0x53},
    {0x91, "Scroll Lock", 0x47},
    {0xA0, "Shift_L", 0xE1},
    {0xA1, "Shift_R", 0xE5},
    {0xA2, "Ctrl_L", 0xE0},
    {0xA5, "Alt_R", 0xE6},
    {0xBA, ";", 0x33},
    {0xBC, ",", 0x36},
    {0xC0, "~", 0x35},
    {0xDB, "[", 0x2F},
    {0xDC, "\\", 0x31},
    {0xDE, "'", 0x34},
    {0xE0, "L Key", 0xF0},
    {0xE4, "K5", 0xF4},
    {0xE7, "Mouse Wheel", 0xF7},
    {0xF0, "Undefined", 0x81},
    {0xF3, "Undefined", 0x64},
    {0xF9, "Undefined", 0x8B},
    {0xFB, "Undefined", 0x91},
    {0xFC, "Undefined", 0x00},
    {0xFF, "Undefined", 0x00},
};

TEST(KeyCodes, NamesAndUsagesOfEachBlock) {
    for (const auto& k : kKeys) {
        SCOPED_TRACE(k.code);
        EXPECT_EQ(ToUtf8(KeyCodeNames()[static_cast<std::size_t>(k.code)]), k.name);
        EXPECT_EQ(KeyCodeToHid()[static_cast<std::size_t>(k.code)], k.hid);
    }
}

TEST(KeyCodes, NoStrayEntries) {
    const auto& names = KeyCodeNames();
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const auto& n) { return n != u"Undefined"; }),
              147);
    const auto& hid = KeyCodeToHid();
    EXPECT_EQ(std::count_if(hid.begin(), hid.end(), [](auto u) { return u != 0; }), 126);
}

TEST(KeyCodes, FromName) {
    EXPECT_EQ(KeyCodeFromName("a"), 0x41);
    EXPECT_EQ(KeyCodeFromName("page up"), 0x21);
    EXPECT_EQ(KeyCodeFromName("F13"), 0x7C);
    EXPECT_EQ(KeyCodeFromName("0x0e"), 0x0E);
    EXPECT_EQ(KeyCodeFromName("Undefined"), std::nullopt);
    EXPECT_EQ(KeyCodeFromName("0x1G"), std::nullopt);
    EXPECT_EQ(KeyCodeFromName("0x100"), std::nullopt);
    EXPECT_EQ(KeyCodeFromName(""), std::nullopt);
}

} // namespace
} // namespace tarvik
