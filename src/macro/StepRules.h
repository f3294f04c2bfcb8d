// The value rules of the step editors and the text of a step-list row: each
// turns what the user typed or chose into a step, without any window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/MacroRecords.h"
#include "text/Notices.h"

namespace tarvik {

// An edited delay may be longer than a recorded one; this is its ceiling.
constexpr std::uint32_t kMaxEditedDelayMs = 15300000;
// Recorded delays are capped here (and the upload caps every delay so).
constexpr std::uint32_t kMaxRecordedDelayMs = 4095;

// Move kinds of the step-insert menu and the movement editor.
enum MoveKind : int { kMoveLeft = 5, kMoveRight = 6, kMoveUp = 7, kMoveDown = 8 };

// The leading decimal digits of a field, 0 when there are none; saturates.
std::uint64_t LeadingNumber(std::u16string_view text);

// Notice for a character typed into a number field: DigitsOnly for anything
// but a digit or backspace (the character is still entered).
Notice TypedCharNotice(char16_t c);

// Delay editor: the field shows the step's delay; OK stores the leading number,
// capped at 15,300,000, as [03, v >> 16, v >> 8, v].
std::u16string DelayFieldText(const MacroAction& step);
MacroAction DelayStepFromText(std::u16string_view text);

// Movement editor for kind 5–8: the field shows |b3|; OK clamps the number to
// 1–127 and gives it the sign of the kind (left and up negative), keeping b1.
std::u16string MoveFieldText(const MacroAction& step);
MacroAction MoveStepFromText(std::u16string_view text, int kind, std::uint8_t b1 = 0);
// The preset step that inserting a move of this kind starts from.
MacroAction MovePreset(int kind);

// Key editor: OK replaces b0 only. Codes 0–7 are not keys (a closing pop-up
// sends 0) and leave the step as it is.
MacroAction KeyStepWithCode(MacroAction step, std::uint8_t code);

// Rename editor: OK counts as a change only for a different text.
inline bool RenameChanged(std::u16string_view current, std::u16string_view entered) {
    return current != entered;
}

// Loop-count field: the value for MacroKeyLoopNum and, when the text must be
// corrected, the text it becomes ("255" for 256 and more, "1" for 0 or none).
struct LoopCountValue {
    std::uint8_t value = 1;
    std::optional<std::u16string> replacement;
};
LoopCountValue LoopCountFromText(std::u16string_view text);

// Step-list row: "%ums" for a delay, "Move Right %d" / "Move Left %d" /
// "Move Down %d" / "Move Up %d" / "Wheel Down %d" / "Wheel Up %d" by the sign of
// b3, else the key name of b0.
std::u16string StepText(const MacroAction& step);
enum class StepIcon { Time, Down, Up };
StepIcon StepIconOf(const MacroAction& step);

} // namespace tarvik
