#include "mainwnd/panels/PowerPanel.h"

#include "model/SettingsModel.h"
#include "skin/CheckButton.h"
#include "skin/StaticControls.h"
#include "widgets/PowerManageButton.h"

namespace tarvik::panels {

using namespace mainwnd;

void PowerPanel::Create() {
    dial_ = host_.Add<CPowerManageButton>(0, kIdPowerDial, ScaledRect(81, 550, 221, 634), QString(), 0);
    static const SkinName kDial[] = {
        SkinName("skins\\power_manage_3min.png"), SkinName("skins\\power_manage_4min.png"),
        SkinName("skins\\power_manage_5min.png"), SkinName("skins\\power_manage_6min.png"),
        SkinName("skins\\power_manage_7min.png"), SkinName("skins\\power_manage_8min.png"),
        SkinName("skins\\power_manage_9min.png"), SkinName("skins\\power_manage_10min.png")};
    for (int v = 3; v <= 10; ++v) dial_->LoadValueImage(v, kDial[v - 3]);
    auto text = [this](int id, const Rect& r, const QString& s, unsigned format) {
        return Passive(host_.Add<CStaticText>(0, id, r, s, kGrey, format));
    };
    // The label and the two check rows sit 4 pixels higher than the dial's
    // first layout, so the last row's text clears the frame's foot (694).
    label_ = text(kIdPowerLabel, ScaledRect(36, 636, 266, 654), QString(), kDtCenter);
    auto check = [this](int id, const Rect& r) {
        auto* c = host_.Add<CCheckButton>(0, id, r, QString(), 0);
        c->LoadNormalImage(SkinName("skins\\check_nr.png"));
        c->LoadHoverImage(SkinName("skins\\check_ov.png"));
        c->LoadCheckedImage(SkinName("skins\\check_dn.png"));
        return c;
    };
    lightOnMove_ = check(kIdLightOnMove, ScaledRect(50, 655, 65, 670));
    text(kIdBatteryLegendText, ScaledRect(70, 654, 262, 672), L(268), kDtLeft);
    motionWakeup_ = check(kIdMotionWakeup, ScaledRect(50, 674, 65, 689));
    text(kIdBatteryLegendText, ScaledRect(70, 673, 262, 691), L(274), kDtLeft);
}

void PowerPanel::AddMessages(MessageTable& m) {
    for (const int id : {kIdPowerDial, kIdLightOnMove, kIdMotionWakeup})
        m.Add(id, id, this, &PowerPanel::OnOption);
}

void PowerPanel::Refresh(ModelChange what) {
    if (!Touches(what, ModelChange::Settings)) return;
    const SettingsModel& model = host_.Model();
    const int slot = model.GetCurrentProfile();
    lightOnMove_->SetChecked(model.GetSettingInt(slot, kSetMoveLightingOnOffMode) == 1);
    motionWakeup_->SetChecked(model.GetSettingInt(slot, kSetMotionWakeup) == 1);
    const int minutes = model.GetSettingInt(slot, kSetPowerDownTime);
    dial_->SetValue(minutes);
    // "Sleep when idle:" ends with a colon: a space keeps the number apart
    // ("闲置6分钟后休眠" needs none).
    QString label = L(266);
    if (label.endsWith(QLatin1Char(':'))) label += QLatin1Char(' ');
    label += QString::number(minutes);
    label += L(267);
    label_->SetText(label);
}

LResult PowerPanel::OnOption(int msg, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    SettingsModel& model = host_.Model();
    static_cast<void>(host_.RunEdit(
        [this, &model, msg](int slot) {
            if (msg == kIdPowerDial) return edits::SetPowerDownTime(model, slot, dial_->Value());
            if (msg == kIdLightOnMove) return edits::SetLightOnMove(model, slot, lightOnMove_->IsChecked());
            return edits::SetMotionWakeup(model, slot, motionWakeup_->IsChecked());
        },
        false, true));
    return 0;
}

} // namespace tarvik::panels
