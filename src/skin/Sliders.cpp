#include "skin/Sliders.h"

#include <QPainter>

#include <algorithm>

namespace tarvik {

// ---- CSliderControl -----------------------------------------------------------

CSliderControl::CSliderControl(CDlgBase* parent, int id, const Rect& rect, const QString& text, int stopCount,
                               int leftMargin, int rightMargin, bool groupVisible, bool visible,
                               bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled), leftMargin_(leftMargin),
      rightMargin_(rightMargin) {
    const int n = std::max(0, stopCount);
    usableWidth_ = (rect.right - rect.left) - leftMargin - rightMargin;
    stops_.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        int x;
        if (i == 0)
            x = rect.left + leftMargin;
        else if (i == n - 1)
            x = rect.right - rightMargin;
        else
            x = usableWidth_ * i / (n - 1) + rect.left + leftMargin;
        stops_[static_cast<std::size_t>(i)] = x;
    }
    if (n > 0) SetStop(0);
}

bool CSliderControl::LoadThumbImage(const QString& name) {
    return LoadPicture(thumb_, name);
}

int CSliderControl::NearestStop(int x) const {
    const int n = StopCount();
    int i = 0;
    while (i + 1 < n &&
           x >= (stops_[static_cast<std::size_t>(i)] + stops_[static_cast<std::size_t>(i) + 1]) / 2)
        ++i;
    return i;
}

void CSliderControl::SetStop(int k) {
    if (stops_.empty()) return;
    k = std::clamp(k, 0, StopCount() - 1);
    current_ = k;
    const int x = stops_[static_cast<std::size_t>(k)];
    thumbRect_ = {x - leftMargin_, rect_.top, x + rightMargin_, rect_.bottom};
}

void CSliderControl::DragStep(int x) {
    const int clamped = std::clamp(x, rect_.left, std::max(rect_.left, rect_.right));
    thumbX_ = clamped - leftMargin_;
    const int k = NearestStop(clamped);
    current_ = lastSent_ = k;
    Invalidate();
    Notify(id_, static_cast<WParam>(k), kNotifyDrag);
}

void CSliderControl::ContinueDrag(int x) {
    if (!dragging_ || (mouseState_ != kHover && mouseState_ != kPressed)) return;
    DragStep(x);
    SetStop(current_);
}

bool CSliderControl::OnMouseMove(unsigned, int x, int y) {
    const int old = mouseState_;
    if (!disabled_ && mouseState_ != kPressed) {
        mouseState_ = Inside(x, y) ? kHover : kNormal;
        if (mouseState_ == kNormal) dragging_ = false;
    }
    // The window gives a pressed slider every move, also outside it; the thumb
    // rectangle follows too, so a release outside leaves it on the stop shown.
    ContinueDrag(x);
    return old != mouseState_;
}

bool CSliderControl::OnLButtonDown(unsigned, int x, int y) {
    if (disabled_ || !Inside(x, y)) return false;
    const int old = mouseState_;
    mouseState_ = kPressed;
    if (thumbRect_.Contains(x, y)) {
        dragging_ = true;
        thumbX_ = x - leftMargin_;
    }
    Notify(id_, 0, kNotifyPress);
    return old != mouseState_;
}

bool CSliderControl::OnLButtonUp(unsigned, int x, int y) {
    if (disabled_) return false;
    const int old = mouseState_;
    dragging_ = false;
    if (Inside(x, y)) {
        mouseState_ = kHover;
        thumbX_ = x - leftMargin_;
        const int k = NearestStop(x);
        lastSent_ = k;
        SetStop(k);
        Notify(id_, 0, kNotifyClick);
    } else {
        mouseState_ = kNormal;
    }
    (void)old;
    return true; // the thumb may have moved as well as the state
}

void CSliderControl::Draw(QPainter& dc, const Rect&) {
    if (thumb_.IsNull()) return;
    const double s = UiScale();
    const int w = static_cast<int>(pictureWidth_ * s);
    const int h = static_cast<int>(pictureHeight_ * s);
    int x;
    if (dragging_)
        x = std::clamp(thumbX_, rect_.left,
                       std::max(rect_.left, static_cast<int>(rect_.right - pictureWidth_ * s)));
    else if (!stops_.empty())
        x = stops_[static_cast<std::size_t>(current_)] - leftMargin_;
    else
        x = rect_.left;
    DrawSkinImage(dc, thumb_, QRectF(x, rect_.top, w, h), QRect(0, 0, pictureWidth_, pictureHeight_));
}

void CSliderControl::ReleaseImages() {
    thumb_.Reset();
}

// ---- level bars ---------------------------------------------------------------

CLevelBarBase::CLevelBarBase(CDlgBase* parent, int id, const Rect& rect, const QString& text, int maximum,
                             int, int, bool groupVisible, bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled), maximum_(maximum) {}

bool CLevelBarBase::LoadFillImage(const QString& name) {
    int w = fillWidth_, h = fillHeight_;
    const bool ok = LoadSkinImage(fill_, SkinFile(name), w, h);
    fillWidth_ = w;
    fillHeight_ = h;
    return ok;
}

bool CLevelBarBase::LoadTrackImage(const QString& name) {
    return LoadPicture(track_, name);
}

void CLevelBarBase::SetMaximum(int n) {
    maximum_ = n;
}

int CLevelBarBase::ValueFromY(int y) const {
    const int height = rect_.bottom - rect_.top;
    if (height <= 0) return 0;
    int yy = std::clamp(y, rect_.top, rect_.bottom);
    if (yy != rect_.bottom) ++yy;
    return static_cast<int>(static_cast<long long>(rect_.bottom - yy) * maximum_ / height);
}

int CLevelBarBase::FillTop() const {
    if (maximum_ <= 0) return rect_.bottom;
    int top = rect_.bottom -
              static_cast<int>(static_cast<long long>(rect_.bottom - rect_.top) * (value_ + 1) / maximum_);
    if (UiScale() > 1 && (rect_.bottom - top) % 2 != 0) --top;
    return top;
}

void CLevelBarBase::Draw(QPainter& dc, const Rect&) {
    const double s = UiScale();
    if (!track_.IsNull())
        DrawSkinImage(dc, track_,
                      QRectF(rect_.left, rect_.top, static_cast<int>(fillWidth_ * s),
                             static_cast<int>(fillHeight_ * s)),
                      QRect(0, 0, track_.Width(), track_.Height()));
    if (fill_.IsNull() || maximum_ <= 0) return;
    const int top = FillTop();
    const int y0 = std::clamp(static_cast<int>(fillHeight_ - (rect_.bottom - top) / s), 0, fillHeight_);
    const int h0 = fillHeight_ - y0;
    if (h0 <= 0) return;
    DrawSkinImage(dc, fill_,
                  QRectF(rect_.left, top, static_cast<int>(fillWidth_ * s), static_cast<int>(h0 * s)),
                  QRect(0, y0, fillWidth_, h0));
}

void CLevelBarBase::ReleaseImages() {
    fill_.Reset();
    track_.Reset();
}

CVerticalSliderControl::CVerticalSliderControl(CDlgBase* parent, int id, const Rect& rect,
                                               const QString& text, int maximum, int marginA, int marginB,
                                               bool groupVisible, bool visible, bool disabled)
    : CLevelBarBase(parent, id, rect, text, maximum, marginA, marginB, groupVisible, visible, disabled) {}

bool CVerticalSliderControl::OnMouseMove(unsigned, int x, int y) {
    const int old = mouseState_;
    if (!disabled_ && mouseState_ != kPressed) {
        mouseState_ = Inside(x, y) ? kHover : kNormal;
        if (mouseState_ == kNormal) dragging_ = false;
    }
    if (dragging_ && (mouseState_ == kHover || mouseState_ == kPressed)) {
        value_ = ValueFromY(y);
        Invalidate();
        Notify(id_, static_cast<WParam>(value_), kNotifyDrag);
    }
    return old != mouseState_;
}

bool CVerticalSliderControl::OnLButtonDown(unsigned, int x, int y) {
    if (disabled_ || !Inside(x, y)) return false;
    mouseState_ = kPressed;
    dragging_ = true;
    value_ = ValueFromY(y);
    Notify(id_, 0, kNotifyPress);
    return true;
}

bool CVerticalSliderControl::OnLButtonUp(unsigned, int x, int y) {
    dragging_ = false;
    return ButtonLButtonUp(
        x, y, [] {}, id_, 0);
}

} // namespace tarvik
