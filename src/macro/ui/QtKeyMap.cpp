#include "macro/ui/QtKeyMap.h"

#include <QKeyEvent>

#include "macro/KeyMap.h"

namespace tarvik {

namespace {

constexpr QtKeyRow kRows[] = {
    // The keypad (Qt adds the keypad modifier); with Num Lock off its keys come as
    // navigation keys, which still give the keypad's own codes.
    {Qt::Key_0, true, 0x60},
    {Qt::Key_1, true, 0x61},
    {Qt::Key_2, true, 0x62},
    {Qt::Key_3, true, 0x63},
    {Qt::Key_4, true, 0x64},
    {Qt::Key_5, true, 0x65},
    {Qt::Key_6, true, 0x66},
    {Qt::Key_7, true, 0x67},
    {Qt::Key_8, true, 0x68},
    {Qt::Key_9, true, 0x69},
    {Qt::Key_Insert, true, 0x60},
    {Qt::Key_End, true, 0x61},
    {Qt::Key_Down, true, 0x62},
    {Qt::Key_PageDown, true, 0x63},
    {Qt::Key_Left, true, 0x64},
    {Qt::Key_Clear, true, 0x65},
    {Qt::Key_Right, true, 0x66},
    {Qt::Key_Home, true, 0x67},
    {Qt::Key_Up, true, 0x68},
    {Qt::Key_PageUp, true, 0x69},
    {Qt::Key_Asterisk, true, 0x6A},
    {Qt::Key_Plus, true, 0x6B},
    {Qt::Key_Minus, true, 0x6D},
    {Qt::Key_Period, true, 0x6E},
    {Qt::Key_Delete, true, 0x6E},
    {Qt::Key_Slash, true, 0x6F},
    {Qt::Key_Comma, true, 0xF4},
    // Keys without a keypad twin, wherever they are.
    {Qt::Key_Enter, false, 0x0E}, // keypad Enter
    {Qt::Key_Escape, false, 0x1B},
    {Qt::Key_Tab, false, 0x09},
    {Qt::Key_Backtab, false, 0x09},
    {Qt::Key_Backspace, false, 0x08},
    {Qt::Key_Return, false, 0x0D},
    {Qt::Key_Insert, false, 0x2D},
    {Qt::Key_Delete, false, 0x2E},
    {Qt::Key_Pause, false, 0x13},
    {Qt::Key_Print, false, 0x2C},
    {Qt::Key_SysReq, false, 0x2C},
    {Qt::Key_Clear, false, 0x0C},
    {Qt::Key_Home, false, 0x24},
    {Qt::Key_End, false, 0x23},
    {Qt::Key_Left, false, 0x25},
    {Qt::Key_Up, false, 0x26},
    {Qt::Key_Right, false, 0x27},
    {Qt::Key_Down, false, 0x28},
    {Qt::Key_PageUp, false, 0x21},
    {Qt::Key_PageDown, false, 0x22},
    {Qt::Key_Shift, false, 0xA0},
    {Qt::Key_Control, false, 0xA2},
    {Qt::Key_Alt, false, 0xA4},
    {Qt::Key_AltGr, false, 0xA5},
    {Qt::Key_Meta, false, 0x5B},
    {Qt::Key_Super_L, false, 0x5B},
    {Qt::Key_Super_R, false, 0x5C},
    {Qt::Key_Menu, false, 0x5D},
    {Qt::Key_CapsLock, false, 0x14},
    {Qt::Key_NumLock, false, 0x90},
    {Qt::Key_ScrollLock, false, 0x91},
    {Qt::Key_Help, false, 0x2F},
    {Qt::Key_Select, false, 0x29},
    {Qt::Key_Execute, false, 0x2B},
    {Qt::Key_Sleep, false, 0x5F},
    {Qt::Key_PowerOff, false, 0xF0},
    {Qt::Key_WakeUp, false, 0xF1},
    {Qt::Key_Henkan, false, 0xF8},
    {Qt::Key_Muhenkan, false, 0xF9},
    {Qt::Key_Hiragana_Katakana, false, 0xF6},
    {Qt::Key_Hangul, false, 0xFA},
    {Qt::Key_Hangul_Hanja, false, 0xFB},
    {Qt::Key_Space, false, 0x20},
    // Punctuation and its shifted symbols, by the US key that types them.
    {Qt::Key_Minus, false, 0xBD},
    {Qt::Key_Underscore, false, 0xBD},
    {Qt::Key_Equal, false, 0xBB},
    {Qt::Key_Plus, false, 0xBB},
    {Qt::Key_BracketLeft, false, 0xDB},
    {Qt::Key_BraceLeft, false, 0xDB},
    {Qt::Key_BracketRight, false, 0xDD},
    {Qt::Key_BraceRight, false, 0xDD},
    {Qt::Key_Backslash, false, 0xDC},
    {Qt::Key_Bar, false, 0xDC},
    {Qt::Key_Semicolon, false, 0xBA},
    {Qt::Key_Colon, false, 0xBA},
    {Qt::Key_Apostrophe, false, 0xDE},
    {Qt::Key_QuoteDbl, false, 0xDE},
    {Qt::Key_QuoteLeft, false, 0xC0},
    {Qt::Key_AsciiTilde, false, 0xC0},
    {Qt::Key_Comma, false, 0xBC},
    {Qt::Key_Less, false, 0xBC},
    {Qt::Key_Period, false, 0xBE},
    {Qt::Key_Greater, false, 0xBE},
    {Qt::Key_Slash, false, 0xBF},
    {Qt::Key_Question, false, 0xBF},
    {Qt::Key_Exclam, false, 0x31},
    {Qt::Key_At, false, 0x32},
    {Qt::Key_NumberSign, false, 0x33},
    {Qt::Key_Dollar, false, 0x34},
    {Qt::Key_Percent, false, 0x35},
    {Qt::Key_AsciiCircum, false, 0x36},
    {Qt::Key_Ampersand, false, 0x37},
    {Qt::Key_Asterisk, false, 0x38},
    {Qt::Key_ParenLeft, false, 0x39},
    {Qt::Key_ParenRight, false, 0x30},
};

} // namespace

std::span<const QtKeyRow> QtKeyTable() {
    return kRows;
}

std::uint8_t KeyCodeFromQtKey(int key, Qt::KeyboardModifiers modifiers) {
    // Letters, digits and F1–F24 are runs on both sides.
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<std::uint8_t>(0x41 + (key - Qt::Key_A));
    if (!keypad && key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<std::uint8_t>(0x30 + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<std::uint8_t>(0x70 + (key - Qt::Key_F1));
    if (keypad)
        for (const QtKeyRow& r : kRows)
            if (r.keypad && r.key == key) return r.code;
    for (const QtKeyRow& r : kRows)
        if (!r.keypad && r.key == key) return r.code;
    return 0;
}

std::uint8_t KeyCodeOfEvent(const QKeyEvent& event) {
    if (const std::uint8_t code = KeyCodeFromXKeycode(event.nativeScanCode())) return code;
    return KeyCodeFromQtKey(event.key(), event.modifiers());
}

} // namespace tarvik
