#include "model/MacroRecords.h"

#include <algorithm>

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

} // namespace tarvik
