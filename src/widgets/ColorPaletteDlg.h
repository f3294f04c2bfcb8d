// CColorPaletteDlg: picks a colour from the colour chart for one colour field of
// a profile record (a lighting colour slot, or a DPI level's indicator colour).
// The field changes only when the user confirms (OK button or Enter).
#pragma once

#include "model/ProfileTable.h"
#include "skin/DlgBase.h"
#include "skin/SkinImage.h"

namespace tarvik {

class CStaticText;

class CColorPaletteDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 500;
    static constexpr int kDesignHeight = 291;
    static constexpr int kChartResource = 287;
    static constexpr int kIdRed = 2011, kIdGreen = 2012, kIdBlue = 2013;
    // The chart's dark background: a press on it picks nothing.
    static constexpr Colour kChartBackground = 0x0F0F0F;

    enum Mode : int { kLightingSlot = 0, kDpiLevel = 1 };

    // mode 0: Lighting1FixedColor[group][slot]; mode 1: DPILevelIndication[group]
    // (a level of 8 or more is level 0).
    CColorPaletteDlg(ProfileRecord* record, int mode, int group, int slot, QWidget* parent = nullptr);
    ~CColorPaletteDlg() override;

    Colour CurrentColour() const { return current_; }
    // The edited field, nullptr when the arguments name none.
    Colour* Field() const;

    // The pick areas A and B (client coordinates).
    static Rect PickAreaA();
    static Rect PickAreaB();
    static Rect SwatchRect();

protected:
    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void DrawUnderControls(QPainter& dc, const Rect& client) override;
    void DrawOverControls(QPainter& dc, const Rect& client) override;
    void OnLButtonDown(unsigned keys, QPoint p) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Confirm();
    void ShowComponents();

    ProfileRecord* record_;
    int mode_, group_, slot_;
    Colour current_ = 0;
    SkinBitmap chart_;
    CStaticText* texts_[3] = {};
};

} // namespace tarvik
