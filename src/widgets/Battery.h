// CBattery: the mouse's battery gauge, with level, charging, full and unknown
// modes, drawn as a fill of the level over the empty gauge.
#pragma once

#include <cstdint>

#include "skin/ControlBase.h"

namespace tarvik {

class CBattery : public CControlBase {
public:
    // kUnknown: no level reported yet; the empty gauge, no fill.
    enum Mode : int { kLevel = 0, kCharging = 1, kFull = 2, kUnknown = 3 };

    CBattery(CDlgBase* parent, int id, const Rect& rect, const QString& text = QString(),
             bool groupVisible = true, bool visible = true);

    bool LoadFullImage(const QString& name) { return LoadPicture(full_, name); }
    bool LoadEmptyImage(const QString& name) { return LoadPicture(empty_, name); }
    bool LoadChargingImage(const QString& name) { return LoadPicture(charging_, name); }
    bool LoadFlashImage(const QString& name) { return LoadPicture(flash_, name); }
    // The four standard pictures.
    void LoadImages();

    // What the gauge shows: a mode, the level in percent and the charging
    // animation's level. True when its look changed (the caller invalidates);
    // the charging level matters only while charging.
    bool SetState(int mode, std::uint8_t level, int chargingLevel);
    int Mode() const { return mode_; }
    std::uint8_t Level() const { return level_; }
    int ChargingLevel() const { return chargingLevel_; }

    // Top edge of the fill for a level, and the fill's height in design pixels.
    int FillTop(int percent) const;
    int FillPixels(int percent) const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned, int x, int y) override { return ButtonMouseMove(x, y); }
    bool OnLButtonDown(unsigned, int x, int y) override { return ButtonLButtonDown(x, y); }
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    static constexpr int kFillOffset = 7; // design pixels
    static constexpr int kFillHeight = 50;

    void DrawFill(QPainter& dc, const SkinImage& picture, int percent) const;
    SkinImage full_, empty_, charging_, flash_;
    int mode_ = kLevel;
    std::uint8_t level_ = 100;
    int chargingLevel_ = 25;
};

} // namespace tarvik
