// The two records every macro user shares: one step (MacroAction) and one macro
// (MacroKey) with its step operations.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik {

// One macro step, bytes b0..b3 in stored order (b0 is the low byte of Value()).
struct MacroAction {
    std::array<std::uint8_t, 4> b{};

    static constexpr std::uint8_t kMoveX = 0xE5;
    static constexpr std::uint8_t kMoveY = 0xE6;
    static constexpr std::uint8_t kWheel = 0xE7;
    static constexpr std::uint8_t kRelease = 0x80;

    static MacroAction FromBytes(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
        return MacroAction{{b0, b1, b2, b3}};
    }
    static MacroAction FromValue(std::uint32_t v) {
        return FromBytes(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, (v >> 24) & 0xFF);
    }
    // A delay step as the program writes it: b0 = 3, 24-bit milliseconds MSB first.
    static MacroAction Delay(std::uint32_t ms) {
        return FromBytes(3, (ms >> 16) & 0xFF, (ms >> 8) & 0xFF, ms & 0xFF);
    }
    static MacroAction Press(std::uint8_t code) { return FromBytes(code, 0, 0, 0); }
    static MacroAction Release(std::uint8_t code) { return FromBytes(code, kRelease, 0, 0); }
    static MacroAction Move(std::uint8_t kind, std::int8_t amount) {
        return FromBytes(kind, 0, 0, static_cast<std::uint8_t>(amount));
    }

    std::uint32_t Value() const {
        return b[0] | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) | (std::uint32_t{b[3]} << 24);
    }
    bool IsDelay() const { return b[0] <= 7; }
    std::uint32_t DelayMs() const { return (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3]; }
    bool IsMove() const { return b[0] == kMoveX || b[0] == kMoveY || b[0] == kWheel; }
    std::int8_t MoveAmount() const { return static_cast<std::int8_t>(b[3]); }
    bool IsKey() const { return !IsDelay() && !IsMove(); }
    bool IsRelease() const { return (b[1] & kRelease) != 0; }

    friend bool operator==(const MacroAction&, const MacroAction&) = default;
};

// One macro: name, number, 336 step slots, loop settings and its step operations.
class MacroKey {
public:
    static constexpr std::size_t kMaxActions = 336;
    static constexpr std::uint8_t kMaxCommandActions = 168;
    // The most steps the mouse takes in one macro: its upload numbers at most
    // 15 chunks of 25 bytes, 3 bytes a step. A longer macro can be recorded and
    // kept in the library, but no button can be given it.
    static constexpr std::uint8_t kMaxMouseCommandActions = 125;

    MacroKey() = default;
    explicit MacroKey(std::u16string name) : Name(std::move(name)) {}

    std::u16string Name;
    std::uint32_t MacroKeyIndex = 0;
    std::uint32_t MacroActionNum = 0;
    std::array<MacroAction, kMaxActions> AllAction{};
    std::uint8_t MacroKeyLoopType = 2;
    std::uint8_t MacroKeyLoopNum = 1;
    std::uint8_t MacroCommandActionNum = 0;

    // Slot i = step; the count is unchanged. False for i > 335.
    bool SetAction(std::size_t i, const MacroAction& step);
    // Inserts at min(i, count); slot 335 falls off. False when 336 steps are held.
    bool InsertAction(std::size_t i, const MacroAction& step);
    // Removes step i; slot 335 becomes zero. False when i >= count.
    bool RemoveAction(std::size_t i);
    // Slot i, or slot 0 for i > 335.
    MacroAction GetAction(std::size_t i) const;
    // The count clamped to the 336 slots, for loops over the valid steps.
    std::size_t ValidCount() const { return MacroActionNum < kMaxActions ? MacroActionNum : kMaxActions; }
    // The mouse can hold this macro.
    bool FitsMouse() const { return MacroCommandActionNum <= kMaxMouseCommandActions; }

    friend bool operator==(const MacroKey&, const MacroKey&) = default;
};

// The step text of the profile and library files: all 336 slots, each as
// "%.2X%.2X%.2X%.2X" of b0..b3, 2,688 digits in all.
inline constexpr std::size_t kStepDigits = MacroKey::kMaxActions * 8;
void AppendStepDigits(std::u16string& out, const std::array<MacroAction, MacroKey::kMaxActions>& steps);
// False (the steps untouched) unless `digits` holds exactly 2,688 characters.
// A pair that is not two hex digits reads as the digits it starts with, or 0.
bool ReadStepDigits(std::u16string_view digits, std::array<MacroAction, MacroKey::kMaxActions>& steps);

} // namespace tarvik
