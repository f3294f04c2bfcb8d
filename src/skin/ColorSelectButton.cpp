#include "skin/ColorSelectButton.h"

namespace tarvik {

CColorSelectButton::CColorSelectButton(CDlgBase* parent, int id, const Rect& rect, const Rect& swatch,
                                       const QString& text, bool groupVisible, bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled), swatch_(swatch) {}

void CColorSelectButton::SetColour(Colour colour) {
    colour_ = colour;
    Invalidate();
}

void CColorSelectButton::SetSwatch(const Rect& swatch) {
    swatch_ = swatch;
    Invalidate();
}

void CColorSelectButton::Draw(QPainter& dc, const Rect&) {
    FillSolidRect(dc, swatch_, colour_);
}

bool CColorSelectButton::OnMouseMove(unsigned, int x, int y) {
    return ButtonMouseMove(x, y);
}

bool CColorSelectButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CColorSelectButton::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [] {}, id_, 0);
}

// ---- CColorSelectCheckButton ------------------------------------------------------

CColorSelectCheckButton::CColorSelectCheckButton(CDlgBase* parent, int id, const Rect& rect, const Rect&,
                                                 const QString& text, bool groupVisible, bool visible,
                                                 bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled) {}

void CColorSelectCheckButton::SetColour(Colour colour) {
    colour_ = colour;
    Invalidate();
}

void CColorSelectCheckButton::SetChecked(bool on) {
    checkedFlag_ = on;
    Invalidate();
}

Rect CColorSelectCheckButton::Swatch() const {
    const double inset = 3 * UiScale();
    return {static_cast<int>(rect_.left + inset), static_cast<int>(rect_.top + inset),
            static_cast<int>(rect_.right - inset), static_cast<int>(rect_.bottom - inset)};
}

void CColorSelectCheckButton::Draw(QPainter& dc, const Rect&) {
    DrawPicture(dc, checkedFlag_ ? checked_ : normal_);
    FillSolidRect(dc, Swatch(), colour_);
}

bool CColorSelectCheckButton::OnMouseMove(unsigned, int x, int y) {
    return ButtonMouseMove(x, y);
}

bool CColorSelectCheckButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CColorSelectCheckButton::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [] {}, id_, 0);
}

bool CColorSelectCheckButton::OnLButtonDblClk(unsigned, int x, int y) {
    if (disabled_ || !Inside(x, y)) return false;
    const int old = mouseState_;
    mouseState_ = kHover;
    Notify(id_, 0, kNotifyDoubleClick);
    return old != mouseState_;
}

void CColorSelectCheckButton::ReleaseImages() {
    normal_.Reset();
    checked_.Reset();
}

} // namespace tarvik
