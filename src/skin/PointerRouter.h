// PointerRouter: where a skinned window's mouse events go. One control pointer,
// `target`, and a named state say it all: in Hover the target is the control
// under the pointer; while the left button is down (Pressed, Dragging) it is
// the captured control, which takes every event, wherever the pointer goes,
// until the release. A press on an empty spot only arms the window move.
//
//   state         event                          next           what happens
//   ------------  -----------------------------  -------------  ------------------------------------
//   Idle, Hover   move over the target            Hover          the target gets the move
//   Idle, Hover   move elsewhere                  Hover / Idle   every shown interactive control gets
//                                                                the move; the last one under the
//                                                                pointer becomes the target
//   Idle, Hover   press                           Pressed        (a press off the target first moves
//                                                                there, as above) the previously
//                                                                pressed control is deactivated; the
//                                                                target takes the press
//   Idle, Hover   press on an empty spot          MoveArmed      nothing; the press point is kept
//   Hover         leave                           Idle           the target gets a move to (-1, -1)
//   Pressed       move outside the target         Dragging       the target gets the move
//   Dragging      move back inside the target     Pressed        the target gets the move
//   Pressed,      release                         Hover / Idle   the target gets the release; it stays
//   Dragging                                                     the target when the release is over it
//   Pressed,      leave                           (same)         nothing: the capture holds
//   Dragging
//   MoveArmed     move, button held, short of     MoveArmed      nothing
//                 the drag distance
//   MoveArmed     move past the drag distance     Idle           the window system moves the window
//                                                 MovingWindow   or, where it cannot, the window
//                                                                follows the pointer itself
//   MovingWindow  move, button held               MovingWindow   the window follows the pointer
//   MoveArmed,    release, or a move with the     Idle           a zero-length click moves nothing;
//   MovingWindow  button up (it went elsewhere)                  the move is routed as in Idle
//   any           the target is deleted           Idle, or the   a captured control that is gone
//                                                 same held      leaves the rest of the press to
//                                                 state          nothing
//
// A double click goes to the target (the second press of a double click is not
// captured); a right release goes to the target when the pointer is over a
// control of group 0. The control last pressed stays "active" after its release
// (its pop-up may be open) until another press or a pop-up closing ends it.
//
// Every change of state is logged at debug level under "tarvik.pointer"
// (QT_LOGGING_RULES="tarvik.pointer.debug=true" shows them).
#pragma once

#include <QPoint>

#include "skin/ControlBase.h"

namespace tarvik {

// A control of the window in routing order, with its group (0-6).
struct RoutedControl {
    CControlBase* control = nullptr;
    int group = -1;
};

// What the router needs of its window.
class PointerHost {
public:
    virtual ~PointerHost() = default;

    // The window's controls in routing order: groups 0 to 6, each in order. A
    // control deleted while an event is routed reads as null.
    virtual int ControlCount() const = 0;
    virtual RoutedControl ControlAt(int index) const = 0;

    // The window's own move handler; it ends in PointerRouter::RouteMove. A press
    // away from the target goes through it first, so the window sees the move.
    virtual void RouteMove(unsigned keys, QPoint p) = 0;

    virtual void InvalidateControl(const Rect& r) = 0;
    virtual void InvalidateWindow() = 0;
    // Ids whose click repaints the whole window.
    virtual bool IsPageSwitch(int id) const = 0;

    // The hover notice of a stay: asked for at the first move, cancelled at a leave.
    virtual void RequestHoverNotice() = 0;
    virtual void CancelHoverNotice() = 0;
    // Where the pointer is now, in client coordinates, and whether the window is
    // maximised (a leave then may keep the point over the target).
    virtual QPoint CursorPoint() const = 0;
    virtual bool IsMaximised() const = 0;

    // The window move.
    virtual QPoint ToGlobal(QPoint p) const = 0;
    virtual QPoint WindowPosition() const = 0;
    virtual int DragDistance() const = 0;
    // Hands the move to the window system; false where it cannot.
    virtual bool StartSystemMove() = 0;
    virtual void MoveWindowTo(QPoint topLeft) = 0;
};

class PointerRouter {
public:
    enum class State { Idle, Hover, Pressed, Dragging, MoveArmed, MovingWindow };
    static const char* Name(State s);

    explicit PointerRouter(PointerHost& host) : host_(host) {}
    PointerRouter(const PointerRouter&) = delete;
    PointerRouter& operator=(const PointerRouter&) = delete;

    // A mouse move (client and screen point, whether the left button is down):
    // the window move takes it, or it goes to host.RouteMove.
    void Move(unsigned keys, QPoint p, QPoint global, bool leftHeld);
    // The routing of a move among the controls.
    void RouteMove(unsigned keys, QPoint p);
    void Press(unsigned keys, QPoint p);
    void Release(unsigned keys, QPoint p);
    void RightRelease(unsigned keys, QPoint p);
    void DoubleClick(unsigned keys, QPoint p);
    void Leave();
    // The hover notice: the pointer rests at p.
    void Hover(QPoint p);

    // A control leaves the window: no pointer to it is kept.
    void Forget(const CControlBase* control);
    // A pop-up closed: the active control is deactivated unless it is the target.
    void DeactivateUnlessTarget();

    State CurrentState() const { return state_; }
    bool ButtonHeld() const { return state_ == State::Pressed || state_ == State::Dragging; }
    // The hot control (Hover) or the captured one (Pressed, Dragging).
    CControlBase* Target() const { return target_; }
    // The control pressed last; it stays active after the release.
    CControlBase* Active() const { return active_; }
    QPoint LastPoint() const { return lastPoint_; }
    // The rectangle of the control the press (or double click) was on.
    Rect PressedRect() const { return pressedRect_; }

private:
    void To(State next, const char* why);
    // Ends a window move that lost its button; true while a window move takes the event.
    bool FollowWindowMove(QPoint global, bool leftHeld);
    void Scan(unsigned keys, QPoint p);

    PointerHost& host_;
    State state_ = State::Idle;
    CControlBase* target_ = nullptr;
    CControlBase* active_ = nullptr;
    bool hoverAsked_ = false;
    QPoint lastPoint_{-1, -1};
    Rect pressedRect_ = kNoRect;
    QPoint movePress_;  // screen point of the press that armed the window move
    QPoint moveOffset_; // that point minus the window's position
};

} // namespace tarvik
