#include "mainwnd/panels/LightingPanel.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "model/Lighting.h"
#include "model/SettingsModel.h"
#include "skin/ColorSelectButton.h"
#include "skin/ComboButton.h"
#include "skin/RadioButton.h"
#include "skin/Sliders.h"
#include "skin/StaticControls.h"
#include "widgets/ColorPaletteDlg.h"
#include "widgets/Popups.h"

namespace tarvik::panels {

using namespace mainwnd;

void LightingPanel::Create() {
    combo_ = host_.Add<CComboButton>(2, kMsgLightingCombo, kIdLightingCombo, BodyRect(0, 40, 11, 229, 36),
                                     QString(), 0, QString(), false);
    combo_->LoadNormalImage(SkinName("skins\\combo3_nr.png"));
    combo_->LoadHoverImage(SkinName("skins\\combo3_ov.png"));
    combo_->SetInsets(Scaled(8), Scaled(26));
    host_.PlaceInBody(combo_, Panel::Lighting, 40, 11, 229, 36);

    auto bar = [this](int id, int l, int t, int r, int b) {
        auto* c = host_.Add<CStaticImage>(2, id, BodyRect(0, l, t, r, b), QString(), false);
        c->LoadImage(SkinName("skins\\Slider_bar.png"));
        host_.PlaceInBody(Passive(c), Panel::Lighting, l, t, r, b);
        return c;
    };
    auto slider = [this](int id, int stops) {
        auto* c = host_.Add<CSliderControl>(2, id, BodyRect(0, 42, 67, 187, 80), QString(), stops, Scaled(6),
                                            Scaled(7), false);
        c->LoadThumbImage(SkinName("skins\\Slider_Circle.png"));
        host_.PlaceInBody(c, Panel::Lighting, 42, 67, 187, 80);
        return c;
    };
    auto text = [this](int id, int l, int t, int r, int b, const QString& s, unsigned format) {
        return AddBodyText(host_, 2, Panel::Lighting, id, l, t, r, b, s, format);
    };
    brightnessLabel_ = text(kIdBrightnessLabel, 42, 42, 132, 60, L(120), kDtVCenter);
    brightnessBar_ = bar(kIdBrightnessBar, 42, 72, 187, 75);
    brightnessSlider_ = slider(kIdBrightnessSlider, kBrightnessStops);
    brightnessValue_ = text(kIdBrightnessValue, 195, 64, 235, 82, QString(), kDtVCenter);
    brightnessValue_->SetFont(Scaled(16), QString::fromLatin1(kNarrowFace)); // "100%" in 40 pixels
    speedLabel_ = text(kIdSpeedLabel, 42, 42, 132, 60, L(121), kDtVCenter);
    speedBar_ = bar(kIdSpeedBar, 42, 72, 187, 75);
    speedSlider_ = slider(kIdSpeedSlider, kSpeedStops);
    speedValue_ = text(kIdSpeedValue, 195, 64, 226, 82, QString(), kDtVCenter);
    coloursLabel_ = text(kIdColoursLabel, 42, 107, 252, 125, L(122), kDtLeft);
    for (int i = 0; i < 8; ++i) {
        const Rect r = BodyRect(0, 42 + 26 * i, 134, 63 + 26 * i, 154);
        auto* c = host_.Add<CColorSelectCheckButton>(2, kIdFirstColourSlot + i, r, r, QString(), false);
        c->LoadNormalImage(SkinName("skins\\color_select_nr.png"));
        c->LoadCheckedImage(SkinName("skins\\color_select_check.png"));
        colourSlots_[static_cast<std::size_t>(i)] = c;
        host_.PlaceInBody(c, Panel::Lighting, 42 + 26 * i, 134, 63 + 26 * i, 154);
    }
    directionLabel_ = text(kIdDirectionLabel, 42, 107, 132, 125, L(123), kDtLeft);
    directionUp_ = AddBodyRadio(host_, 2, Panel::Lighting, kIdDirectionUp, 42, 134, 71, 152,
                                SkinName("skins\\up_nr.png"), SkinName("skins\\up_ov.png"),
                                SkinName("skins\\up_check.png"));
    directionDown_ = AddBodyRadio(host_, 2, Panel::Lighting, kIdDirectionDown, 81, 134, 110, 152,
                                  SkinName("skins\\down_nr.png"), SkinName("skins\\down_ov.png"),
                                  SkinName("skins\\down_check.png"));
}

void LightingPanel::AddMessages(MessageTable& m) {
    m.Add(kMsgLightingCombo, kMsgLightingCombo, this, &LightingPanel::OnCombo);
    m.Add(kMsgLightingChosen, kMsgLightingChosen, this, &LightingPanel::OnChosen);
    m.Add(kMsgLightingClosed, [this](int, WParam, LParam) -> LResult {
        host_.Window().ClosePopup(kSlotLighting);
        CloseCombo();
        return 0;
    });
    m.Add(kIdFirstColourSlot, kIdFirstColourSlot + 7, this, &LightingPanel::OnColourSlot);
    m.Add(kIdSpeedSlider, kIdSpeedSlider, this, &LightingPanel::OnSlider);
    m.Add(kIdBrightnessSlider, kIdBrightnessSlider, this, &LightingPanel::OnSlider);
    m.Add(kIdDirectionUp, kIdDirectionUp, this, &LightingPanel::OnDirection);
    m.Add(kIdDirectionDown, kIdDirectionDown, this, &LightingPanel::OnDirection);
}

void LightingPanel::ApplyRows() {
    if (!combo_) return;
    const LightingRows rows = LightingRowsFor(host_.Current().Lighting1Mode[0]);
    for (CControlBase* c :
         {static_cast<CControlBase*>(speedLabel_), static_cast<CControlBase*>(speedBar_),
          static_cast<CControlBase*>(speedSlider_), static_cast<CControlBase*>(speedValue_)})
        c->SetVisible(rows.speed);
    for (CControlBase* c :
         {static_cast<CControlBase*>(brightnessLabel_), static_cast<CControlBase*>(brightnessBar_),
          static_cast<CControlBase*>(brightnessSlider_), static_cast<CControlBase*>(brightnessValue_)})
        c->SetVisible(rows.brightness);
    coloursLabel_->SetVisible(rows.coloursLabel);
    for (int i = 0; i < 8; ++i) colourSlots_[static_cast<std::size_t>(i)]->SetVisible(i < rows.colourSlots);
    directionLabel_->SetVisible(rows.direction);
    directionUp_->SetVisible(rows.direction);
    directionDown_->SetVisible(rows.direction);
}

void LightingPanel::CloseCombo() {
    if (combo_) combo_->SetOpen(false);
}

void LightingPanel::ShowSpeedText(int position) {
    speedValue_->SetText(QString::number(position + 1));
}

void LightingPanel::ShowBrightnessText(int position) {
    brightnessValue_->SetText(QString::fromLatin1(BrightnessText(position)));
}

void LightingPanel::Refresh(ModelChange what) {
    if (!Touches(what, ModelChange::Lighting)) return;
    const ProfileRecord& rec = host_.Current();
    const std::size_t m = std::min<std::size_t>(rec.Lighting1Mode[0], kEffects - 1);
    combo_->SetDisplayText(QString::fromStdU16String(rec.Lighting1Name));
    for (std::size_t i = 0; i < colourSlots_.size(); ++i) {
        colourSlots_[i]->SetColour(rec.Lighting1FixedColor[m][i]);
        colourSlots_[i]->SetChecked(rec.Lighting1ColorSelected[m][i] != 0);
    }
    if (!speedSlider_->IsDragging()) speedSlider_->SetStop(rec.Lighting1Speed[m]);
    ShowSpeedText(rec.Lighting1Speed[m]);
    if (!brightnessSlider_->IsDragging()) brightnessSlider_->SetStop(rec.Lighting1Brightness[m]);
    ShowBrightnessText(rec.Lighting1Brightness[m]);
    host_.Window().Radios().Select(rec.Lighting1Direction[m] != 0 ? kIdDirectionUp : kIdDirectionDown);
    ApplyRows();
    // The panel's rows come and go with the effect.
    const int top = host_.BodyTop(Panel::Lighting);
    host_.Window().InvalidateRect(ScaledRect(kColumnX, top, kColumnX + kColumnWidth, top + 180));
}

LResult LightingPanel::OnCombo(int, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    host_.CloseAllPopups();
    CDlgBase& window = host_.Window();
    const Rect r = combo_->GetRect();
    const QPoint at = window.mapToGlobal(QPoint(r.left, r.bottom));
    auto* list = new CComboLightingPopup();
    list->Create(&window, Rect{at.x(), at.y(), at.x() + Scaled(300), at.y() + Scaled(300)},
                 kMsgLightingChosen, kIdLightingCombo);
    window.SetPopup(kSlotLighting, list);
    combo_->SetOpen(true);
    return 0;
}

LResult LightingPanel::OnChosen(int, WParam, LParam l) {
    const auto* r = reinterpret_cast<const PopupResult*>(l);
    if (!r || r->codeCount < 1) return 0;
    const int effect = r->code[0];
    const std::u16string name = r->label.toStdU16String();
    host_.Window().ClosePopup(kSlotLighting);
    combo_->SetOpen(false);
    SettingsModel& model = host_.Model();
    static_cast<void>(host_.RunEdit(
        [&model, effect, &name](int slot) { return edits::SetLightingEffect(model, slot, effect, name); },
        false, true));
    return 0;
}

LResult LightingPanel::OnColourSlot(int msg, WParam, LParam code) {
    const int k = msg - kIdFirstColourSlot;
    if (code == kNotifyClick) {
        // A second click within 150 ms is a double click: that one opens the palette.
        host_.ArmWindowTask(kTimerFirstColourSlot + k, kColourSlotClickMs);
    } else if (code == kNotifyDoubleClick) {
        host_.CancelWindowTask(kTimerFirstColourSlot + k);
        const int mode = std::min<int>(host_.Current().Lighting1Mode[0], kEffects - 1);
        // The palette confirms into a copy; the edit stores the colour in the
        // profile it was opened for.
        auto picked = std::make_shared<ProfileRecord>(host_.Current());
        const int profile = host_.Model().GetCurrentProfile();
        host_.RunDialog(
            new CColorPaletteDlg(picked.get(), CColorPaletteDlg::kLightingSlot, mode, k, &host_.Window()),
            [this, k, mode, picked, profile](int result) {
                if (result != QDialog::Accepted || host_.Ended()) return;
                const Colour colour =
                    picked->Lighting1FixedColor[static_cast<std::size_t>(mode)][static_cast<std::size_t>(k)];
                SettingsModel& model = host_.Model();
                static_cast<void>(
                    host_.RunEdit([&model, k, colour, profile](
                                      int) { return edits::SetLightingColour(model, profile, k, colour); },
                                  false, true));
            });
    }
    return 0;
}

void LightingPanel::ColourSlotClick(int slot) {
    if (slot < 0 || slot >= static_cast<int>(colourSlots_.size())) return;
    const bool select = !colourSlots_[static_cast<std::size_t>(slot)]->IsChecked();
    SettingsModel& model = host_.Model();
    const edits::EditResult r = host_.RunEdit(
        [&model, slot, select](int profile) {
            return edits::SetLightingColourSelected(model, profile, slot, select);
        },
        false, true);
    if (r.notice != Notice::None) host_.ShowNotice(NoticeString(r.notice)); // it stays selected
}

LResult LightingPanel::OnSlider(int msg, WParam w, LParam code) {
    const bool speed = msg == kIdSpeedSlider;
    CSliderControl* slider = speed ? speedSlider_ : brightnessSlider_;
    if (code != kNotifyDrag && code != kNotifyClick) return 0;
    // The label follows at once.
    const int position = code == kNotifyDrag ? static_cast<int>(w) : slider->CurrentStop();
    speed ? ShowSpeedText(position) : ShowBrightnessText(position);
    const int stop = slider->CurrentStop();
    SettingsModel& model = host_.Model();
    const auto edit = [&model, speed, stop](int slot) {
        return speed ? edits::SetLightingSpeed(model, slot, stop)
                     : edits::SetLightingBrightness(model, slot, stop);
    };
    if (code == kNotifyDrag) {
        // The send waits for the end of the drag (MouseMoved).
        dragMark_ = true;
        static_cast<void>(host_.RunEdit(edit, true, false));
        return 0;
    }
    // A click ends a drag as well: one request covers both.
    edits::EditResult r = host_.RunEdit(edit, true, false);
    if (std::exchange(dragMark_, false)) r.send |= SendGroup::MainSettings;
    if (!r.send.Empty()) host_.SendRequest(r.send);
    return 0;
}

void LightingPanel::MouseMoved(unsigned keys) {
    // A slider drag is sent once it has ended (the release may lie outside the slider).
    if (dragMark_ && !(keys & kMkLButton)) {
        dragMark_ = false;
        host_.SendRequest(SendGroup::MainSettings);
    }
}

LResult LightingPanel::OnDirection(int msg, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    SettingsModel& model = host_.Model();
    const bool up = msg == kIdDirectionUp;
    static_cast<void>(host_.RunEdit(
        [&model, up](int slot) { return edits::SetLightingDirection(model, slot, up); }, true, true));
    return 0;
}

} // namespace tarvik::panels
