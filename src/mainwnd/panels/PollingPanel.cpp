#include "mainwnd/panels/PollingPanel.h"

#include "model/PollingRates.h"
#include "model/SettingsModel.h"
#include "skin/StaticControls.h"

namespace tarvik::panels {

using namespace mainwnd;

void PollingPanel::Create() {
    static const SkinName kNormal[] = {SkinName("skins\\125hz_nr.png"), SkinName("skins\\250hz_nr.png"),
                                       SkinName("skins\\500hz_nr.png"), SkinName("skins\\1000hz_nr.png")};
    static const SkinName kDown[] = {SkinName("skins\\125hz_dn.png"), SkinName("skins\\250hz_dn.png"),
                                     SkinName("skins\\500hz_dn.png"), SkinName("skins\\1000hz_dn.png")};
    struct Cell {
        int l, t, r, b;
    };
    static constexpr Cell kCells[] = {
        {59, 20, 131, 92}, {59, 92, 131, 164}, {131, 92, 203, 164}, {131, 20, 203, 92}};
    for (int i = 0; i < 4; ++i) {
        const Cell& cell = kCells[i];
        AddBodyRadio(host_, 4, Panel::Polling, kIdFirstRate + i, cell.l, cell.t, cell.r, cell.b, kNormal[i],
                     kDown[i], kDown[i]);
    }
    // The chosen rate's caption under the grid, not across its middle,
    // where it covered the four tiles; 16 pixels of body are left there.
    for (int i = 0; i < 4; ++i) {
        auto* c = AddBodyText(host_, 4, Panel::Polling, kIdFirstRateCaption + i, 59, 164, 203, 180,
                              L(261 + i), kDtCenter);
        c->SetFont(Scaled(14), QString::fromStdU16String(Language().Font().face));
        c->SetVisible(false);
        captions_[static_cast<std::size_t>(i)] = c;
    }
}

void PollingPanel::AddMessages(MessageTable& m) {
    m.Add(kIdFirstRate, kIdFirstRate + 3, this, &PollingPanel::OnRate);
}

void PollingPanel::Refresh(ModelChange what) {
    if (!Touches(what, ModelChange::Polling)) return;
    const int index = PollingRateAt(host_.Current().PollingRate[0]).index;
    host_.Window().Radios().Select(kIdFirstRate + index);
    for (int i = 0; i < 4; ++i) captions_[static_cast<std::size_t>(i)]->SetVisible(i == index);
    const int top = host_.BodyTop(Panel::Polling);
    host_.Window().InvalidateRect(ScaledRect(kColumnX, top, kColumnX + kColumnWidth, top + 180));
}

LResult PollingPanel::OnRate(int msg, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    const int rate = msg - kIdFirstRate;
    SettingsModel& model = host_.Model();
    static_cast<void>(host_.RunEdit(
        [&model, rate](int slot) { return edits::SetPollingRate(model, slot, rate); }, false, true));
    return 0;
}

} // namespace tarvik::panels
