// The battery panel: the gauge, the percentage left of its foot and the
// legend. It shows what the device's status poll reports.
#pragma once

#include "device/DeviceController.h"
#include "mainwnd/panels/PanelHost.h"

namespace tarvik {

class CBattery;

namespace panels {

class BatteryPanel {
public:
    explicit BatteryPanel(PanelHost& host) : host_(host) {}

    // The gauge, the percentage and the legend in group 0.
    void Create();
    // What the status poll reported.
    void Show(const BatteryDisplay& display);

private:
    PanelHost& host_;
    CBattery* gauge_ = nullptr;
    CStaticText* text_ = nullptr;
};

} // namespace panels
} // namespace tarvik
