// The key code of a Qt key event: from its native scan code (the X11/xkb
// keycode, which xcb and Wayland give) through the evdev table, else from the
// Qt key and the keypad modifier (platforms without native codes, such as the
// offscreen one used by the tests).
#pragma once

#include <Qt>

#include <cstdint>
#include <span>

class QKeyEvent;

namespace tarvik {

struct QtKeyRow {
    int key;           // Qt::Key
    bool keypad;       // the row holds only with Qt::KeypadModifier
    std::uint8_t code; // the program's key code
};

// The rows used when an event has no native scan code. Shifted symbols map to
// the key that types them on a US keyboard. Without a native code the side of a
// modifier is known only where Qt names it (Super_L/Super_R, AltGr); Shift,
// Control, Alt and Meta give the left-hand codes.
std::span<const QtKeyRow> QtKeyTable();

std::uint8_t KeyCodeFromQtKey(int key, Qt::KeyboardModifiers modifiers);
// Native scan code first, then the Qt key; 0 when the key has no key code.
std::uint8_t KeyCodeOfEvent(const QKeyEvent& event);

} // namespace tarvik
