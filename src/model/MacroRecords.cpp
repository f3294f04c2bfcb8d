#include "model/MacroRecords.h"

#include <algorithm>

#include "text/U16.h"

namespace tarvik {

bool MacroKey::SetAction(std::size_t i, const MacroAction& step) {
    if (i >= kMaxActions) return false;
    AllAction[i] = step;
    return true;
}

bool MacroKey::InsertAction(std::size_t i, const MacroAction& step) {
    if (MacroActionNum >= kMaxActions) return false;
    i = std::min<std::size_t>(i, MacroActionNum);
    std::move_backward(AllAction.begin() + static_cast<std::ptrdiff_t>(i), AllAction.end() - 1,
                       AllAction.end());
    AllAction[i] = step;
    ++MacroActionNum;
    return true;
}

bool MacroKey::RemoveAction(std::size_t i) {
    if (i >= MacroActionNum || i >= kMaxActions) return false;
    std::move(AllAction.begin() + static_cast<std::ptrdiff_t>(i) + 1, AllAction.end(),
              AllAction.begin() + static_cast<std::ptrdiff_t>(i));
    AllAction[kMaxActions - 1] = MacroAction{};
    --MacroActionNum;
    return true;
}

MacroAction MacroKey::GetAction(std::size_t i) const {
    return i < kMaxActions ? AllAction[i] : AllAction[0];
}

void AppendStepDigits(std::u16string& out, const std::array<MacroAction, MacroKey::kMaxActions>& steps) {
    out.reserve(out.size() + kStepDigits);
    for (const MacroAction& a : steps) AppendHexBytes(out, a.b);
}

bool ReadStepDigits(std::u16string_view digits, std::array<MacroAction, MacroKey::kMaxActions>& steps) {
    if (digits.size() != kStepDigits) return false;
    for (std::size_t n = 0; n < MacroKey::kMaxActions; ++n)
        for (std::size_t b = 0; b < 4; ++b)
            steps[n].b[b] = static_cast<std::uint8_t>(HexField(digits, 8 * n + 2 * b, 2));
    return true;
}

} // namespace tarvik
