#include "skin/PointerRouter.h"

#include <QLoggingCategory>

namespace tarvik {

namespace {
Q_LOGGING_CATEGORY(lcPointer, "tarvik.pointer", QtWarningMsg)

int IdOf(const CControlBase* c) {
    return c ? c->Id() : 0;
}
} // namespace

const char* PointerRouter::Name(State s) {
    switch (s) {
    case State::Idle:
        return "idle";
    case State::Hover:
        return "hover";
    case State::Pressed:
        return "pressed";
    case State::Dragging:
        return "dragging";
    case State::MoveArmed:
        return "move armed";
    case State::MovingWindow:
        return "moving the window";
    }
    return "?";
}

void PointerRouter::To(State next, const char* why) {
    if (next == state_) return;
    qCDebug(lcPointer) << Name(state_) << "->" << Name(next) << why << "target" << IdOf(target_);
    state_ = next;
}

bool PointerRouter::FollowWindowMove(QPoint global, bool leftHeld) {
    if (state_ != State::MoveArmed && state_ != State::MovingWindow) return false;
    if (!leftHeld) {
        // The release went elsewhere (a grab, another window): the move is over.
        To(State::Idle, "window move lost its button");
        return false;
    }
    if (state_ == State::MoveArmed) {
        if ((global - movePress_).manhattanLength() < host_.DragDistance()) return true;
        // Prefer the window system's own move; it owns the pointer until the
        // release, which this window may never see.
        if (host_.StartSystemMove()) {
            To(State::Idle, "window system moves the window");
            return true;
        }
        To(State::MovingWindow, "past the drag distance");
    }
    host_.MoveWindowTo(global - moveOffset_);
    return true;
}

void PointerRouter::Move(unsigned keys, QPoint p, QPoint global, bool leftHeld) {
    if (FollowWindowMove(global, leftHeld)) return;
    host_.RouteMove(keys, p);
}

void PointerRouter::Scan(unsigned keys, QPoint p) {
    lastPoint_ = p;
    CControlBase* old = target_;
    const Rect oldRect = old ? old->GetRect() : kNoRect;
    bool found = false;
    // Every shown interactive control sees the move (each keeps its own look
    // right); the last one under the pointer becomes the target. A control
    // deleted by a notification during the scan is skipped (and forgotten).
    for (int i = 0; i < host_.ControlCount(); ++i) {
        CControlBase* c = host_.ControlAt(i).control;
        if (!c || !c->IsShown() || !c->IsInteractive()) continue;
        c->OnMouseMove(keys, p.x(), p.y());
        if (c->GetRect().Contains(p) && host_.ControlAt(i).control == c) {
            target_ = c;
            found = true;
        }
    }
    if (old) host_.InvalidateControl(oldRect);
    if (found && target_) {
        host_.InvalidateControl(target_->GetRect());
        To(State::Hover, "pointer over a control");
    } else {
        target_ = nullptr;
        To(State::Idle, "pointer over no control");
    }
}

void PointerRouter::RouteMove(unsigned keys, QPoint p) {
    if (!hoverAsked_) {
        // Ask for the hover notice of this stay; the leave cancels it.
        hoverAsked_ = true;
        host_.RequestHoverNotice();
    }
    if (ButtonHeld()) {
        // The captured control takes every move, also outside its rectangle, so
        // a drag goes on wherever the pointer goes. Gone: nothing takes it.
        if (!target_) return;
        const Rect r = target_->GetRect();
        if (r.Contains(p)) {
            lastPoint_ = p;
            To(State::Pressed, "pointer back over the captured control");
        } else {
            To(State::Dragging, "pointer left the captured control");
        }
        if (target_->OnMouseMove(keys, p.x(), p.y())) host_.InvalidateControl(r);
        return;
    }
    if (target_ && target_->GetRect().Contains(p)) {
        lastPoint_ = p;
        const Rect r = target_->GetRect();
        if (target_->OnMouseMove(keys, p.x(), p.y())) host_.InvalidateControl(r);
        return;
    }
    Scan(keys, p);
}

void PointerRouter::Press(unsigned keys, QPoint p) {
    // A new press ends a window move whose release never came.
    if (state_ == State::MoveArmed || state_ == State::MovingWindow) To(State::Idle, "new press");
    // A leave drops the target, also one that only a window opening over this
    // one caused (the progress dialog of a send); when it has gone the pointer
    // may still rest on the control, and a press there without a move in
    // between belongs to it, not to a window move.
    if (!ButtonHeld() && (!target_ || !target_->GetRect().Contains(p)))
        host_.RouteMove(keys & ~kMkLButton, p);
    if (active_ && active_ != target_) {
        CControlBase* ended = active_;
        active_ = nullptr;
        ended->SetActive(0);
    }
    if (target_ && target_->GetRect().Contains(p)) {
        active_ = target_;
        pressedRect_ = target_->GetRect();
        To(State::Pressed, "press captures the control");
        const Rect r = pressedRect_;
        if (target_->OnLButtonDown(keys, p.x(), p.y())) host_.InvalidateControl(r);
        return;
    }
    pressedRect_ = kNoRect;
    movePress_ = host_.ToGlobal(p);
    moveOffset_ = movePress_ - host_.WindowPosition();
    To(State::MoveArmed, "press on an empty spot");
}

void PointerRouter::Release(unsigned keys, QPoint p) {
    Rect taken = kNoRect;
    if (target_) {
        taken = target_->GetRect();
        const bool changed = target_->OnLButtonUp(keys, p.x(), p.y());
        // The notification may have changed the window; look at the target again.
        if (changed && target_) {
            if (host_.IsPageSwitch(target_->Id()))
                host_.InvalidateWindow();
            else
                host_.InvalidateControl(taken);
        }
    }
    if (pressedRect_.Contains(p) || taken.Contains(p)) {
        lastPoint_ = p;
    } else {
        lastPoint_ = QPoint(-1, -1);
        target_ = nullptr;
    }
    pressedRect_ = kNoRect;
    To(target_ ? State::Hover : State::Idle, "release");
}

void PointerRouter::RightRelease(unsigned keys, QPoint p) {
    if (!target_) return;
    bool overGroup0 = false;
    for (int i = 0; i < host_.ControlCount() && !overGroup0; ++i) {
        const RoutedControl rc = host_.ControlAt(i);
        overGroup0 = rc.group == 0 && rc.control && rc.control->GetRect().Contains(p);
    }
    if (!overGroup0) return;
    const Rect r = target_->GetRect();
    if (target_->OnRButtonUp(keys, p.x(), p.y())) host_.InvalidateControl(r);
}

void PointerRouter::DoubleClick(unsigned keys, QPoint p) {
    if (!target_) return;
    // The press rectangle becomes that of the first control under the pointer.
    const CControlBase* found = nullptr;
    for (int i = 0; i < host_.ControlCount() && !found; ++i) {
        const CControlBase* c = host_.ControlAt(i).control;
        if (c && c->GetRect().Contains(p)) found = c;
    }
    if (!found) return;
    const Rect foundRect = found->GetRect();
    const Rect r = target_->GetRect();
    if (target_->OnLButtonDblClk(keys, p.x(), p.y())) host_.InvalidateControl(r);
    pressedRect_ = foundRect;
}

void PointerRouter::Leave() {
    hoverAsked_ = false;
    host_.CancelHoverNotice();
    if (ButtonHeld() || !target_) return;
    const QPoint cursor = host_.CursorPoint();
    CControlBase* left = target_;
    const Rect r = left->GetRect();
    lastPoint_ = (host_.IsMaximised() && r.Contains(cursor)) ? cursor : QPoint(-1, -1);
    target_ = nullptr;
    To(State::Idle, "leave");
    left->OnMouseMove(0, lastPoint_.x(), lastPoint_.y());
    host_.InvalidateControl(r);
}

void PointerRouter::Hover(QPoint p) {
    // The hover notice changes no control's look, so nothing is repainted.
    if (target_ && target_->GetRect().Contains(p)) lastPoint_ = p;
}

void PointerRouter::Forget(const CControlBase* control) {
    if (!control) return;
    if (active_ == control) active_ = nullptr;
    if (target_ != control) return;
    target_ = nullptr;
    // A captured control that is gone leaves the rest of the press to nothing.
    if (!ButtonHeld()) To(State::Idle, "target deleted");
}

void PointerRouter::DeactivateUnlessTarget() {
    if (!active_ || active_ == target_) return;
    CControlBase* ended = active_;
    active_ = nullptr;
    ended->SetActive(0);
}

} // namespace tarvik
