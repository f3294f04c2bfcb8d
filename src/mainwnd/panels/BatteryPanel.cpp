#include "mainwnd/panels/BatteryPanel.h"

#include <algorithm>

#include "skin/StaticControls.h"
#include "widgets/Battery.h"

namespace tarvik::panels {

using namespace mainwnd;

void BatteryPanel::Create() {
    gauge_ = host_.Add<CBattery>(0, kIdBattery, ScaledRect(80, 433, 110, 494));
    gauge_->LoadImages();
    // No level until the mouse has reported one (without a mouse, never).
    gauge_->SetState(CBattery::kUnknown, gauge_->Level(), gauge_->ChargingLevel());
    Passive(gauge_);
    // Left of the gauge, at its foot: the legend takes the room right of it,
    // and "Battery medium" then ends inside the panel's frame (266).
    text_ = Passive(
        host_.Add<CStaticText>(0, kIdBatteryText, ScaledRect(38, 476, 78, 494), QString(), kGrey, kDtRight));
    // "100%" has to fit its 40 pixels.
    text_->SetFont(Scaled(16), QString::fromLatin1(kNarrowFace));
    static const SkinName kDots[] = {SkinName("skins\\battery_green.png"),
                                     SkinName("skins\\battery_orange.png"),
                                     SkinName("skins\\battery_red.png")};
    const int dotTop[] = {441, 462, 484};
    const int textTop[] = {439, 460, 482};
    for (int i = 0; i < 3; ++i) {
        auto* dot = host_.Add<CStaticImage>(0, kIdBatteryLegendPicture,
                                            ScaledRect(122, dotTop[i], 130, dotTop[i] + 8));
        dot->LoadImage(kDots[i]);
        Passive(dot);
        Passive(host_.Add<CStaticText>(0, kIdBatteryLegendText,
                                       ScaledRect(136, textTop[i], 262, textTop[i] + 18), L(16 + i), kGrey,
                                       kDtLeft));
    }
}

void BatteryPanel::Show(const BatteryDisplay& d) {
    if (!gauge_) return;
    // The poll reports every second; the gauge is repainted only when its look changes.
    const auto level = static_cast<std::uint8_t>(std::clamp(d.level, 0, 255));
    const int mode = static_cast<int>(d.charge);
    const bool changed = gauge_->SetState(mode, level, d.chargingLevel);
    CDlgBase& window = host_.Window();
    if (changed) window.InvalidateRect(gauge_->GetRect());
    text_->SetText(QString::fromStdString(d.text));
    if (text_->IsVisible() != d.textVisible) {
        text_->SetVisible(d.textVisible);
        window.InvalidateRect(text_->GetRect());
    }
}

} // namespace tarvik::panels
