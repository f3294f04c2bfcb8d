// CCheckButton: a button with a checked flag. Check boxes, the panel headers
// (their checked flag opens the panel) and the macro record button.
#pragma once

#include "skin/ControlBase.h"

namespace tarvik {

class CCheckButton : public CControlBase {
public:
    // align: 0 left, 1 centred, 2 right.
    CCheckButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, int align,
                 bool groupVisible = true, bool visible = true, bool disabled = false);

    bool LoadNormalImage(const QString& name) { return LoadPicture(normal_, name); }
    bool LoadHoverImage(const QString& name) { return LoadPicture(hover_, name); }
    bool LoadCheckedImage(const QString& name) { return LoadPicture(checked_, name); }

    bool IsChecked() const { return checkedFlag_; }
    void SetChecked(bool on);
    void SetAlignment(int align);
    void SetInsets(int left, int right);
    // Texts shown instead of the caption while unchecked / checked (when not empty).
    void SetStateTexts(const QString& unchecked, const QString& checked);
    void SetTextColours(Colour normal, Colour hover, Colour checked);

    // Which picture the control shows: 0 normal, 1 hover, 2 pressed or checked.
    int PictureIndex() const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage normal_, hover_, checked_;
    bool checkedFlag_ = false;
    int align_;
    int insetLeft_ = 0, insetRight_ = 0;
    QString uncheckedText_, checkedText_;
    Colour normalColour_ = kTextNormal, hoverColour_ = kTextHover, checkedColour_ = kTextChecked;
};

} // namespace tarvik
