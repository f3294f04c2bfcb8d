// The program's 8-bit key codes: their display names and their USB HID
// keyboard usages. Codes are Windows virtual-key numbers plus a few own codes
// (0x0E keypad Enter, 0xE0–0xE7 mouse steps in macros, 0xF0–0xFB keys without a
// virtual-key number).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// 256 names indexed by key code; codes without a name read "Undefined".
const std::array<std::u16string, 256>& KeyCodeNames();
inline const std::u16string& KeyCodeName(std::uint8_t code) {
    return KeyCodeNames()[code];
}

// 256 HID usages indexed by key code: keyboard-page usages, 0xF0–0xF7 for the
// mouse-step codes, 0 for no usage.
const std::array<std::uint8_t, 256>& KeyCodeToHid();
inline std::uint8_t HidUsageOf(std::uint8_t code) {
    return KeyCodeToHid()[code];
}

// The key code whose name matches `name` (ASCII case-insensitive; "Undefined"
// matches nothing). Accepts "0x41"-style numbers too. For scripts.
std::optional<std::uint8_t> KeyCodeFromName(std::string_view name);

} // namespace tarvik
