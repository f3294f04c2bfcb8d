// The DPI level controls of the main window: the level buttons, which show a
// level's DPI and enable the levels up to the clicked one in their window's
// LevelGroup, and the level's value bar, a display that can only be clicked.
#pragma once

#include "skin/ControlBase.h"
#include "skin/Sliders.h"

namespace tarvik {

// A DPI level button: shows its DPI (step × 50) over its picture and selects
// levels 1 to k + 1 when clicked.
class CDPIRadioButton : public CControlBase {
public:
    CDPIRadioButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible = true,
                    bool visible = true, bool disabled = false);

    bool LoadNormalImage(const QString& name) { return LoadPicture(normal_, name); }
    bool LoadHoverImage(const QString& name) { return LoadPicture(hover_, name); }
    bool LoadSelectedImage(const QString& name) { return LoadPicture(selected_, name); }

    int Step() const { return step_; }
    void SetStep(int step);
    Colour TextColour() const { return textColour_; }
    void SetTextColour(Colour colour);
    // The level this button stands for in its window's DPI level buttons (0-7), or -1.
    int Level() const;
    bool IsSelected() const;
    int PictureIndex() const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage normal_, hover_, selected_;
    int step_ = 0;
    Colour textColour_ = kTextNormal;
};

class CDPIValueShowControl : public CLevelBarBase {
public:
    CDPIValueShowControl(CDlgBase* parent, int id, const Rect& rect, const QString& text, int maximum,
                         int marginA = 0, int marginB = 0, bool groupVisible = true, bool visible = true,
                         bool disabled = false);

    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
};

} // namespace tarvik
