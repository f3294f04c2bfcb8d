// The power panel: the sleep-when-idle dial and its label, and the checks for
// lighting on movement and waking up on movement.
#pragma once

#include "mainwnd/panels/PanelHost.h"

namespace tarvik {

class CCheckButton;
class CPowerManageButton;

namespace panels {

class PowerPanel {
public:
    explicit PowerPanel(PanelHost& host) : host_(host) {}

    // The dial, its label and the two check rows in group 0.
    void Create();
    void AddMessages(MessageTable& table);
    // The settings from the current profile (Settings changes).
    void Refresh(ModelChange what);

private:
    LResult OnOption(int msg, WParam w, LParam code);

    PanelHost& host_;
    CPowerManageButton* dial_ = nullptr;
    CStaticText* label_ = nullptr;
    CCheckButton* lightOnMove_ = nullptr;
    CCheckButton* motionWakeup_ = nullptr;
};

} // namespace panels
} // namespace tarvik
