// Radio buttons. A radio button's selection lives in its window's radio groups
// (one 32-bit word, RadioGroups).
#pragma once

#include "skin/ControlBase.h"

namespace tarvik {

class CRadioButton : public CControlBase {
public:
    CRadioButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible = true,
                 bool visible = true, bool disabled = false);

    bool LoadNormalImage(const QString& name) { return LoadPicture(normal_, name); }
    bool LoadHoverImage(const QString& name) { return LoadPicture(hover_, name); }
    bool LoadSelectedImage(const QString& name) { return LoadPicture(selected_, name); }

    // Selected in the window's radio groups; a button of no group never is.
    bool IsSelected() const;
    // 2 while selected, otherwise the mouse state.
    int PictureIndex() const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage normal_, hover_, selected_;
};

} // namespace tarvik
