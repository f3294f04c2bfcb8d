#include "mainwnd/panels/DpiPanel.h"

#include <algorithm>
#include <memory>

#include "model/SettingsModel.h"
#include "skin/CheckButton.h"
#include "skin/ColorSelectButton.h"
#include "skin/RadioButton.h"
#include "skin/Sliders.h"
#include "widgets/ColorPaletteDlg.h"
#include "widgets/DPIValueSettingDlg.h"
#include "widgets/DpiControls.h"

namespace tarvik::panels {

using namespace mainwnd;

namespace {

constexpr Colour kActiveLevel = Rgb(255, 0, 0);

} // namespace

void DpiPanel::Create() {
    // Five columns at a pitch of 38.
    const int dpiSteps = static_cast<int>(host_.Model().DpiStepCount);
    for (int k = 0; k < kShownLevels; ++k) {
        const int x = 38 * k;
        auto* c = host_.Add<CCheckButton>(1, kIdFirstLevelCheck + k, ScaledRect(898 + x, 226, 909 + x, 237),
                                          QString(), 0, false);
        c->LoadNormalImage(SkinName("skins\\check_button_dpi_nr.png"));
        c->LoadHoverImage(SkinName("skins\\check_button_dpi_ov.png"));
        c->LoadCheckedImage(SkinName("skins\\check_button_dpi_dn.png"));
        checks_[static_cast<std::size_t>(k)] = c;
    }
    for (int k = 0; k < kShownLevels; ++k) {
        const Rect r = ScaledRect(891 + 38 * k, 240, 917 + 38 * k, 252);
        colours_[static_cast<std::size_t>(k)] =
            host_.Add<CColorSelectButton>(1, kIdFirstLevelColour + k, r, r, QString(), false);
    }
    for (int k = 0; k < kShownLevels; ++k) {
        auto* c = host_.Add<CDPIValueShowControl>(1, kIdFirstLevelValue + k,
                                                  ScaledRect(900 + 38 * k, 75, 907 + 38 * k, 207), QString(),
                                                  std::max(1, dpiSteps), 0, 0, false);
        c->LoadTrackImage(SkinName("skins\\mouse\\dpi_bar_1.png"));
        c->LoadFillImage(SkinName("skins\\mouse\\dpi_bar_2.png"));
        values_[static_cast<std::size_t>(k)] = c;
    }
    for (int k = 0; k < kShownLevels; ++k) {
        auto* c = host_.Add<CDPIRadioButton>(
            1, kIdFirstLevelButton + k, ScaledRect(891 + 38 * k, 212, 917 + 38 * k, 223), QString(), false);
        c->LoadNormalImage(SkinName("skins\\dpi_value.png"));
        c->LoadHoverImage(SkinName("skins\\dpi_value.png"));
        c->LoadSelectedImage(SkinName("skins\\dpi_value.png"));
        // "10000" has to fit the 26-pixel picture.
        c->SetFont(Scaled(10), QString::fromLatin1(kNarrowFace));
        buttons_[static_cast<std::size_t>(k)] = c;
    }
}

void DpiPanel::AddMessages(MessageTable& m) {
    m.Add(kIdFirstLevelCheck, kIdFirstLevelCheck + kShownLevels - 1, this, &DpiPanel::OnLevelCheck);
    m.Add(kIdFirstLevelColour, kIdFirstLevelColour + kShownLevels - 1, this, &DpiPanel::OnLevelColour);
    // A level button's click sets the buttons' shared mask to the levels up to
    // it, which would draw levels as on or off that the profile (and so the
    // mouse) has otherwise: the buttons show the profile's enabled levels again.
    m.Add(kIdFirstLevelButton, kIdFirstLevelButton + kShownLevels - 1,
          [this](int, WParam, LParam code) -> LResult {
              if (code == kNotifyClick) Refresh(ModelChange::Dpi);
              return 0;
          });
    m.Add(kIdFirstLevelValue, kIdFirstLevelValue + kShownLevels - 1, this, &DpiPanel::OnLevelValue);
}

void DpiPanel::Refresh(ModelChange what) {
    if (!Touches(what, ModelChange::Dpi | ModelChange::Sensor)) return;
    const SettingsModel& model = host_.Model();
    const ProfileRecord& rec = host_.Current();
    const int active = rec.ActiveDpiLevel();
    const int steps = static_cast<int>(model.DpiStepCount);
    host_.Window().Levels().SetMask(rec.DPIOffOnFlag);
    for (int i = 0; i < kShownLevels; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        const bool enabled = (rec.DPIOffOnFlag >> i & 1u) != 0;
        checks_[k]->SetChecked(enabled);
        const std::size_t index = rec.XYSetting[k];
        CDPIRadioButton* button = buttons_[k];
        button->SetStep(index < model.DpiStepTable.size() ? static_cast<int>(model.DpiStepTable[index]) : 0);
        button->SetDisabled(!enabled);
        button->SetTextColour(i == active ? kActiveLevel : kGrey);
        colours_[k]->SetColour(rec.DPILevelIndication[k]);
        CDPIValueShowControl* value = values_[k];
        value->SetMaximum(std::max(1, steps));
        value->SetValue(rec.XYSetting[k]);
        host_.Window().InvalidateRect(value->GetRect());
    }
}

LResult DpiPanel::OnLevelCheck(int msg, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    const int i = msg - kIdFirstLevelCheck;
    CCheckButton* check = checks_[static_cast<std::size_t>(i)];
    const bool enable = check->IsChecked();
    SettingsModel& model = host_.Model();
    const edits::EditResult r = host_.RunEdit(
        [&model, i, enable](int slot) { return edits::SetLevelEnabled(model, slot, i, enable); }, true, true);
    if (r.refused) check->SetChecked(true); // the only enabled level stays enabled
    return 0;
}

LResult DpiPanel::OnLevelColour(int msg, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    const int i = msg - kIdFirstLevelColour;
    // The palette confirms into a copy; the edit stores the colour in the
    // profile it was opened for.
    auto picked = std::make_shared<ProfileRecord>(host_.Current());
    const int profile = host_.Model().GetCurrentProfile();
    host_.RunDialog(new CColorPaletteDlg(picked.get(), CColorPaletteDlg::kDpiLevel, i, 0, &host_.Window()),
                    [this, i, picked, profile](int result) {
                        if (result != QDialog::Accepted || host_.Ended()) return;
                        const Colour colour = picked->DPILevelIndication[static_cast<std::size_t>(i)];
                        SettingsModel& model = host_.Model();
                        static_cast<void>(host_.RunEdit(
                            [&model, i, colour, profile](int) {
                                return edits::SetLevelColour(model, profile, i, colour);
                            },
                            false, true));
                    });
    return 0;
}

LResult DpiPanel::OnLevelValue(int msg, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    const int i = msg - kIdFirstLevelValue;
    CDPIValueShowControl* display = values_[static_cast<std::size_t>(i)];
    SettingsModel& model = host_.Model();
    const int steps = static_cast<int>(model.DpiStepCount);
    if (steps <= 0) return 0;
    auto* dialog = new CDPIValueSettingDlg(
        display, steps,
        std::span<const std::uint32_t>(model.DpiStepTable.data(), static_cast<std::size_t>(steps)),
        &host_.Window());
    host_.RunDialog(dialog, [this, i, display](int result) {
        if (result != QDialog::Accepted || host_.Ended()) return;
        const int step = display->Value();
        SettingsModel& model = host_.Model();
        const edits::EditResult r = host_.RunEdit(
            [&model, i, step](int slot) { return edits::SetLevelValue(model, slot, i, step); }, false, true);
        if (r.refused) {
            // The display shows the profile's value again.
            display->SetValue(host_.Current().XYSetting[static_cast<std::size_t>(i)]);
            host_.Window().InvalidateRect(display->GetRect());
        }
    });
    return 0;
}

} // namespace tarvik::panels
