// The polling-rate panel: a 2 × 2 grid of rates with the chosen rate's
// caption under it.
#pragma once

#include <array>

#include "mainwnd/panels/PanelHost.h"

namespace tarvik::panels {

class PollingPanel {
public:
    explicit PollingPanel(PanelHost& host) : host_(host) {}

    // The controls of group 4, placed in the panel's body.
    void Create();
    void AddMessages(MessageTable& table);
    // The chosen rate from the current profile (Polling changes).
    void Refresh(ModelChange what);

private:
    LResult OnRate(int msg, WParam w, LParam code);

    PanelHost& host_;
    std::array<CStaticText*, 4> captions_{};
};

} // namespace tarvik::panels
