#include "mainwnd/panels/LiftOffPanel.h"

#include "model/SettingsModel.h"
#include "skin/RadioButton.h"
#include "skin/StaticControls.h"

namespace tarvik::panels {

using namespace mainwnd;

void LiftOffPanel::Create() {
    low_ = AddBodyRadio(host_, 5, Panel::LiftOff, kIdLiftLow, 80, 27, 95, 42, SkinName("skins\\radio_nr.png"),
                        SkinName("skins\\radio_ov.png"), SkinName("skins\\radio_dn.png"));
    high_ =
        AddBodyRadio(host_, 5, Panel::LiftOff, kIdLiftHigh, 160, 27, 175, 42, SkinName("skins\\radio_nr.png"),
                     SkinName("skins\\radio_ov.png"), SkinName("skins\\radio_dn.png"));
    AddBodyText(host_, 5, Panel::LiftOff, kIdLiftLowText, 64, 47, 111, 65, L(270), kDtCenter);
    AddBodyText(host_, 5, Panel::LiftOff, kIdLiftHighText, 144, 47, 191, 65, L(271), kDtCenter);
}

void LiftOffPanel::AddMessages(MessageTable& m) {
    m.Add(kIdLiftLow, kIdLiftHigh, this, &LiftOffPanel::OnDistance);
}

void LiftOffPanel::Refresh(ModelChange what) {
    if (!Touches(what, ModelChange::Settings)) return;
    const SettingsModel& model = host_.Model();
    const int slot = model.GetCurrentProfile();
    host_.Window().Radios().Select(model.GetSettingInt(slot, kSetLiftDetectionHeight) == 1 ? kIdLiftLow
                                                                                           : kIdLiftHigh);
    host_.Window().InvalidateRect(low_->GetRect());
    host_.Window().InvalidateRect(high_->GetRect());
}

LResult LiftOffPanel::OnDistance(int msg, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    SettingsModel& model = host_.Model();
    const bool low = msg == kIdLiftLow;
    static_cast<void>(
        host_.RunEdit([&model, low](int slot) { return edits::SetLiftOff(model, slot, low); }, true, true));
    return 0;
}

} // namespace tarvik::panels
