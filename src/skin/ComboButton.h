// CComboButton: a field that opens a pop-up list. It tells its window when the
// mouse enters (at most five times per stay) and leaves, and reports clicks as
// its combo message. A locked combo still reacts to the mouse but sends neither
// press nor click.
#pragma once

#include "skin/ControlBase.h"

namespace tarvik {

class CComboButton : public CControlBase {
public:
    // Enter notifications sent before the button falls silent until the mouse leaves.
    static constexpr int kEnterNotifications = 5;

    CComboButton(CDlgBase* parent, int comboMessage, int id, const Rect& rect, const QString& text, int align,
                 const QString& displayText, bool groupVisible = true, bool visible = true,
                 bool disabled = false);

    bool LoadNormalImage(const QString& name) { return LoadPicture(normal_, name); }
    bool LoadHoverImage(const QString& name) { return LoadPicture(hover_, name); }

    int ComboMessage() const { return comboMessage_; }
    const QString& DisplayText() const { return displayText_; }
    void SetDisplayText(const QString& text);
    // Set by the window while the button's pop-up is open.
    bool IsOpen() const { return open_; }
    void SetOpen(bool on);
    bool IsLocked() const { return locked_; }
    void SetLocked(bool on);
    // Shows "Disable" instead of the display text.
    bool ShowsDisableText() const { return disableText_; }
    void SetDisableText(bool on);
    void SetInsets(int left, int right);
    bool IsMuted() const { return muted_; }

    // 1 (hover picture) while open or under the mouse, else 0.
    int PictureIndex() const { return open_ || mouseState_ != kNormal ? 1 : 0; }
    QString ShownText() const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage normal_, hover_;
    int comboMessage_;
    int align_;
    QString displayText_;
    bool open_ = false;
    bool locked_ = false;
    bool disableText_ = false;
    int insetLeft_ = 0, insetRight_ = 0;
    int enterCount_ = 0;
    bool muted_ = false;
    bool left_ = true; // the leave of the last stay has been reported
};

} // namespace tarvik
