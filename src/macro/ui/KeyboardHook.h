// CKeyboardHook: key capture for the key dialogs and the macro recorder.
//
// A capturing window holds a CKeyboardHook for its whole life, calls
// StartHook(window) when it starts capturing and StopHook() when it ends. While
// started, the window receives message 1025 for every key press and release:
// wParam = the key code (KeyCodes.h), lParam = KeyMessageParam(release, time in
// ms). Messages are posted, so a handler may stop the hook, open a dialog or
// close its window.
//
// The hook state is process-wide. Keys go to the hook started last; when it
// stops, the one started before it receives them again. Key events reaching the
// receiving window itself are swallowed (the program's shortcuts do not see
// them either), so every key (Enter, Escape, Tab) can be captured; keys typed into the program's other
// windows are captured and still reach them.
//
// Keys typed into the program's own windows come through an application-wide
// Qt event filter. With Scope::Global, keys typed into other programs are
// captured too, through XInput2 raw key events on X11; each physical key event
// is then delivered once (the raw events cover the program's own windows as
// well). Where that is impossible (a Wayland session, no X display, an X server
// without XInput 2.1) the hook falls back to the program's own windows, and
// GlobalCaptureProblem() says why.
#pragma once

#include <QString>

namespace tarvik {

class CDlgBase;

class CKeyboardHook {
public:
    static constexpr int kKeyMessage = 1025;
    enum class Scope { OwnWindows, Global };

    CKeyboardHook() = default;
    virtual ~CKeyboardHook();
    CKeyboardHook(const CKeyboardHook&) = delete;
    CKeyboardHook& operator=(const CKeyboardHook&) = delete;

    // Starts (or, when already started, restarts with the new window and scope)
    // sending key messages to `window`; this hook becomes the receiving one.
    // Returns 0 without a window or application object, else 1.
    int StartHook(CDlgBase* window, Scope scope = Scope::OwnWindows);
    // Ends this hook's messages. Returns 0 when it was not started, else 1.
    int StopHook();

    bool IsStarted() const;
    // This hook receives the keys now (it was started last).
    bool IsReceiving() const;
    // This hook was started with Scope::Global and raw key events serve it.
    bool CapturesGlobally() const;

    // Whether keys typed into other programs can be captured here, and if not,
    // one line saying why (empty when they can).
    static bool GlobalCaptureAvailable() { return GlobalCaptureProblem().isEmpty(); }
    static QString GlobalCaptureProblem();
};

} // namespace tarvik
