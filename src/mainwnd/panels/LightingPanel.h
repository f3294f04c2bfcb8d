// The lighting panel: the effect combo and its list, the brightness and speed
// sliders with their values, the eight colour slots (a click selects, a double
// click opens the palette) and the direction of the moving effects. Which rows
// show depends on the effect.
#pragma once

#include <array>

#include "mainwnd/panels/PanelHost.h"

namespace tarvik {

class CColorSelectCheckButton;
class CComboButton;
class CControlBase;
class CSliderControl;
class CStaticImage;

namespace panels {

class LightingPanel {
public:
    explicit LightingPanel(PanelHost& host) : host_(host) {}

    // The controls of group 2, placed in the panel's body.
    void Create();
    void AddMessages(MessageTable& table);
    // The effect's settings from the current profile (Lighting changes).
    void Refresh(ModelChange what);
    // Shows the rows the current effect has.
    void ApplyRows();
    // The combo no longer shows its list as open.
    void CloseCombo();
    // A single click on colour slot `slot` (0-7), once no second click came:
    // the slot is selected or deselected.
    void ColourSlotClick(int slot);
    // The mouse moved with `keys` held: a slider drag that has ended is sent.
    void MouseMoved(unsigned keys);

private:
    LResult OnCombo(int msg, WParam w, LParam code);
    LResult OnChosen(int msg, WParam w, LParam l);
    LResult OnColourSlot(int msg, WParam w, LParam code);
    LResult OnSlider(int msg, WParam w, LParam code);
    LResult OnDirection(int msg, WParam w, LParam code);
    void ShowSpeedText(int position);
    void ShowBrightnessText(int position);

    PanelHost& host_;
    bool dragMark_ = false; // a slider moved while the button was held
    CComboButton* combo_ = nullptr;
    CStaticText* brightnessLabel_ = nullptr;
    CStaticImage* brightnessBar_ = nullptr;
    CSliderControl* brightnessSlider_ = nullptr;
    CStaticText* brightnessValue_ = nullptr;
    CStaticText* speedLabel_ = nullptr;
    CStaticImage* speedBar_ = nullptr;
    CSliderControl* speedSlider_ = nullptr;
    CStaticText* speedValue_ = nullptr;
    CStaticText* coloursLabel_ = nullptr;
    std::array<CColorSelectCheckButton*, 8> colourSlots_{};
    CStaticText* directionLabel_ = nullptr;
    CRadioButton* directionUp_ = nullptr;
    CRadioButton* directionDown_ = nullptr;
};

} // namespace panels
} // namespace tarvik
