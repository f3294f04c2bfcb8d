// CImageButton: a push button with a normal and a hover picture (close and
// minimise buttons, text buttons). Its click carries its own command id as wParam.
#pragma once

#include "skin/ControlBase.h"

namespace tarvik {

class CImageButton : public CControlBase {
public:
    CImageButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, int align,
                 bool groupVisible = true, bool visible = true, bool disabled = false);

    bool LoadNormalImage(const QString& name) { return LoadPicture(normal_, name); }
    bool LoadHoverImage(const QString& name) { return LoadPicture(hover_, name); }
    void SetInsets(int left, int right);
    void SetAlignment(int align);
    // A button that reports hover sends (id, 0, 12) on every mouse move inside it.
    bool ReportsHover() const { return reportsHover_; }
    void SetReportsHover(bool on) { reportsHover_ = on; }

    // 0 normal picture, 1 hover picture; pressed shows the hover picture too.
    int PictureIndex() const { return mouseState_ == kNormal ? 0 : 1; }
    Colour TextColour() const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage normal_, hover_;
    int align_;
    int insetLeft_ = 0, insetRight_ = 0;
    bool reportsHover_ = false;
};

} // namespace tarvik
