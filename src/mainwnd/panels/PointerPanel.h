// The pointer panel: pointer speed, acceleration, double-click time and
// scrolling belong to the desktop, so the panel holds one button that opens
// the desktop's own mouse settings (a notice when none is found).
#pragma once

#include "mainwnd/panels/PanelHost.h"

namespace tarvik {

class CImageButton;

namespace panels {

class PointerPanel {
public:
    explicit PointerPanel(PanelHost& host) : host_(host) {}

    // The settings button in group 3, placed in the panel body.
    void Create();
    void AddMessages(MessageTable& table);

private:
    LResult OnMouseSettings(int msg, WParam w, LParam code);

    PanelHost& host_;
    CImageButton* settings_ = nullptr;
};

} // namespace panels
} // namespace tarvik
