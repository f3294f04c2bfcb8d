// The lift-off panel: the low and high lift-off distance. It exists only
// while the sensor has its page; the window shows or hides it.
#pragma once

#include "mainwnd/panels/PanelHost.h"

namespace tarvik::panels {

class LiftOffPanel {
public:
    explicit LiftOffPanel(PanelHost& host) : host_(host) {}

    // The controls of group 5, placed in the panel's body.
    void Create();
    void AddMessages(MessageTable& table);
    // The distance from the current profile's settings (Settings changes).
    void Refresh(ModelChange what);

private:
    LResult OnDistance(int msg, WParam w, LParam code);

    PanelHost& host_;
    CRadioButton* low_ = nullptr;
    CRadioButton* high_ = nullptr;
};

} // namespace tarvik::panels
