// Keeps a macro list (tree or steps) and its scroll bar in step: the bar shows
// (first row, visible rows, all rows); arrow clicks and wheel notches move one
// row, a click on the track one page (the visible rows less one), a thumb drag
// moves to the bar's position.
#pragma once

#include "skin/ScrollBar.h"
#include "skin/ShowLists.h"

namespace tarvik {

class ListScroll {
public:
    ListScroll() = default;
    ListScroll(CShowListBase* list, CVScrollBar* bar) : list_(list), bar_(bar) {}

    CShowListBase* List() const { return list_; }
    CVScrollBar* Bar() const { return bar_; }

    // Sets the bar from the list.
    void Sync();
    // A notification of the bar (press with its part, or a drag). True when the list moved.
    bool OnBarNotify(WParam wParam, LParam event);
    // Moves the first row by `rows` (negative: up), within the rows there are.
    bool ScrollBy(int rows);
    // Shows the last rows.
    void ScrollToEnd();
    // The pointer is over the list or its bar.
    bool Covers(QPoint p) const;
    // The area to repaint after a move: the list and the bar.
    Rect Area() const;

private:
    int MaxFirst() const;

    CShowListBase* list_ = nullptr;
    CVScrollBar* bar_ = nullptr;
};

} // namespace tarvik
