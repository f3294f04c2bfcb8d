// CVScrollBar: a vertical scroll bar drawn from two embedded arrow strips (three
// frames each) with a flat track and thumb. The thumb is placed from the model
// (position, page, total); dragging it reports new positions, and on release it
// snaps back to the place of the stored position.
#pragma once

#include "skin/ControlBase.h"

namespace tarvik {

class CVScrollBar : public CControlBase {
public:
    // Parts reported as wParam of the press notification.
    static constexpr WParam kPartThumb = 0;
    static constexpr WParam kPartTopArrow = 6;
    static constexpr WParam kPartBottomArrow = 7;
    static constexpr WParam kPartTrackAbove = 8;
    static constexpr WParam kPartTrackBelow = 9;

    CVScrollBar(CDlgBase* parent, int id, const Rect& rect, const QString& text = QString(),
                bool groupVisible = true, bool visible = true, bool disabled = false);

    // Loads the arrow strips 188 (top) and 187 (bottom) and lays out arrows and track.
    bool LoadArrows();
    // The same layout from strips given by the caller (tests, other skins).
    void SetArrows(QImage top, QImage bottom);

    // Stores the model and places the thumb. A total of 0 shows a full-length thumb.
    void SetScrollInfo(int position, int page, int total);
    // One step of a thumb drag to pointer y, clamped to the bar. The window's
    // routing gives a pressed bar every move, so nothing else needs to call it.
    void ContinueDrag(int x, int y);

    int Position() const { return position_; }
    int Page() const { return page_; }
    int Total() const { return total_; }
    bool IsDragging() const { return dragging_; }
    const Rect& TopArrowRect() const { return topArrow_; }
    const Rect& BottomArrowRect() const { return bottomArrow_; }
    const Rect& TrackRect() const { return track_; }
    const Rect& ThumbRect() const { return thumb_; }
    const Rect& DragRect() const { return drag_; }
    bool OverTopArrow() const { return overTop_; }
    bool OverBottomArrow() const { return overBottom_; }
    bool OverThumb() const { return overThumb_; }

    void Draw(QPainter& dc, const Rect& update) override;
    void SetRect(const Rect& rect) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    void Layout();
    // Moves the drag rectangle toward pointer y; sends (id, 0, 3) when the position changes.
    void DragTo(int y);
    void SetPartFlags(int x, int y);

    SkinImage topStrip_, bottomStrip_;
    int arrowFrameWidth_ = 0;
    int arrowHeight_ = 0;
    bool overTop_ = false, overBottom_ = false, overThumb_ = false;
    bool dragging_ = false;
    Rect topArrow_, bottomArrow_, track_, thumb_, drag_;
    int grabOffset_ = 0;
    int position_ = 0, page_ = 0, total_ = 0;
};

} // namespace tarvik
