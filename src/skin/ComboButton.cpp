#include "skin/ComboButton.h"

namespace tarvik {

CComboButton::CComboButton(CDlgBase* parent, int comboMessage, int id, const Rect& rect, const QString& text,
                           int align, const QString& displayText, bool groupVisible, bool visible,
                           bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled), comboMessage_(comboMessage),
      align_(align), displayText_(displayText) {}

void CComboButton::SetDisplayText(const QString& text) {
    displayText_ = text;
    Invalidate();
}

void CComboButton::SetOpen(bool on) {
    open_ = on;
    Invalidate();
}

void CComboButton::SetLocked(bool on) {
    locked_ = on;
    Invalidate();
}

void CComboButton::SetDisableText(bool on) {
    disableText_ = on;
    Invalidate();
}

void CComboButton::SetInsets(int left, int right) {
    insetLeft_ = left;
    insetRight_ = right;
    Invalidate();
}

QString CComboButton::ShownText() const {
    return disableText_ ? QStringLiteral("Disable") : displayText_;
}

void CComboButton::Draw(QPainter& dc, const Rect&) {
    const bool lit = PictureIndex() == 1;
    if (!normal_.IsNull()) DrawPicture(dc, lit ? hover_ : normal_);
    DrawControlText(dc, rect_, ShownText(), font_, lit ? kTextHover : kTextNormal, align_, insetLeft_,
                    insetRight_);
}

bool CComboButton::OnMouseMove(unsigned, int x, int y) {
    if (disabled_ || mouseState_ == kPressed) return false;
    const int old = mouseState_;
    if (Inside(x, y)) {
        mouseState_ = kHover;
        if (!muted_) {
            left_ = false;
            if (enterCount_ == kEnterNotifications - 1)
                muted_ = true;
            else
                ++enterCount_;
            Notify(comboMessage_, static_cast<WParam>(id_), kNotifyEnter);
        }
    } else {
        mouseState_ = kNormal;
        if (!left_ && !open_) {
            muted_ = false;
            enterCount_ = 0;
            left_ = true;
            Notify(comboMessage_, static_cast<WParam>(id_), kNotifyLeave);
        }
    }
    return old != mouseState_;
}

bool CComboButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y, locked_);
}

bool CComboButton::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [] {}, comboMessage_, static_cast<WParam>(id_), locked_);
}

void CComboButton::ReleaseImages() {
    normal_.Reset();
    hover_.Reset();
}

} // namespace tarvik
