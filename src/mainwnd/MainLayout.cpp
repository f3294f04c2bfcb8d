#include "mainwnd/MainLayout.h"

namespace tarvik::mainwnd {

const PanelRow* PanelOfHeader(int headerId) {
    for (const PanelRow& row : kPanels)
        if (row.headerId == headerId) return &row;
    return nullptr;
}

PanelState StartPanels() {
    PanelState s;
    for (const PanelRow& row : kPanels) s[row.panel] = row.openAtStart;
    return s;
}

std::array<PanelPlace, kPanelCount> ColumnLayout(const PanelState& state, bool sensorPage) {
    // Each header takes 25 and a gap of 5 below the one before it; each open
    // body adds its height.
    std::array<PanelPlace, kPanelCount> places{};
    int y = 37;
    for (const PanelRow& row : kPanels) {
        PanelPlace& place = places[static_cast<std::size_t>(row.panel)];
        place.shown = row.panel != Panel::LiftOff || sensorPage;
        place.headerTop = y;
        place.bodyTop = y + kHeaderHeight;
        place.bodyOpen = place.shown && state[row.panel];
        if (!place.shown) continue;
        y += kHeaderHeight + 5;
        if (place.bodyOpen) y += row.openHeight;
    }
    return places;
}

PanelState AfterOpening(Panel opened, PanelState state) {
    bool kept = false;
    for (const PanelRow& row : kPanels) {
        if (row.panel == opened || !state[row.panel]) continue;
        if (kept)
            state[row.panel] = false;
        else
            kept = true;
    }
    state[opened] = true;
    return state;
}

ColourRule ColourRuleFor(int effect) {
    switch (effect) {
    case 3:
        return {0, 0, 153}; // the one colour of the effect can never be deselected
    case 2:
        return {7, 1, 153};
    case 6:
        return {8, 2, 154};
    case 7:
        return {2, 1, 153};
    default:
        return {0, -1, 0};
    }
}

bool MayDeselect(int effect, std::span<const std::uint8_t> selected, int slot) {
    const ColourRule rule = ColourRuleFor(effect);
    if (rule.notice == 0 || slot < 0) return true;
    int count = 0;
    for (int i = 0; i < rule.slotsCounted && i < static_cast<int>(selected.size()); ++i)
        if (selected[static_cast<std::size_t>(i)] != 0) ++count;
    return count > rule.refuseAtOrBelow;
}

namespace {
// The bit position of the (ordinal + 1)-th set bit of mask, -1 when none.
int SlotOfOrdinal(std::uint8_t mask, int ordinal) {
    if (ordinal < 0) return -1;
    int seen = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if ((mask >> bit & 1u) == 0) continue;
        if (seen == ordinal) return bit;
        ++seen;
    }
    return -1;
}
} // namespace

LevelCheckOutcome AfterLevelCheck(std::uint8_t maskBefore, int ordinal, int i, bool nowChecked) {
    if (maskBefore == (1u << i)) return {true, ordinal};
    const int slot = SlotOfOrdinal(maskBefore, ordinal);
    int next = ordinal;
    if (!nowChecked) {
        if (i == slot) {
            if (next > 0) --next;
        } else if (slot >= 0 && i < slot) {
            --next;
        }
    } else if (slot >= 0 && i < slot) {
        ++next;
    }
    return {false, next};
}

bool SupportWordFilter::KeyDown(int virtualKey) {
    const int n = static_cast<int>(kSupportWord.size());
    if (virtualKey == kSupportWord[static_cast<std::size_t>(count_ % n)]) {
        if (++count_ == 2 * n) {
            count_ = 0;
            return true;
        }
        return false;
    }
    count_ = virtualKey == kSupportWord[0] ? 1 : 0;
    return false;
}

} // namespace tarvik::mainwnd
