#include "skin/ControlBase.h"

#include "skin/DlgBase.h"

namespace tarvik {

CControlBase::CControlBase(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible,
                           bool visible, bool disabled)
    : parent_(parent), id_(id), rect_(rect), groupVisible_(groupVisible), visible_(visible),
      disabled_(disabled), text_(text), font_(MakeInterfaceFont()) {}

CControlBase::~CControlBase() = default;

int CControlBase::SetActive(int) {
    return 0;
}

void CControlBase::SetRect(const Rect& rect) {
    rect_ = rect;
}

Rect CControlBase::GetRect() const {
    return rect_;
}

void CControlBase::SetText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    Invalidate();
}

QString CControlBase::GetText() const {
    return text_;
}

void CControlBase::SetGroupVisible(bool on) {
    groupVisible_ = on;
}

void CControlBase::SetVisible(bool on) {
    visible_ = on;
}

bool CControlBase::OnMouseMove(unsigned, int, int) {
    return false;
}
bool CControlBase::OnLButtonDown(unsigned, int, int) {
    return false;
}
bool CControlBase::OnLButtonUp(unsigned, int, int) {
    return false;
}
bool CControlBase::OnRButtonUp(unsigned, int, int) {
    return false;
}
bool CControlBase::OnLButtonDblClk(unsigned, int, int) {
    return false;
}

void CControlBase::ReleaseImages() {}

void CControlBase::SetFont(int height, const QString& face) {
    font_ = MakeFont(height, face);
}

void CControlBase::Notify(int msg, WParam wParam, LParam lParam) const {
    if (parent_) parent_->SendMessage(msg, wParam, lParam);
}

void CControlBase::Invalidate() const {
    if (parent_) parent_->InvalidateRect(rect_);
}

bool CControlBase::LoadPicture(SkinImage& slot, const QString& name) {
    return LoadSkinImage(slot, SkinFile(name), pictureWidth_, pictureHeight_);
}

void CControlBase::DrawPicture(QPainter& dc, const SkinImage& picture) const {
    DrawSkinImage(dc, picture, QRectF(rect_.left, rect_.top, rect_.Width(), rect_.Height()),
                  QRect(0, 0, pictureWidth_, pictureHeight_));
}

bool CControlBase::ButtonMouseMove(int x, int y) {
    if (disabled_ || mouseState_ == kPressed) return false;
    const int old = mouseState_;
    mouseState_ = Inside(x, y) ? kHover : kNormal;
    return old != mouseState_;
}

bool CControlBase::ButtonLButtonDown(int x, int y, bool quiet) {
    if (disabled_ || !Inside(x, y)) return false;
    const int old = mouseState_;
    mouseState_ = kPressed;
    if (!quiet) Notify(id_, 0, kNotifyPress);
    return old != mouseState_;
}

} // namespace tarvik
