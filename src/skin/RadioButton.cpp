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

} // namespace tarvik
