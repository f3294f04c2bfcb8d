#include "skin/ImageButton.h"

namespace tarvik {

CImageButton::CImageButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, int align,
                           bool groupVisible, bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled), align_(align) {}

void CImageButton::SetInsets(int left, int right) {
    insetLeft_ = left;
    insetRight_ = right;
    Invalidate();
}

void CImageButton::SetAlignment(int align) {
    align_ = align;
    Invalidate();
}

Colour CImageButton::TextColour() const {
    switch (mouseState_) {
    case kHover:
        return kTextHover;
    case kPressed:
        return kTextChecked;
    default:
        return kTextNormal;
    }
}

void CImageButton::Draw(QPainter& dc, const Rect&) {
    DrawPicture(dc, PictureIndex() == 0 ? normal_ : hover_);
    DrawControlText(dc, rect_, text_, font_, TextColour(), align_, insetLeft_, insetRight_);
}

bool CImageButton::OnMouseMove(unsigned, int x, int y) {
    if (disabled_ || mouseState_ == kPressed) return false;
    const bool changed = ButtonMouseMove(x, y);
    if (reportsHover_ && Inside(x, y)) Notify(id_, 0, kNotifyHover);
    return changed;
}

bool CImageButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CImageButton::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [] {}, id_, static_cast<WParam>(id_));
}

void CImageButton::ReleaseImages() {
    normal_.Reset();
    hover_.Reset();
}

} // namespace tarvik
