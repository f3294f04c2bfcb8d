// CControlBase: a windowless control. It owns a rectangle of its window's client
// area, paints itself into the window's paint buffer and answers the mouse calls
// the window routes to it; it reports user actions to the window as messages
// (message = command id, lParam = event code).
#pragma once

#include <QFont>
#include <QString>

#include "skin/Skin.h"
#include "skin/SkinImage.h"
#include "skin/WindowMessages.h"

class QPainter;

namespace tarvik {

class CDlgBase;

// Key flags passed with every mouse call.
inline constexpr unsigned kMkLButton = 0x01;
inline constexpr unsigned kMkRButton = 0x02;
inline constexpr unsigned kMkShift = 0x04;
inline constexpr unsigned kMkControl = 0x08;
inline constexpr unsigned kMkMButton = 0x10;

// Event codes of the notifications (lParam).
enum NotifyCode : LParam {
    kNotifyPress = 1,
    kNotifyClick = 2,
    kNotifyDrag = 3,
    kNotifyEnter = 4,
    kNotifyLeave = 5,
    kNotifyDoubleClick = 10,
    kNotifyRightClick = 11,
    kNotifyHover = 12,
};

class CControlBase {
public:
    // Mouse states of the buttons.
    static constexpr int kNormal = 0;
    static constexpr int kHover = 1;
    static constexpr int kPressed = 2;

    CControlBase(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible,
                 bool visible, bool disabled);
    CControlBase(const CControlBase&) = delete;
    CControlBase& operator=(const CControlBase&) = delete;
    virtual ~CControlBase();

    virtual void Draw(QPainter& dc, const Rect& update) = 0;
    // Called with 0 on the pressed control when another control is pressed or a pop-up closes.
    virtual int SetActive(int active);
    virtual void SetRect(const Rect& rect);
    virtual Rect GetRect() const;
    // Stores a new text and repaints the control when it differs.
    virtual void SetText(const QString& text);
    virtual QString GetText() const;
    virtual void SetGroupVisible(bool on);
    virtual void SetVisible(bool on);

    // Mouse calls: each returns whether the control's look changed.
    virtual bool OnMouseMove(unsigned keys, int x, int y);
    virtual bool OnLButtonDown(unsigned keys, int x, int y);
    virtual bool OnLButtonUp(unsigned keys, int x, int y);
    virtual bool OnRButtonUp(unsigned keys, int x, int y);
    virtual bool OnLButtonDblClk(unsigned keys, int x, int y);

    // Disposes of every picture of the control.
    virtual void ReleaseImages();

    // Replaces the control's font with one of this height and face.
    void SetFont(int height, const QString& face);
    // A text too long for the rectangle gets a smaller size of the face (FitFont).
    void FitFontToText() { font_ = FitFont(font_, text_, rect_.Width()); }
    const QFont& Font() const { return font_; }

    int Id() const { return id_; }
    CDlgBase* Parent() const { return parent_; }
    bool IsGroupVisible() const { return groupVisible_; }
    bool IsVisible() const { return visible_; }
    // Drawn and reachable by the mouse: both visibility flags set.
    bool IsShown() const { return groupVisible_ && visible_; }
    bool IsDisabled() const { return disabled_; }
    void SetDisabled(bool on) { disabled_ = on; }
    // A control that is not interactive never becomes the hot control.
    bool IsInteractive() const { return interactive_; }
    void SetInteractive(bool on) { interactive_ = on; }
    int MouseState() const { return mouseState_; }
    // Size of the picture loaded last: the source rectangle of every state.
    int PictureWidth() const { return pictureWidth_; }
    int PictureHeight() const { return pictureHeight_; }

protected:
    bool Inside(int x, int y) const { return rect_.Contains(x, y); }
    // Sends (msg, wParam, lParam) to the window; the result is not used.
    void Notify(int msg, WParam wParam, LParam lParam) const;
    void Invalidate() const;

    // Loads a skin file ("skins\..." or an absolute path) into a picture slot;
    // writes the control's picture size on success.
    bool LoadPicture(SkinImage& slot, const QString& name);
    // Draws a picture over the whole rectangle from the shared source size.
    void DrawPicture(QPainter& dc, const SkinImage& picture) const;

    // The button family's shared mouse rules.
    // Move: unless disabled or pressed, hover inside and normal outside.
    bool ButtonMouseMove(int x, int y);
    // Press inside: pressed, and the press notification (unless `quiet`).
    bool ButtonLButtonDown(int x, int y, bool quiet = false);
    // Release: inside -> hover, then `action` (the class's own change), then the
    // click notification as (clickMsg, clickWParam, 2) unless `quiet`; outside -> normal.
    template <class Action>
    bool ButtonLButtonUp(int x, int y, Action&& action, int clickMsg, WParam clickWParam,
                         bool quiet = false) {
        if (disabled_) return false;
        const int old = mouseState_;
        if (Inside(x, y)) {
            mouseState_ = kHover;
            action();
            if (!quiet) Notify(clickMsg, clickWParam, kNotifyClick);
        } else {
            mouseState_ = kNormal;
        }
        return old != mouseState_;
    }

    CDlgBase* parent_;
    int id_;
    Rect rect_;
    bool groupVisible_;
    bool visible_;
    bool disabled_;
    bool interactive_ = true;
    QString text_;
    QFont font_;
    int mouseState_ = kNormal;
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
};

} // namespace tarvik
