#include "widgets/Battery.h"

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

bool CBattery::SetState(int mode, std::uint8_t level, int chargingLevel) {
    const bool changed =
        level != level_ || mode != mode_ || (mode == kCharging && chargingLevel != chargingLevel_);
    mode_ = mode;
    level_ = level;
    chargingLevel_ = chargingLevel;
    return changed;
}

int CBattery::FillPixels(int percent) const {
    return std::max(1, percent * kFillHeight / 100);
}

int CBattery::FillTop(int percent) const {
    const double s = UiScale();
    int top = static_cast<int>(rect_.top + (kFillOffset - FillPixels(percent) + kFillHeight) * s);
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
    switch (mode_) {
    case kLevel:
        DrawPicture(dc, empty_);
        DrawFill(dc, full_, level_);
        break;
    case kCharging:
        DrawFill(dc, charging_, chargingLevel_);
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

} // namespace tarvik
