#include "macro/ui/XInputKeys.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "macro/ui/DialogParts.h"

#ifdef TARVIK_HAVE_XINPUT
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
// Xlib's macros collide with Qt's names.
#undef KeyPress
#undef KeyRelease
#undef None
#undef Bool
#undef Status
#endif

namespace tarvik {

#ifdef TARVIK_HAVE_XINPUT

namespace {

// Xlib ends the process when a server connection breaks: its I/O error
// handler (the default, or Qt's on xcb) exits. For the connections opened here
// the chained handler returns instead, and the display's exit handler marks the
// source lost; every other connection keeps the handler it had.
std::vector<Display*>& OwnDisplays() {
    static std::vector<Display*> displays;
    return displays;
}
XIOErrorHandler previousIoErrorHandler = nullptr;

int ChainedIoErrorHandler(Display* display) {
    const auto& own = OwnDisplays();
    if (std::find(own.begin(), own.end(), display) != own.end()) return 0;
    return previousIoErrorHandler ? previousIoErrorHandler(display) : 0;
}

void AdoptDisplay(Display* display) {
    static const bool installed = [] {
        previousIoErrorHandler = XSetIOErrorHandler(&ChainedIoErrorHandler);
        return true;
    }();
    (void)installed;
    OwnDisplays().push_back(display);
}

void CloseDisplay(Display* display) {
    XCloseDisplay(display);
    std::erase(OwnDisplays(), display);
}

void IgnoreIoError(Display*, void*) {}

// The display cannot be closed here (Xlib is still inside a call on it): Drain
// closes it afterwards.
void KeepRunningOnIoError(Display*, void* source) {
    static_cast<XInputKeySource*>(source)->MarkLost();
}

// Opens $DISPLAY and checks for XInput 2.1; on failure the display is closed
// and the reason returned.
QString OpenChecked(Display*& display, int& opcode) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return OwnText(ProgramText::NoXDisplay);
    display = XOpenDisplay(nullptr);
    if (!display) return OwnText(ProgramText::XDisplayNotOpened).arg(QString::fromLocal8Bit(name));
    AdoptDisplay(display);
    XSetIOErrorExitHandler(display, &IgnoreIoError, nullptr);
    int event = 0, error = 0;
    int major = 2, minor = 1; // raw events reach every client, also during grabs
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success || major < 2 || (major == 2 && minor < 1)) {
        CloseDisplay(display);
        display = nullptr;
        return OwnText(ProgramText::NoXInput);
    }
    return QString();
}

} // namespace

XInputKeySource::XInputKeySource(KeyHandler onKey, std::function<void()> onLost)
    : onKey_(std::move(onKey)), onLost_(std::move(onLost)) {}

XInputKeySource::~XInputKeySource() {
    Close();
}

QString XInputKeySource::Probe() {
    Display* display = nullptr;
    int opcode = 0;
    const QString problem = OpenChecked(display, opcode);
    if (display) CloseDisplay(display);
    return problem;
}

QString XInputKeySource::Open() {
    if (display_) return QString();
    Display* display = nullptr;
    const QString problem = OpenChecked(display, opcode_);
    if (!problem.isEmpty()) return problem;
    display_ = display;
    lost_ = false;
    XSetIOErrorExitHandler(display, &KeepRunningOnIoError, this);

    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask, XI_RawKeyPress);
    XISetMask(mask, XI_RawKeyRelease);
    XIEventMask events{XIAllMasterDevices, static_cast<int>(sizeof mask), mask};
    XISelectEvents(display, DefaultRootWindow(display), &events, 1);
    XSync(display, False);

    notifier_ = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
    Drain();
    return QString();
}

void XInputKeySource::Close() {
    if (!display_) return;
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    Display* display = display_;
    display_ = nullptr;
    lost_ = false;
    CloseDisplay(display);
}

void XInputKeySource::Drain() {
    while (display_ && !lost_ && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != opcode_) continue;
        if (!XGetEventData(display_, cookie)) continue;
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        const bool release = raw->evtype == XI_RawKeyRelease;
        const bool key = release || raw->evtype == XI_RawKeyPress;
        const unsigned keycode = static_cast<unsigned>(raw->detail);
        const auto time = static_cast<std::uint32_t>(raw->time);
        XFreeEventData(display_, cookie);
        if (key && onKey_) onKey_(keycode, release, time);
    }
    // The connection broke inside XPending.
    if (lost_) {
        Close();
        if (onLost_) onLost_();
    }
}

void XInputKeySource::MarkLost() {
    lost_ = true;
    if (notifier_) notifier_->setEnabled(false);
}

#else // without XInput2 at build time

XInputKeySource::XInputKeySource(KeyHandler onKey, std::function<void()> onLost)
    : onKey_(std::move(onKey)), onLost_(std::move(onLost)) {}
XInputKeySource::~XInputKeySource() = default;
QString XInputKeySource::Probe() {
    return OwnText(ProgramText::NoX11Support);
}
QString XInputKeySource::Open() {
    return Probe();
}
void XInputKeySource::Close() {}
void XInputKeySource::Drain() {}
void XInputKeySource::MarkLost() {}

#endif

} // namespace tarvik
