#include "skin/StaticControls.h"

#include <QPainter>

#include <algorithm>

#include "skin/DlgBase.h"

namespace tarvik {

// ---- CStaticImage -----------------------------------------------------------------

CStaticImage::CStaticImage(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible,
                           bool visible)
    : CControlBase(parent, id, rect, text, groupVisible, visible, true) {}

bool CStaticImage::LoadImage(const QString& name) {
    const bool ok = LoadPicture(picture_, name);
    if (ok) frameWidth_ = pictureWidth_;
    return ok;
}

void CStaticImage::Draw(QPainter& dc, const Rect&) {
    if (picture_.IsNull()) return;
    DrawSkinImage(dc, picture_, QRectF(rect_.left, rect_.top, rect_.Width(), rect_.Height()),
                  QRect(frame * frameWidth_, 0, frameWidth_, pictureHeight_));
}

bool CStaticImage::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [] {}, id_, 0);
}

void CStaticImage::ReleaseImages() {
    picture_.Reset();
}

// ---- CStaticText ---------------------------------------------------------------------

CStaticText::CStaticText(CDlgBase* parent, int id, const Rect& rect, const QString& text, Colour colour,
                         unsigned format, bool groupVisible, bool visible)
    : CControlBase(parent, id, rect, text, groupVisible, visible, true), colour_(colour), format_(format) {}

void CStaticText::Draw(QPainter& dc, const Rect&) {
    DrawSkinText(dc, rect_, text_, font_, colour_, format_ | kDtWordEllipsis | kDtVCenter);
}

bool CStaticText::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [] {}, id_, 0);
}

// ---- CTabControl -----------------------------------------------------------------------

CTabControl::CTabControl(CDlgBase* parent, int id, const Rect& rect, const QString& text, int align,
                         bool groupVisible, bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled), align_(align) {}

void CTabControl::LoadImages() {
    LoadNormalImage(SkinName("skins\\profile_slot_nr.png"));
    LoadHoverImage(SkinName("skins\\profile_slot_ov.png"));
    LoadSelectedImage(SkinName("skins\\profile_slot_nr2.png"));
    LoadSelectedHoverImage(SkinName("skins\\profile_slot_ov2.png"));
}

void CTabControl::SetInsets(int left, int right) {
    insetLeft_ = left;
    insetRight_ = right;
    Invalidate();
}

int CTabControl::PictureIndex() const {
    if (!parent_) return mouseState_;
    const PageTabs& pages = parent_->Pages();
    const int sub = pages.SubPageOf(id_);
    if (sub >= 0 && sub == pages.SubPage()) return 2;
    const int page = pages.PageOf(id_);
    if (page >= 0 && page == pages.Page()) return mouseState_ == kHover ? 3 : 2;
    return mouseState_;
}

void CTabControl::Draw(QPainter& dc, const Rect&) {
    const int index = std::clamp(PictureIndex(), 0, 3);
    DrawPicture(dc, pictures_[index]);
    DrawControlText(dc, rect_, text_, font_, kTextNormal, align_, insetLeft_, insetRight_);
}

bool CTabControl::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y,
        [this] {
            if (parent_) parent_->Pages().Select(id_);
        },
        id_, 0);
}

bool CTabControl::OnRButtonUp(unsigned, int x, int y) {
    if (!disabled_ && Inside(x, y)) Notify(id_, static_cast<WParam>(id_), kNotifyRightClick);
    return false;
}

void CTabControl::ReleaseImages() {
    for (SkinImage& p : pictures_) p.Reset();
}

} // namespace tarvik
