#include "skin/RadioButton.h"

#include "skin/DlgBase.h"

namespace tarvik {

// ---- CRadioButton -----------------------------------------------------------

CRadioButton::CRadioButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible,
                           bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled) {}

bool CRadioButton::IsSelected() const {
    return parent_ && parent_->Radios().IsSelected(id_);
}

int CRadioButton::PictureIndex() const {
    return IsSelected() ? 2 : mouseState_;
}

void CRadioButton::Draw(QPainter& dc, const Rect&) {
    const int index = PictureIndex();
    DrawPicture(dc, index == 0 ? normal_ : index == 1 ? hover_ : selected_);
}

bool CRadioButton::OnMouseMove(unsigned, int x, int y) {
    return ButtonMouseMove(x, y);
}

bool CRadioButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CRadioButton::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y,
        [this] {
            if (parent_) parent_->Radios().Select(id_);
        },
        id_, 0);
}

void CRadioButton::ReleaseImages() {
    normal_.Reset();
    hover_.Reset();
    selected_.Reset();
}

// ---- CDPIRadioButton --------------------------------------------------------

CDPIRadioButton::CDPIRadioButton(CDlgBase* parent, int id, const Rect& rect, const QString& text,
                                 bool groupVisible, bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled) {}

void CDPIRadioButton::SetStep(int step) {
    step_ = step;
    Invalidate();
}

void CDPIRadioButton::SetTextColour(Colour colour) {
    textColour_ = colour;
    Invalidate();
}

int CDPIRadioButton::Level() const {
    return parent_ ? parent_->DpiLevels().LevelOf(id_) : -1;
}

bool CDPIRadioButton::IsSelected() const {
    return parent_ && parent_->DpiLevels().IsEnabled(Level());
}

int CDPIRadioButton::PictureIndex() const {
    return IsSelected() ? 2 : mouseState_;
}

void CDPIRadioButton::Draw(QPainter& dc, const Rect&) {
    const int index = PictureIndex();
    DrawPicture(dc, index == 0 ? normal_ : index == 1 ? hover_ : selected_);
    const Rect band{rect_.left, rect_.top, rect_.right, rect_.top + Scaled(11)};
    DrawSkinText(dc, band, QString::number(step_ * 50), font_, textColour_, kControlTextFormat | kDtCenter);
}

bool CDPIRadioButton::OnMouseMove(unsigned, int x, int y) {
    return ButtonMouseMove(x, y);
}

bool CDPIRadioButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CDPIRadioButton::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y,
        [this] {
            if (parent_) parent_->DpiLevels().ClickLevel(Level());
        },
        id_, 0);
}

void CDPIRadioButton::ReleaseImages() {
    normal_.Reset();
    hover_.Reset();
    selected_.Reset();
}

} // namespace tarvik
