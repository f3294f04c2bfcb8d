#include "skin/ScrollBar.h"

#include <QPainter>

#include <algorithm>

namespace tarvik {

CVScrollBar::CVScrollBar(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible,
                         bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled) {
    Layout();
}

bool CVScrollBar::LoadArrows() {
    const bool top = LoadEmbeddedImage(topStrip_, QStringLiteral("PNG"), 188);
    const bool bottom = LoadEmbeddedImage(bottomStrip_, QStringLiteral("PNG"), 187);
    Layout();
    return top && bottom;
}

void CVScrollBar::SetArrows(QImage top, QImage bottom) {
    topStrip_.Set(std::move(top));
    bottomStrip_.Set(std::move(bottom));
    Layout();
}

void CVScrollBar::SetRect(const Rect& rect) {
    CControlBase::SetRect(rect);
    Layout();
}

void CVScrollBar::Layout() {
    // Both strips have the same size; the bottom one is loaded last.
    const SkinImage& strip = bottomStrip_.IsNull() ? topStrip_ : bottomStrip_;
    arrowFrameWidth_ = strip.Width() / 3;
    arrowHeight_ = strip.Height();
    const double s = UiScale();
    topArrow_ = {rect_.left, rect_.top, rect_.right, rect_.top + arrowHeight_ - 1};
    bottomArrow_ = {rect_.left, rect_.bottom - arrowHeight_ + 1, rect_.right, rect_.bottom};
    track_ = {rect_.left, static_cast<int>(rect_.top + arrowHeight_ * s), rect_.right,
              static_cast<int>(rect_.bottom - arrowHeight_ * s)};
    thumb_ = track_;
    drag_ = thumb_;
}

void CVScrollBar::SetScrollInfo(int position, int page, int total) {
    if (total == 0) {
        thumb_ = track_;
        return;
    }
    position_ = position;
    page_ = page;
    total_ = total;
    const int length = track_.bottom - track_.top + 1;
    const double t = total;
    const int height = std::min(length, static_cast<int>(page / t * length + 0.5));
    thumb_.left = track_.left;
    thumb_.right = track_.right;
    thumb_.top = track_.top + static_cast<int>(position / t * length + 0.5);
    thumb_.bottom = std::min(track_.bottom, thumb_.top + height - 1);
    Invalidate();
}

void CVScrollBar::SetPartFlags(int x, int y) {
    overTop_ = topArrow_.Contains(x, y);
    overBottom_ = bottomArrow_.Contains(x, y);
    overThumb_ = thumb_.Contains(x, y);
}

void CVScrollBar::DragTo(int y) {
    const int grabbed = drag_.top + grabOffset_;
    bool moved = false;
    if (y > grabbed && drag_.bottom < track_.bottom) {
        const int dy = y - grabbed;
        drag_.top += dy;
        drag_.bottom += dy;
        if (drag_.bottom > track_.bottom) {
            const int back = drag_.bottom - track_.bottom;
            drag_.top -= back;
            drag_.bottom -= back;
        }
        moved = true;
    } else if (y < grabbed && drag_.top > track_.top) {
        const int dy = grabbed - y;
        drag_.top -= dy;
        drag_.bottom -= dy;
        if (drag_.top < track_.top) {
            const int back = track_.top - drag_.top;
            drag_.top += back;
            drag_.bottom += back;
        }
        moved = true;
    }
    if (!moved) return;
    Invalidate();
    const int length = track_.bottom - track_.top + 1;
    const int position =
        length > 0 ? static_cast<int>(static_cast<long long>(drag_.top - track_.top) * total_ / length) : 0;
    if (position != position_) {
        position_ = position;
        Notify(id_, 0, kNotifyDrag);
    }
}

void CVScrollBar::ContinueDrag(int, int y) {
    if (!dragging_) return;
    DragTo(std::clamp(y, rect_.top, std::max(rect_.top, rect_.bottom)));
}

bool CVScrollBar::OnMouseMove(unsigned, int x, int y) {
    const int oldState = mouseState_;
    const bool oldTop = overTop_, oldBottom = overBottom_, oldThumb = overThumb_;
    if (!disabled_ && mouseState_ != kPressed) {
        if (Inside(x, y)) {
            mouseState_ = kHover;
            SetPartFlags(x, y);
        } else {
            mouseState_ = kNormal;
            overTop_ = overBottom_ = overThumb_ = false;
        }
        if (mouseState_ == kNormal) dragging_ = false;
    }
    // The window gives a pressed bar every move, also outside it.
    ContinueDrag(x, y);
    return oldState != mouseState_ || oldTop != overTop_ || oldBottom != overBottom_ ||
           oldThumb != overThumb_;
}

bool CVScrollBar::OnLButtonDown(unsigned, int x, int y) {
    if (disabled_ || !Inside(x, y)) return false;
    const int oldState = mouseState_;
    const bool oldTop = overTop_, oldBottom = overBottom_, oldThumb = overThumb_;
    mouseState_ = kPressed;
    SetPartFlags(x, y);
    WParam part;
    if (overTop_) {
        part = kPartTopArrow;
    } else if (overBottom_) {
        part = kPartBottomArrow;
    } else if (overThumb_) {
        part = kPartThumb;
        dragging_ = true;
        grabOffset_ = y - thumb_.top;
        drag_ = thumb_;
    } else {
        part = y < thumb_.top ? kPartTrackAbove : kPartTrackBelow;
    }
    Notify(id_, part, kNotifyPress);
    return oldState != mouseState_ || oldTop != overTop_ || oldBottom != overBottom_ ||
           oldThumb != overThumb_;
}

bool CVScrollBar::OnLButtonUp(unsigned, int x, int y) {
    if (disabled_) return false;
    const int oldState = mouseState_;
    const bool oldTop = overTop_, oldBottom = overBottom_, oldThumb = overThumb_;
    if (Inside(x, y)) {
        mouseState_ = kHover;
        dragging_ = false;
        Notify(id_, 0, kNotifyClick);
    } else {
        mouseState_ = kNormal;
        if (dragging_) {
            overThumb_ = false;
            dragging_ = false;
            Notify(id_, 0, kNotifyClick);
        }
    }
    // The thumb snaps to the place of the stored position.
    SetScrollInfo(position_, page_, total_);
    return oldState != mouseState_ || oldTop != overTop_ || oldBottom != overBottom_ ||
           oldThumb != overThumb_;
}

void CVScrollBar::Draw(QPainter& dc, const Rect&) {
    const double s = UiScale();
    FillSolidRect(dc, rect_, Rgb(16, 16, 16));
    const int aw = static_cast<int>(arrowFrameWidth_ * s);
    const int ah = static_cast<int>(arrowHeight_ * s);
    if (!topStrip_.IsNull())
        DrawSkinImage(dc, topStrip_, QRectF(rect_.left, rect_.top, aw, ah),
                      QRect(overTop_ ? arrowFrameWidth_ : 0, 0, arrowFrameWidth_, arrowHeight_));
    if (!bottomStrip_.IsNull())
        DrawSkinImage(dc, bottomStrip_,
                      QRectF(rect_.left, static_cast<int>(rect_.bottom - arrowHeight_ * s + s), aw, ah),
                      QRect(overBottom_ ? arrowFrameWidth_ : 0, 0, arrowFrameWidth_, arrowHeight_));
    const Rect& t = dragging_ ? drag_ : thumb_;
    const int si = static_cast<int>(s);
    const Rect outer{t.left, t.top, t.right, t.bottom + si};
    const Rect inner{t.left + si, t.top + si, t.right - si, t.bottom + si - si};
    FillSolidRect(dc, outer, overThumb_ ? kAccentColour : Rgb(31, 31, 31));
    FillSolidRect(dc, inner, overThumb_ ? Rgb(31, 31, 31) : Rgb(50, 50, 50));
}

void CVScrollBar::ReleaseImages() {
    topStrip_.Reset();
    bottomStrip_.Reset();
}

} // namespace tarvik
