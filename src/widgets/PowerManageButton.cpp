#include "widgets/PowerManageButton.h"

namespace tarvik {

namespace {
// Rim points of the dial in design pixels from the top-left corner; the centre is (70, 71).
constexpr int kRim[9][2] = {{3, 71},   {7, 51},   {17, 32},  {40, 13}, {70, 5},
                            {100, 14}, {121, 31}, {131, 51}, {134, 71}};
constexpr int kCentre[2] = {70, 71};
} // namespace

CPowerManageButton::CPowerManageButton(CDlgBase* parent, int, const Rect& rect, const QString& text,
                                       int extra, bool groupVisible, bool visible, bool disabled)
    : CControlBase(parent, kId, rect, text, groupVisible, visible, disabled), extra_(extra) {
    BuildRegions();
}

void CPowerManageButton::BuildRegions() {
    const double s = UiScale();
    auto point = [&](const int xy[2]) {
        return QPoint(static_cast<int>(rect_.left + xy[0] * s), static_cast<int>(rect_.top + xy[1] * s));
    };
    const QPoint c = point(kCentre);
    for (int k = 2; k <= 9; ++k)
        regions_[static_cast<std::size_t>(k)] = QPolygon({point(kRim[k - 2]), point(kRim[k - 1]), c});
}

void CPowerManageButton::SetRect(const Rect& rect) {
    CControlBase::SetRect(rect);
    BuildRegions();
}

bool CPowerManageButton::LoadValueImage(int value, const QString& name) {
    if (value < 1 || value > 10) return false;
    const std::size_t i = static_cast<std::size_t>(value - 1);
    names_[i] = name;
    pictures_[i].Reset();
    return value != value_ || EnsurePicture();
}

bool CPowerManageButton::EnsurePicture() {
    if (value_ < 1 || value_ > 10) return false;
    const std::size_t i = static_cast<std::size_t>(value_ - 1);
    if (!pictures_[i].IsNull()) return true;
    if (names_[i].isEmpty()) return false;
    return LoadPicture(pictures_[i], names_[i]);
}

void CPowerManageButton::SetValue(int value) {
    value_ = value;
    EnsurePicture();
    Invalidate();
}

int CPowerManageButton::ValueAt(int x, int y) const {
    for (int k = 2; k <= 9; ++k)
        if (regions_[static_cast<std::size_t>(k)].containsPoint(QPoint(x, y), Qt::OddEvenFill)) return k + 1;
    return 0;
}

void CPowerManageButton::Draw(QPainter& dc, const Rect&) {
    if (value_ < 1 || value_ > 10) return;
    DrawPicture(dc, pictures_[static_cast<std::size_t>(value_ - 1)]);
}

bool CPowerManageButton::OnMouseMove(unsigned, int x, int y) {
    return ButtonMouseMove(x, y);
}

bool CPowerManageButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CPowerManageButton::OnLButtonUp(unsigned, int x, int y) {
    if (disabled_) return false;
    const int old = mouseState_;
    if (!Inside(x, y)) {
        mouseState_ = kNormal;
        return old != mouseState_;
    }
    const int value = ValueAt(x, y);
    if (value == 0) return false; // inside the rectangle but on no wedge: nothing changes
    value_ = value;
    EnsurePicture();
    mouseState_ = kHover;
    Notify(kId, 0, kNotifyClick);
    return true;
}

void CPowerManageButton::ReleaseImages() {
    for (SkinImage& p : pictures_) p.Reset();
    for (QString& n : names_) n.clear();
}

} // namespace tarvik
