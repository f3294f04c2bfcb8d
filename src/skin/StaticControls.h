// The display controls: CStaticImage (one frame of a picture strip), CStaticText (a text line) and
// CTabControl (a page or sub-page tab of its window's PageTabs).
#pragma once

#include "skin/ControlBase.h"

namespace tarvik {

class CStaticImage : public CControlBase {
public:
    CStaticImage(CDlgBase* parent, int id, const Rect& rect, const QString& text = QString(),
                 bool groupVisible = true, bool visible = true);

    // Loads the picture; the frame width becomes the picture's width.
    bool LoadImage(const QString& name);
    void SetFrameWidth(int w) { frameWidth_ = w; }
    int FrameWidth() const { return frameWidth_; }
    int frame = 0;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned, int x, int y) override { return ButtonMouseMove(x, y); }
    bool OnLButtonDown(unsigned, int x, int y) override { return ButtonLButtonDown(x, y); }
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage picture_;
    int frameWidth_ = 0;
};

class CStaticText : public CControlBase {
public:
    CStaticText(CDlgBase* parent, int id, const Rect& rect, const QString& text, Colour colour,
                unsigned format, bool groupVisible = true, bool visible = true);

    Colour TextColour() const { return colour_; }
    void SetTextColour(Colour c) { colour_ = c; }
    unsigned Format() const { return format_; }

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned, int x, int y) override { return ButtonMouseMove(x, y); }
    bool OnLButtonDown(unsigned, int x, int y) override { return ButtonLButtonDown(x, y); }
    bool OnLButtonUp(unsigned keys, int x, int y) override;

private:
    Colour colour_;
    unsigned format_;
};

// A tab selects the page or sub-page its window's PageTabs give its id; a tab of
// neither kind only reports its clicks.
class CTabControl : public CControlBase {
public:
    CTabControl(CDlgBase* parent, int id, const Rect& rect, const QString& text, int align,
                bool groupVisible = true, bool visible = true, bool disabled = false);

    bool LoadNormalImage(const QString& name) { return LoadPicture(pictures_[0], name); }
    bool LoadHoverImage(const QString& name) { return LoadPicture(pictures_[1], name); }
    bool LoadSelectedImage(const QString& name) { return LoadPicture(pictures_[2], name); }
    bool LoadSelectedHoverImage(const QString& name) { return LoadPicture(pictures_[3], name); }
    // The four profile-slot pictures.
    void LoadImages();
    void SetInsets(int left, int right);

    // 0 normal, 1 hover, 2 selected, 3 selected under the mouse.
    int PictureIndex() const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned, int x, int y) override { return ButtonMouseMove(x, y); }
    bool OnLButtonDown(unsigned, int x, int y) override { return ButtonLButtonDown(x, y); }
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    bool OnRButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage pictures_[4];
    int align_;
    int insetLeft_ = 0, insetRight_ = 0;
};

} // namespace tarvik
