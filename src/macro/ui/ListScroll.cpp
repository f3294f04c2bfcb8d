#include "macro/ui/ListScroll.h"

#include <algorithm>

namespace tarvik {

int ListScroll::MaxFirst() const {
    return std::max(0, list_->DataRowCount() - list_->VisibleCount());
}

void ListScroll::Sync() {
    if (!list_ || !bar_) return;
    bar_->SetScrollInfo(list_->First(), list_->VisibleCount(), list_->DataRowCount());
}

bool ListScroll::ScrollBy(int rows) {
    if (!list_) return false;
    const int before = list_->First();
    list_->SetFirst(std::clamp(before + rows, 0, MaxFirst()));
    Sync();
    return list_->First() != before;
}

void ListScroll::ScrollToEnd() {
    if (!list_) return;
    list_->SetFirst(MaxFirst());
    Sync();
}

bool ListScroll::OnBarNotify(WParam wParam, LParam event) {
    if (!list_ || !bar_) return false;
    if (event == kNotifyDrag) {
        const int before = list_->First();
        list_->SetFirst(std::clamp(bar_->Position(), 0, MaxFirst()));
        // The bar keeps the position it reported while the thumb is dragged.
        return list_->First() != before;
    }
    if (event != kNotifyPress) return false;
    const int page = std::max(1, list_->VisibleCount() - 1);
    switch (wParam) {
    case CVScrollBar::kPartTopArrow:
        return ScrollBy(-1);
    case CVScrollBar::kPartBottomArrow:
        return ScrollBy(1);
    case CVScrollBar::kPartTrackAbove:
        return ScrollBy(-page);
    case CVScrollBar::kPartTrackBelow:
        return ScrollBy(page);
    default:
        return false;
    }
}

bool ListScroll::Covers(QPoint p) const {
    return (list_ && list_->GetRect().Contains(p)) || (bar_ && bar_->GetRect().Contains(p));
}

Rect ListScroll::Area() const {
    Rect r = list_ ? list_->GetRect() : Rect{};
    if (bar_) {
        const Rect b = bar_->GetRect();
        if (r.IsEmpty()) return b;
        r = {std::min(r.left, b.left), std::min(r.top, b.top), std::max(r.right, b.right),
             std::max(r.bottom, b.bottom)};
    }
    return r;
}

} // namespace tarvik
