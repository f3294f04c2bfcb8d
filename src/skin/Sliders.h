// The slider controls: CSliderControl (a horizontal thumb on N discrete stops;
// its bar is a separate static picture), CVerticalSliderControl (a level bar
// that can be dragged, value 0 .. maximum - 1, low end at the bottom) and
// CLevelBarBase, the bar they share.
#pragma once

#include <vector>

#include "skin/ControlBase.h"

namespace tarvik {

class CSliderControl : public CControlBase {
public:
    CSliderControl(CDlgBase* parent, int id, const Rect& rect, const QString& text, int stopCount,
                   int leftMargin, int rightMargin, bool groupVisible = true, bool visible = true,
                   bool disabled = false);

    bool LoadThumbImage(const QString& name);

    // Places the thumb on stop k (clamped to the stops).
    void SetStop(int k);
    // One step of a thumb drag to x: the thumb follows, the nearest stop is
    // reported (id, k, 3). The window's routing gives a pressed slider every
    // move, so nothing else needs to call it.
    void ContinueDrag(int x);
    // Index of the stop nearest to x: the midpoint between two stops belongs to the higher one.
    int NearestStop(int x) const;

    int StopCount() const { return static_cast<int>(stops_.size()); }
    const std::vector<int>& Stops() const { return stops_; }
    int CurrentStop() const { return current_; }
    int LastSentStop() const { return lastSent_; }
    int UsableWidth() const { return usableWidth_; }
    bool IsDragging() const { return dragging_; }
    const Rect& ThumbRect() const { return thumbRect_; }
    int ThumbX() const { return thumbX_; }

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    // One step of a drag: thumb follows x, the nearest stop is reported (id, k, 3).
    void DragStep(int x);

    SkinImage thumb_;
    int thumbX_ = 0;
    int leftMargin_, rightMargin_;
    int current_ = 0, lastSent_ = 0;
    int usableWidth_ = 0;
    std::vector<int> stops_;
    bool dragging_ = false;
    Rect thumbRect_;
};

// The level bar of the vertical controls: a track picture with the fill
// picture's lower part drawn up to the value's height.
class CLevelBarBase : public CControlBase {
public:
    CLevelBarBase(CDlgBase* parent, int id, const Rect& rect, const QString& text, int maximum, int marginA,
                  int marginB, bool groupVisible, bool visible, bool disabled);

    bool LoadFillImage(const QString& name);
    bool LoadTrackImage(const QString& name);

    void SetMaximum(int n);
    int Maximum() const { return maximum_; }
    // The value shown; the caller invalidates.
    void SetValue(int value) { value_ = value; }
    int Value() const { return value_; }

    // Top edge of the fill for the current value.
    int FillTop() const;
    // The value a pointer at y selects.
    int ValueFromY(int y) const;

    void Draw(QPainter& dc, const Rect& update) override;
    void ReleaseImages() override;

protected:
    SkinImage fill_, track_;
    int fillWidth_ = 0, fillHeight_ = 0;
    int maximum_;
    int value_ = 0;
};

class CVerticalSliderControl : public CLevelBarBase {
public:
    CVerticalSliderControl(CDlgBase* parent, int id, const Rect& rect, const QString& text, int maximum,
                           int marginA = 0, int marginB = 0, bool groupVisible = true, bool visible = true,
                           bool disabled = false);

    bool IsDragging() const { return dragging_; }

    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;

private:
    bool dragging_ = false;
};

} // namespace tarvik
