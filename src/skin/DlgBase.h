// CDlgBase: the base of every skinned window. A frameless top-level dialog that
// owns its windowless controls in seven ordered groups, paints into a kept back
// buffer only what was invalidated (background, then the controls of groups 0
// to 6 in order), routes the mouse through its PointerRouter (the control under
// the pointer, a pressed control that takes every event until the button comes
// up, the window move when an empty spot is dragged), keeps its background bitmap, tracks the pop-up windows
// it opened, and dispatches numbered messages through its message table. What the controls need to know about
// their window (radio groups, level buttons, page tabs, ids that repaint it all) is configured per window.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QTimer>

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "skin/ControlBase.h"
#include "skin/PointerRouter.h"
#include "skin/Skin.h"
#include "skin/WindowMessages.h"
#include "skin/WindowSelections.h"

namespace tarvik {

class CDlgBase : public QDialog, private PointerHost {
public:
    static constexpr int kGroupCount = 7;
    static constexpr int kPopupSlotCount = 11;
    // Command ids of the small dialogs' buttons.
    static constexpr int kIdClose = 2004;
    static constexpr int kIdConfirm = 2010;
    static constexpr int kIdCancel = 2011;

    explicit CDlgBase(QWidget* parent = nullptr);
    ~CDlgBase() override;

    // Runs OnInitDialog once (showing the window does it too).
    void InitDialog();
    bool IsInitialised() const { return initialised_; }

    // Messages: a synchronous call into the message table, or the same call
    // queued on the event loop. Unhandled messages return 0.
    virtual LResult SendMessage(int msg, WParam wParam = 0, LParam lParam = 0);
    void PostMessage(int msg, WParam wParam = 0, LParam lParam = 0);

    // Numbered timers; each expiry calls OnTimer(id).
    void SetTimer(int id, int ms) { timers_.Set(id, ms); }
    void KillTimer(int id) { timers_.Kill(id); }
    bool IsTimerArmed(int id) const { return timers_.IsArmed(id); }

    // The first control with this command id, searching groups 0 to 6 in order.
    CControlBase* FindControl(int id) const;
    // Disposes of the pictures of every control.
    void ReleaseControlImages();

    // Pop-up windows opened by this window, one slot per pop-up role. ClosePopup
    // deactivates a pressed control that is not under the mouse, asks a pop-up
    // that still exists to close, and empties the slot.
    void SetPopup(int slot, QWidget* popup);
    QWidget* Popup(int slot) const;
    void ClosePopup(int slot);

    void InvalidateRect(const Rect& r);
    void InvalidateAll();

    // Whether the message table has a row for `msg` (a control's id, say).
    bool HandlesMessage(int msg) const { return messages_.Handles(msg); }

    // Routing state.
    const PointerRouter& Pointer() const { return router_; }
    CControlBase* HotControl() const { return router_.Target(); }
    CControlBase* PressedControl() const { return router_.Active(); }
    QPoint LastMousePoint() const { return router_.LastPoint(); }
    Rect PressedRect() const { return router_.PressedRect(); }
    Colour FillColour() const { return fill_; }
    const QFont& DialogFont() const { return dialogFont_; }
    const std::vector<std::unique_ptr<CControlBase>>& Group(int g) const;

    // The window's radio groups: its own, or groups shared with other windows
    // (UseRadioGroups; they must outlive this window).
    RadioGroups& Radios() { return *radios_; }
    const RadioGroups& Radios() const { return *radios_; }
    void UseRadioGroups(RadioGroups& shared) { radios_ = &shared; }
    // The window's level buttons and their mask of enabled levels.
    LevelGroup& Levels() { return levels_; }
    const LevelGroup& Levels() const { return levels_; }
    // The window's pages and the tabs that switch them.
    PageTabs& Pages() { return pages_; }
    const PageTabs& Pages() const { return pages_; }
    // Ids whose click repaints the whole window (they switch what it shows);
    // other clicks repaint the clicked control.
    IdRanges& PageSwitchIds() { return pageSwitchIds_; }
    bool IsPageSwitchId(int id) const { return pageSwitchIds_.Contains(id); }

    // The image the window paints into and shows from (device pixels); null
    // for a window that paints straight into Qt's backing store.
    const QImage& BackBuffer() const { return back_; }
    // Off: the window paints straight into Qt's backing store, which keeps what
    // is not repainted just as the back buffer does, and saves the buffer's
    // memory (a window's size × 4 bytes). What is painted is the same.
    void SetKeepsBackBuffer(bool keep);
    bool KeepsBackBuffer() const { return keepBack_; }

protected:
    // Sets the window's own size (design size × UI scale) before initialisation.
    void SetWindowSize(int width, int height);
    int WindowWidth() const { return windowWidth_; }
    int WindowHeight() const { return windowHeight_; }

    // Dialog initialisation: title, dialog font, size, CreateControls, centring.
    virtual bool OnInitDialog();
    // Paints the whole window into the paint buffer. The body every window
    // shares: the fill colour and background copy (DrawBackground), the frame
    // picture (SetFrameFile), DrawUnderControls, the controls, DrawOverControls.
    virtual void DrawWindow(QPainter& dc, const Rect& client);
    // What a window draws between its frame and its controls, and over its controls.
    virtual void DrawUnderControls(QPainter& dc, const Rect& client);
    virtual void DrawOverControls(QPainter& dc, const Rect& client);
    // The frame picture DrawWindow stretches over the window (as DrawFrameFile
    // does); a window grown taller than its frame tells by how much.
    void SetFrameFile(const QString& name, int designWidth, int designHeight, int keepTop = 0);
    void SetFrameGrownBy(int pixels) { frame_.grownBy = pixels; }
    // Draws every shown control of groups 0 to 6 that meets `update`, in order.
    virtual void DrawControls(QPainter& dc, const Rect& update);
    // Creates the window's controls; called once from OnInitDialog.
    virtual void CreateControls(const Rect& client) = 0;
    virtual void OnTimer(int id);

    // Mouse routing: each hands the event to the router.
    virtual void OnMouseMove(unsigned keys, QPoint p);
    virtual void OnMouseHover(QPoint p);
    virtual void OnMouseLeave();
    virtual void OnLButtonDown(unsigned keys, QPoint p);
    virtual void OnLButtonUp(unsigned keys, QPoint p);
    virtual void OnRButtonUp(unsigned keys, QPoint p);
    virtual void OnLButtonDblClk(unsigned keys, QPoint p);

    // Appends a control to group g (0-6) and returns it; the window owns it.
    template <class T> T* AddControl(int g, std::unique_ptr<T> control) {
        T* raw = control.get();
        groups_.at(static_cast<std::size_t>(g)).push_back(std::move(control));
        return raw;
    }
    // Removes a control from its group. Safe inside a notification: the object
    // lives until the mouse event that is being routed has been handled.
    void DeleteControl(CControlBase* control);

    MessageTable& Messages() { return messages_; }
    // The small dialogs' convention: a click on 2004 (close) or 2011 (cancel)
    // releases every control picture and ends the dialog with the cancel result.
    void UseStandardCloseIds();
    // A click on 2010 (confirm) releases every control picture and ends the
    // dialog with the OK result; for dialogs whose OK has nothing to apply.
    void UseStandardConfirmId();

    // Background: a bitmap whose size is in BackgroundWidth/Height (SetBackgroundResource
    // and SetBackgroundFile set both). Its average colour becomes the fill colour.
    void SetBackgroundBitmap(const QImage& bitmap);
    bool SetBackgroundResource(int number);
    bool SetBackgroundFile(const QString& name);
    int backgroundWidth_ = 100;
    int backgroundHeight_ = 100;
    // Fills the client area with the fill colour and copies the background copy.
    void DrawBackground(QPainter& dc, const Rect& client);
    // Stretches the design-size area of a frame bitmap file to design × UI scale.
    // The file is decoded at its first paint and kept while the window lives.
    // A window grown `grownBy` pixels taller keeps the frame's rows above
    // `keepTop` (design pixels) and stretches the rest over the taller body.
    void DrawFrameFile(QPainter& dc, const QString& name, int designWidth, int designHeight, int grownBy = 0,
                       int keepTop = 0);

    int controlsCreated_ = 0;

    // Qt events.
    void setVisible(bool visible) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Hands the move of the window to the window system while the button is
    // held; false where it cannot, and the window follows the mouse itself.
    bool StartSystemMove() override;

private:
    friend class RoutingScope;
    void FlushDeletedControls();

    // What the router asks of the window.
    int ControlCount() const override;
    RoutedControl ControlAt(int index) const override;
    void RouteMove(unsigned keys, QPoint p) override { OnMouseMove(keys, p); }
    void InvalidateControl(const Rect& r) override { InvalidateRect(r); }
    void InvalidateWindow() override { InvalidateAll(); }
    bool IsPageSwitch(int id) const override { return IsPageSwitchId(id); }
    void RequestHoverNotice() override { hoverTimer_.start(); }
    void CancelHoverNotice() override { hoverTimer_.stop(); }
    QPoint CursorPoint() const override;
    bool IsMaximised() const override { return isMaximized(); }
    QPoint ToGlobal(QPoint p) const override { return mapToGlobal(p); }
    QPoint WindowPosition() const override { return pos(); }
    int DragDistance() const override;
    void MoveWindowTo(QPoint topLeft) override { move(topLeft); }

    int windowWidth_ = 2254;
    int windowHeight_ = 1480;
    Colour fill_ = kWindowFill;
    QFont dialogFont_;
    QImage backgroundCopy_;
    struct Frame {
        QString name; // none when empty
        int designWidth = 0;
        int designHeight = 0;
        int grownBy = 0;
        int keepTop = 0;
    };
    Frame frame_;
    int backgroundMargin_ = 0;

    bool initialised_ = false;

    std::array<std::vector<std::unique_ptr<CControlBase>>, kGroupCount> groups_;
    PointerRouter router_{*this};
    std::array<QPointer<QWidget>, kPopupSlotCount> popups_;

    RadioGroups ownRadios_;
    RadioGroups* radios_ = &ownRadios_;
    LevelGroup levels_;
    PageTabs pages_;
    IdRanges pageSwitchIds_;

    // The back buffer, remade when the window's size, pixel ratio or UI scale
    // changes; paintRegion_ is the part being painted (empty outside a paint).
    QImage back_;
    bool keepBack_ = true;
    double backScale_ = 0;
    QRegion paintRegion_;
    std::map<QString, QImage> frames_;

    MessageTable messages_;
    WindowTimers timers_;
    QTimer hoverTimer_;

    // Controls deleted while an event is being routed, destroyed when it ends.
    int routingDepth_ = 0;
    std::vector<std::unique_ptr<CControlBase>> deleted_;
};

} // namespace tarvik
