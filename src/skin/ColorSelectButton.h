// Colour swatches: CColorSelectButton only fills its swatch with its colour;
// CColorSelectCheckButton draws a frame picture (checked or not) and fills the
// inside with its colour, and reports double clicks.
#pragma once

#include "skin/ControlBase.h"

namespace tarvik {

inline constexpr Colour kSwatchInitial = Rgb(0, 255, 0);

class CColorSelectButton : public CControlBase {
public:
    CColorSelectButton(CDlgBase* parent, int id, const Rect& rect, const Rect& swatch, const QString& text,
                       bool groupVisible = true, bool visible = true, bool disabled = false);

    Colour GetColour() const { return colour_; }
    void SetColour(Colour colour);
    const Rect& Swatch() const { return swatch_; }
    void SetSwatch(const Rect& swatch);

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;

private:
    Rect swatch_;
    Colour colour_ = kSwatchInitial;
};

class CColorSelectCheckButton : public CControlBase {
public:
    CColorSelectCheckButton(CDlgBase* parent, int id, const Rect& rect, const Rect& swatch,
                            const QString& text, bool groupVisible = true, bool visible = true,
                            bool disabled = false);

    bool LoadNormalImage(const QString& name) { return LoadPicture(normal_, name); }
    bool LoadCheckedImage(const QString& name) { return LoadPicture(checked_, name); }

    Colour GetColour() const { return colour_; }
    void SetColour(Colour colour);
    bool IsChecked() const { return checkedFlag_; }
    void SetChecked(bool on);
    // The rectangle shrunk by 3 × UI scale on every side.
    Rect Swatch() const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    bool OnLButtonDblClk(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage normal_, checked_;
    bool checkedFlag_ = false;
    Colour colour_ = kSwatchInitial;
};

} // namespace tarvik
