// CWndPopup: a small frameless top-level window owned by a skinned window that
// drops down under a combo button (or opens beside another pop-up as a
// sub-menu). It draws into one buffer that is shown whole, routes the mouse to
// its subclass, reports loss of activation to its owner with the close message
// it was made with, and tells the owner (1025) when it closes.
//
// CListPopup adds the vertical item list every pop-up shows: layout, the two
// drawing styles, the hot item that follows the mouse while the button is up,
// and the press and release rules. The app's pop-ups are in widgets/Popups.h
// and macro/ui/FunctionPopups.h.
#pragma once

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

#include "skin/DlgBase.h"
#include "skin/Skin.h"
#include "skin/SkinImage.h"

namespace tarvik {

class CWndPopup : public QWidget {
public:
    // The font the items are drawn with.
    const QFont& PopupFont() const { return font_; }
    // Sent to the owner when the pop-up closes.
    static constexpr int kClosedMessage = 1025;

    // `kind` tells the owner which pop-up it is; `closeMessage` is sent to the
    // owner (wParam the tag, lParam the kind) when the pop-up loses activation.
    CWndPopup(int kind, int closeMessage);
    ~CWndPopup() override;

    // Builds the items, sizes and renders the window, and shows it owned by
    // `parent` with its top-left corner at the rectangle's (screen coordinates).
    bool Create(CDlgBase* parent, const Rect& screenRect, int selectionMessage, int tag);

    int Kind() const { return kind_; }
    int CloseMessage() const { return closeMessage_; }
    int Tag() const { return tag_; }
    int SelectionMessage() const { return selectionMessage_; }
    CDlgBase* Owner() const { return parent_.data(); }
    bool IsPressed() const { return pressed_; }
    // How many hover notices (the pointer resting 50 ms) the pop-up has handled.
    int HoverNotices() const { return hoverNotices_; }
    const QImage& Frame() const { return frame_; }

protected:
    // Paints the list into the render buffer.
    virtual void DrawItems(QPainter& dc, const Rect& client);
    // Fills the item list and sizes the window; called once by Create.
    virtual void BuildItems();
    // Mouse calls in client coordinates; each returns whether to render again.
    virtual bool OnHover(int x, int y);
    virtual bool OnPress(int x, int y);
    virtual bool OnRelease(int x, int y);
    virtual bool OnRightRelease(int x, int y);

    // Draws the whole window again: black, then DrawItems.
    void Render();
    // A synchronous message to the owner; nothing when the owner is gone.
    void Notify(int msg, WParam wParam, LParam lParam);
    // Sends the close message of the kind, once per loss of activation.
    void ReportDeactivation();

    int posX_ = 0, posY_ = 0;

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool tracking_ = false;
    bool pressed_ = false;
    bool capture_ = false;
    QFont font_;
    int selectionMessage_ = 0;
    int tag_ = 0;
    int kind_;
    int closeMessage_;
    QPointer<CDlgBase> parent_;
    QImage frame_;
    QTimer hoverTimer_;
    QPoint lastPoint_{-1, -1};
    int hoverNotices_ = 0;
    bool wasActive_ = false;
    bool closeReported_ = false;
    bool closing_ = false;
};

// One entry of a pop-up list.
struct PopupItem {
    int separator = 0;
    int value = 0; // the 1-based item number the class gives it
    QString label;
    Rect rect;
    int subMenu = 0;
};

// What a choice reports: the item's label and one to three code bytes. Its
// address is the lParam of the selection message.
struct PopupResult {
    QString label;
    std::array<std::uint8_t, 3> code{};
    int codeCount = 0;
};

// The four row pictures of the picture style.
struct PopupPictures {
    QString normal, hover, subMenu, hoverSubMenu;
    // "skins\menu_nr.png", "skins\menu_ov.png", "skins\menusub_nr.png", "skins\menusub_ov.png".
    static PopupPictures Menu();
};

class CListPopup : public CWndPopup {
public:
    enum class Style { Picture, Flat };

    const std::vector<PopupItem>& Items() const { return items_; }
    int HotItem() const { return hot_; }
    const PopupResult& Result() const { return result_; }
    // Index of the first item with this value, -1 when none.
    int IndexOfValue(int value) const;
    // Where an item's label is drawn: the row less 2 pixels each side, and for
    // an item with a sub-menu less its arrow, so a long label stays clear of it.
    Rect TextRect(const PopupItem& item) const;
    // The font of an item's label: the pop-up's, or a smaller size of its face
    // (down to three quarters) for a label too wide for its TextRect.
    QFont LabelFont(const PopupItem& item) const;

protected:
    // right: the design right edge R; height: the design row height H.
    CListPopup(int kind, int closeMessage, Style style, int right, int height);

    void LoadPictures(const PopupPictures& pictures);
    void AddItem(int value, const QString& label, bool subMenu = false);
    void AddSeparator();
    // Sizes the window from the items laid out so far.
    void FinishLayout();
    // Layout details of the profile list: items start at x = 0, separators end at
    // their own right edge, and the window has a fixed design width.
    void SetProfileLayout(int separatorRight, int windowWidth) {
        itemsFromZero_ = true;
        separatorRight_ = separatorRight;
        fixedWidth_ = windowWidth;
    }

    // The class's part of a release over the hot item: fill the result and notify.
    virtual void Choose(const PopupItem& item) = 0;
    // Called after the hot item changed to a new item.
    virtual void HotItemChanged(const PopupItem&) {}
    // A press on the hot item.
    virtual void PressedOnItem(const PopupItem&) {}
    // Draws one item in its style; the hot flag tells which look.
    virtual void DrawItem(QPainter& dc, const PopupItem& item, bool hot);

    void DrawItems(QPainter& dc, const Rect& client) override;
    bool OnHover(int x, int y) override;
    bool OnPress(int x, int y) override;
    bool OnRelease(int x, int y) override;

    // The selection notification with the result record.
    void SendResult();
    // The item under a point (separators never), -1 when none.
    int ItemAt(int x, int y) const;

    Style style_;
    std::vector<PopupItem> items_;
    int hot_ = -1;
    PopupResult result_;
    SkinImage normal_, hover_, sub_, hoverSub_;
    int pictureWidth_ = 0, pictureHeight_ = 0;

private:
    int right_, height_;
    double y_;
    bool itemsFromZero_ = false;
    int separatorRight_ = 0;
    int fixedWidth_ = 0;
};

} // namespace tarvik
