#include "skin/StaticControls.h"

#include <QPainter>

#include <algorithm>

#include "skin/DlgBase.h"

namespace tarvik {

// ---- CBattery -------------------------------------------------------------------

CBattery::CBattery(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible,
                   bool visible)
    : CControlBase(parent, id, rect, text, groupVisible, visible, true) {}

void CBattery::LoadImages() {
    LoadEmptyImage(SkinName("skins\\battery_empty.png"));
    LoadChargingImage(SkinName("skins\\battery_charging.png"));
    LoadFlashImage(SkinName("skins\\battery_lighting.png"));
    LoadFullImage(SkinName("skins\\battery_full.png"));
}

int CBattery::FillPixels(int percent) const {
    return std::max(1, percent * fillHeight / 100);
}

int CBattery::FillTop(int percent) const {
    const double s = UiScale();
    int top = static_cast<int>(rect_.top + (fillOffset - FillPixels(percent) + fillHeight) * s);
    if (s > 1 && (rect_.bottom - top) % 2 != 0) --top;
    return top;
}

void CBattery::DrawFill(QPainter& dc, const SkinImage& picture, int percent) const {
    if (picture.IsNull()) return;
    const double s = UiScale();
    const int top = FillTop(percent);
    const int y0 = std::clamp(static_cast<int>(pictureHeight_ - (rect_.bottom - top) / s), 0, pictureHeight_);
    const int h0 = pictureHeight_ - y0;
    if (h0 <= 0) return;
    DrawSkinImage(dc, picture,
                  QRectF(rect_.left, top, static_cast<int>(pictureWidth_ * s), static_cast<int>(h0 * s)),
                  QRect(0, y0, pictureWidth_, h0));
}

void CBattery::Draw(QPainter& dc, const Rect&) {
    switch (mode) {
    case kLevel:
        DrawPicture(dc, empty_);
        DrawFill(dc, full_, level);
        break;
    case kCharging:
        DrawFill(dc, charging_, chargingLevel);
        DrawPicture(dc, flash_);
        break;
    case kUnknown:
        DrawPicture(dc, empty_);
        break;
    default:
        DrawPicture(dc, full_);
        DrawPicture(dc, flash_);
        break;
    }
}

bool CBattery::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [] {}, id_, 0);
}

void CBattery::ReleaseImages() {
    full_.Reset();
    empty_.Reset();
    charging_.Reset();
    flash_.Reset();
}

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
    if (sub >= 0 && sub == pages.subPage) return 2;
    const int page = pages.PageOf(id_);
    if (page >= 0 && page == pages.page) return mouseState_ == kHover ? 3 : 2;
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
            if (!parent_) return;
            PageTabs& pages = parent_->Pages();
            if (const int page = pages.PageOf(id_); page >= 0) pages.page = page;
            if (const int sub = pages.SubPageOf(id_); sub >= 0) pages.subPage = sub;
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
