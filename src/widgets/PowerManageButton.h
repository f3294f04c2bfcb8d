// CPowerManageButton: the power-down time dial. Eight wedges of a half disc
// select 3 to 10 minutes; the picture of the chosen value fills the rectangle.
#pragma once

#include <QPolygon>

#include <array>

#include "skin/ControlBase.h"

namespace tarvik {

class CPowerManageButton : public CControlBase {
public:
    static constexpr int kId = 3500;
    static constexpr int kInitialValue = 6;

    // The dial always uses command id 3500; `extra` is kept with the control.
    CPowerManageButton(CDlgBase* parent, int ignoredId, const Rect& rect, const QString& text, int extra,
                       bool groupVisible = true, bool visible = true, bool disabled = false);

    // Names the picture of a value (1-10); the dial is given pictures for
    // 3-10. Only the shown value's picture is decoded, when it is first shown:
    // false for a value out of range, or when the shown value's picture cannot
    // be decoded.
    bool LoadValueImage(int value, const QString& name);

    int Value() const { return value_; }
    void SetValue(int value);
    int Extra() const { return extra_; }
    // The value a point selects (3-10), or 0 when it lies in no wedge.
    int ValueAt(int x, int y) const;
    void SetRect(const Rect& rect) override;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    void BuildRegions();
    // Decodes the shown value's picture if it has not been.
    bool EnsurePicture();

    std::array<QString, 10> names_;      // values 1-10
    std::array<SkinImage, 10> pictures_; // values 1-10, decoded on first show
    std::array<QPolygon, 10> regions_;   // regions 2-9 are the wedges
    int value_ = kInitialValue;
    int extra_;
};

} // namespace tarvik
