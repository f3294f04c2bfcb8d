#include "macro/StepRules.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "macro/KeyCodes.h"
#include "text/U16.h"

namespace tarvik {

std::uint64_t LeadingNumber(std::u16string_view text) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max() / 10 - 9;
    std::uint64_t v = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') break;
        v = v * 10 + static_cast<std::uint64_t>(c - u'0');
        if (v > kMax) v = kMax;
    }
    return v;
}

Notice TypedCharNotice(char16_t c) {
    return (c >= u'0' && c <= u'9') || c == u'\b' ? Notice::None : Notice::DigitsOnly;
}

std::u16string DelayFieldText(const MacroAction& step) {
    return Dec(step.DelayMs());
}

MacroAction DelayStepFromText(std::u16string_view text) {
    const auto v =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(LeadingNumber(text), kMaxEditedDelayMs));
    return MacroAction::Delay(v);
}

std::u16string MoveFieldText(const MacroAction& step) {
    return Dec(std::abs(int{step.MoveAmount()}));
}

MacroAction MoveStepFromText(std::u16string_view text, int kind, std::uint8_t b1) {
    const auto n = static_cast<int>(std::clamp<std::uint64_t>(LeadingNumber(text), 1, 127));
    const bool negative = kind == kMoveLeft || kind == kMoveUp;
    const std::uint8_t axis =
        (kind == kMoveLeft || kind == kMoveRight) ? MacroAction::kMoveX : MacroAction::kMoveY;
    return MacroAction::FromBytes(axis, b1, 0, static_cast<std::uint8_t>(negative ? -n : n));
}

MacroAction MovePreset(int kind) {
    return MoveStepFromText(u"1", kind);
}

MacroAction KeyStepWithCode(MacroAction step, std::uint8_t code) {
    if (code > 7) step.b[0] = code;
    return step;
}

LoopCountValue LoopCountFromText(std::u16string_view text) {
    LoopCountValue r;
    const std::uint64_t v = LeadingNumber(text);
    if (v >= 256) {
        r.value = 255;
        r.replacement = u"255";
    } else if (v == 0) {
        r.value = 1;
        r.replacement = u"1";
    } else {
        r.value = static_cast<std::uint8_t>(v);
    }
    return r;
}

std::u16string StepText(const MacroAction& step) {
    const std::uint8_t b0 = step.b[0];
    if (step.IsDelay()) return Dec(step.DelayMs()) + u"ms";
    if (step.IsMove()) {
        const bool positive = step.b[3] < 0x80;
        const int amount = positive ? step.b[3] : 256 - step.b[3];
        const char16_t* label = nullptr;
        if (b0 == MacroAction::kMoveX)
            label = positive ? u"Move Right " : u"Move Left ";
        else if (b0 == MacroAction::kMoveY)
            label = positive ? u"Move Down " : u"Move Up ";
        else
            label = positive ? u"Wheel Down " : u"Wheel Up ";
        return label + Dec(amount);
    }
    return KeyCodeName(b0);
}

StepIcon StepIconOf(const MacroAction& step) {
    if (step.IsDelay()) return StepIcon::Time;
    return step.IsRelease() ? StepIcon::Up : StepIcon::Down;
}

} // namespace tarvik
