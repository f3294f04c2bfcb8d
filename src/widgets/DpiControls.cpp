#include "widgets/DpiControls.h"

#include "skin/DlgBase.h"

namespace tarvik {

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
    return parent_ ? parent_->Levels().LevelOf(id_) : -1;
}

bool CDPIRadioButton::IsSelected() const {
    return parent_ && parent_->Levels().IsEnabled(Level());
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
            if (parent_) parent_->Levels().ClickLevel(Level());
        },
        id_, 0);
}

void CDPIRadioButton::ReleaseImages() {
    normal_.Reset();
    hover_.Reset();
    selected_.Reset();
}

// ---- CDPIValueShowControl ---------------------------------------------------

CDPIValueShowControl::CDPIValueShowControl(CDlgBase* parent, int id, const Rect& rect, const QString& text,
                                           int maximum, int marginA, int marginB, bool groupVisible,
                                           bool visible, bool disabled)
    : CLevelBarBase(parent, id, rect, text, maximum, marginA, marginB, groupVisible, visible, disabled) {}

bool CDPIValueShowControl::OnMouseMove(unsigned, int x, int y) {
    return ButtonMouseMove(x, y);
}

bool CDPIValueShowControl::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CDPIValueShowControl::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [] {}, id_, 0);
}

} // namespace tarvik
