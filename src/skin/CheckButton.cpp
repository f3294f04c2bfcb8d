#include "skin/CheckButton.h"

namespace tarvik {

CCheckButton::CCheckButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, int align,
                           bool groupVisible, bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled), align_(align) {}

void CCheckButton::SetChecked(bool on) {
    checkedFlag_ = on;
    Invalidate();
}

void CCheckButton::SetAlignment(int align) {
    align_ = align;
    Invalidate();
}

void CCheckButton::SetInsets(int left, int right) {
    insetLeft_ = left;
    insetRight_ = right;
    Invalidate();
}

void CCheckButton::SetStateTexts(const QString& unchecked, const QString& checked) {
    uncheckedText_ = unchecked;
    checkedText_ = checked;
    Invalidate();
}

void CCheckButton::SetTextColours(Colour normal, Colour hover, Colour checked) {
    normalColour_ = normal;
    hoverColour_ = hover;
    checkedColour_ = checked;
    Invalidate();
}

int CCheckButton::PictureIndex() const {
    if (mouseState_ == kPressed) return 2;
    if (checkedFlag_) return 2;
    return mouseState_ == kHover ? 1 : 0;
}

void CCheckButton::Draw(QPainter& dc, const Rect&) {
    const int index = PictureIndex();
    const SkinImage& picture = index == 0 ? normal_ : index == 1 ? hover_ : checked_;
    DrawPicture(dc, picture);
    QString text = text_;
    Colour colour = normalColour_;
    if (index == 2) {
        colour = checkedColour_;
        if (!checkedText_.isEmpty()) text = checkedText_;
    } else {
        colour = index == 1 ? hoverColour_ : normalColour_;
        if (!uncheckedText_.isEmpty()) text = uncheckedText_;
    }
    DrawControlText(dc, rect_, text, font_, colour, align_, insetLeft_, insetRight_);
}

bool CCheckButton::OnMouseMove(unsigned, int x, int y) {
    return ButtonMouseMove(x, y);
}

bool CCheckButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CCheckButton::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [this] { checkedFlag_ = !checkedFlag_; }, id_, 0);
}

void CCheckButton::ReleaseImages() {
    normal_.Reset();
    hover_.Reset();
    checked_.Reset();
}

} // namespace tarvik
