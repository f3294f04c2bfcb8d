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
