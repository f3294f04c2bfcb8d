// The DPI levels panel: five columns, each with the level's on/off check, its
// colour, its value bar (a click opens the value dialog) and its value button.
#pragma once

#include <array>

#include "mainwnd/panels/PanelHost.h"

namespace tarvik {

class CCheckButton;
class CColorSelectButton;
class CDPIRadioButton;
class CDPIValueShowControl;

namespace panels {

class DpiPanel {
public:
    explicit DpiPanel(PanelHost& host) : host_(host) {}

    // The controls of group 1 at their places, in the order of the inventory.
    void Create();
    void AddMessages(MessageTable& table);
    // The levels from the current profile (Dpi and Sensor changes).
    void Refresh(ModelChange what);

private:
    LResult OnLevelCheck(int msg, WParam w, LParam code);
    LResult OnLevelColour(int msg, WParam w, LParam code);
    LResult OnLevelValue(int msg, WParam w, LParam code);

    PanelHost& host_;
    std::array<CCheckButton*, mainwnd::kShownLevels> checks_{};
    std::array<CColorSelectButton*, mainwnd::kShownLevels> colours_{};
    std::array<CDPIValueShowControl*, mainwnd::kShownLevels> values_{};
    std::array<CDPIRadioButton*, mainwnd::kShownLevels> buttons_{};
};

} // namespace panels
} // namespace tarvik
