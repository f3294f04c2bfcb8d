#include "skin/ShowLists.h"

#include <QPainter>

#include <algorithm>

namespace tarvik {

namespace {
constexpr Colour kListFill = Rgb(75, 75, 75);
constexpr int kRowDesignHeight = 20;
} // namespace

// ---- shared geometry ----------------------------------------------------------------

CShowListBase::CShowListBase(CDlgBase* parent, int id, const Rect& rect, bool groupVisible, bool visible,
                             bool disabled)
    : CControlBase(parent, id, rect, QString(), groupVisible, visible, disabled) {}

int CShowListBase::RowHeight() const {
    return std::max(1, static_cast<int>(kRowDesignHeight * UiScale()));
}

int CShowListBase::VisibleCount() const {
    const double s = UiScale();
    return static_cast<int>((rect_.Height() + 10 * s) / (kRowDesignHeight * s));
}

int CShowListBase::ScreenRowAt(int y) const {
    return static_cast<int>((y - rect_.top) / (kRowDesignHeight * UiScale()));
}

void CShowListBase::EnsureVisible() {
    const int rows = DataRowCount();
    const int visible = VisibleCount();
    if (selected_ < 0 && rows <= visible)
        first_ = 0;
    else if (selected_ >= first_ + visible)
        first_ = selected_ - visible + 1;
    else if (first_ + visible > rows)
        first_ = rows - visible;
    if (first_ < 0) first_ = 0;
}

Rect CShowListBase::RowRect(int screenRow, int leftInset) const {
    const double s = UiScale();
    return {rect_.left + static_cast<int>(leftInset * s),
            rect_.top + static_cast<int>(screenRow * kRowDesignHeight * s),
            rect_.right - static_cast<int>(2 * s),
            rect_.top + static_cast<int>((screenRow + 1) * kRowDesignHeight * s)};
}

bool CShowListBase::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [] {}, id_, 0);
}

// ---- CEditShowList -------------------------------------------------------------------

CEditShowList::CEditShowList(CDlgBase* parent, const Rect& rect, bool groupVisible, bool visible,
                             bool disabled)
    : CShowListBase(parent, kId, rect, groupVisible, visible, disabled) {}

void CEditShowList::LoadImages() {
    LoadOpenImage(SkinName("skins\\foldr_open.png"));
    LoadClosedImage(SkinName("skins\\foldr_close.png"));
}

void CEditShowList::Draw(QPainter& dc, const Rect&) {
    FillSolidRect(dc, rect_, kListFill);
    if (!rows_) return;
    dc.save();
    dc.setClipRect(rect_.ToQRect(), Qt::IntersectClip);
    const double s = UiScale();
    const int count = rows_->RowCount();
    const int iconStep = static_cast<int>((pictureWidth_ + 3) * s);
    for (int r = 0; first_ + r < count && rect_.top + r * kRowDesignHeight * s < rect_.bottom; ++r) {
        const int row = first_ + r;
        const TreeRows::Row data = rows_->RowAt(row);
        Rect rr = RowRect(r, 2);
        if (row == selected_) FillSolidRect(dc, rr, kAccentColour);
        rr.left += iconStep * data.depth;
        if (data.folder) {
            const SkinImage& icon = data.open ? open_ : closed_;
            if (!icon.IsNull())
                DrawSkinImage(dc, icon,
                              QRectF(rr.left, rr.top + static_cast<int>(s),
                                     static_cast<int>(pictureWidth_ * s),
                                     static_cast<int>(pictureHeight_ * s)),
                              QRect(0, 0, pictureWidth_, pictureHeight_));
            rr.left += iconStep;
        }
        DrawSkinText(dc, rr, data.name, font_, kTextHover, kControlTextFormat);
    }
    dc.restore();
}

int CEditShowList::SelectAt(int y) {
    const int row = ScreenRowAt(y);
    const int count = rows_ ? rows_->RowCount() : 0;
    if (row >= 0 && first_ + row < count) {
        selected_ = first_ + row;
    } else {
        selected_ = -1;
    }
    if (rows_) rows_->SelectRow(selected_);
    return selected_;
}

bool CEditShowList::OnLButtonDown(unsigned, int x, int y) {
    if (disabled_ || !Inside(x, y)) return false;
    mouseState_ = kPressed;
    if (!rows_) return true;
    const int row = SelectAt(y);
    if (row >= 0) {
        const TreeRows::Row data = rows_->RowAt(row);
        // A press on a folder's indent or icon opens or closes it.
        if (data.folder && x - rect_.left < static_cast<int>(pictureWidth_ * UiScale() * (data.depth + 1)))
            rows_->InvertOpen(row);
    }
    return true;
}

bool CEditShowList::OnRButtonUp(unsigned, int x, int y) {
    if (disabled_ || !Inside(x, y)) return false;
    if (rows_) SelectAt(y);
    clickPoint_ = QPoint(x, y);
    Notify(id_, reinterpret_cast<WParam>(&clickPoint_), kNotifyRightClick);
    return true;
}

bool CEditShowList::OnLButtonDblClk(unsigned, int x, int y) {
    if (disabled_ || !Inside(x, y) || !rows_) return false;
    const int row = first_ + ScreenRowAt(y);
    if (row < first_ || row >= rows_->RowCount()) return false;
    rows_->InvertOpen(row);
    Notify(id_, 0, kNotifyDoubleClick);
    return true;
}

// ---- CImageShowList ---------------------------------------------------------------------

CImageShowList::CImageShowList(CDlgBase* parent, const Rect& rect, bool groupVisible, bool visible,
                               bool disabled)
    : CShowListBase(parent, kId, rect, groupVisible, visible, disabled) {}

void CImageShowList::LoadImages() {
    LoadPicture(down_, SkinName("skins\\macro_down.png"));
    LoadPicture(up_, SkinName("skins\\macro_up.png"));
    LoadPicture(time_, SkinName("skins\\macro_time.png"));
}

void CImageShowList::Draw(QPainter& dc, const Rect&) {
    FillSolidRect(dc, rect_, kListFill);
    if (!steps_) return;
    dc.save();
    dc.setClipRect(rect_.ToQRect(), Qt::IntersectClip);
    const double s = UiScale();
    const int count = steps_->StepCount();
    for (int r = 0; first_ + r < count && rect_.top + r * kRowDesignHeight * s < rect_.bottom; ++r) {
        const int row = first_ + r;
        const StepRows::Row data = steps_->StepAt(row);
        const Rect rr = RowRect(r, 17);
        if (row == selected_) FillSolidRect(dc, rr, kAccentColour);
        DrawSkinText(dc, rr, data.text, font_, kTextHover, kControlTextFormat);
        const SkinImage& icon = data.icon == StepRows::Icon::Time ? time_
                                : data.icon == StepRows::Icon::Up ? up_
                                                                  : down_;
        if (!icon.IsNull())
            DrawSkinImage(dc, icon,
                          QRectF(rr.left - static_cast<int>(15 * s), rr.top + static_cast<int>(3 * s),
                                 static_cast<int>(pictureWidth_ * s), static_cast<int>(pictureHeight_ * s)),
                          QRect(0, 0, pictureWidth_, pictureHeight_));
    }
    dc.restore();
}

bool CImageShowList::OnLButtonDown(unsigned, int x, int y) {
    if (disabled_ || !Inside(x, y)) return false;
    mouseState_ = kPressed;
    if (!steps_) return true;
    const int row = ScreenRowAt(y);
    if (row >= 0 && first_ + row < steps_->StepCount()) selected_ = first_ + row;
    return true;
}

bool CImageShowList::OnLButtonDblClk(unsigned, int x, int y) {
    if (disabled_ || !Inside(x, y)) return false;
    Notify(id_, 0, kNotifyDoubleClick);
    return false;
}

void CImageShowList::ReleaseImages() {
    down_.Reset();
    up_.Reset();
    time_.Reset();
}

} // namespace tarvik
