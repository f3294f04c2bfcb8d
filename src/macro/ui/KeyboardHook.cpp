#include "macro/ui/KeyboardHook.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "macro/KeyMap.h"
#include "macro/ui/DialogParts.h"
#include "macro/ui/QtKeyMap.h"
#include "macro/ui/XInputKeys.h"
#include "skin/DlgBase.h"

namespace tarvik {

namespace {

bool IsWaylandPlatform() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QString WaylandProblem() {
    return OwnText(ProgramText::WaylandKeyCapture);
}

// The process-wide hook state: the holders in the order they started, the
// event filter and, while a holder asks for it, the raw X connection.
class KeyCaptureHub : public QObject {
public:
    static KeyCaptureHub& Instance() {
        static KeyCaptureHub hub;
        return hub;
    }

    void Start(CKeyboardHook* hook, CDlgBase* window, bool global) {
        DrainRaw();
        Remove(hook);
        holds_.push_back({hook, window, global});
        if (!filterInstalled_) {
            QCoreApplication::instance()->installEventFilter(this);
            filterInstalled_ = true;
        }
        if (global) OpenRaw();
    }

    void Stop(CKeyboardHook* hook) {
        DrainRaw();
        Remove(hook);
        if (holds_.empty() && filterInstalled_) {
            if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
            filterInstalled_ = false;
            clock_.Reset();
        }
        if (std::none_of(holds_.begin(), holds_.end(), [](const Hold& h) { return h.global; })) CloseRaw();
    }

    bool IsStarted(const CKeyboardHook* hook) const { return Find(hook) != nullptr; }
    bool IsReceiving(const CKeyboardHook* hook) const {
        const Hold* top = Receiver();
        return top && top->hook == hook;
    }
    bool IsGlobal(const CKeyboardHook* hook) const {
        const Hold* h = Find(hook);
        return h && h->global && RawActive();
    }

    QString GlobalProblem() const {
        if (IsWaylandPlatform()) return WaylandProblem();
        if (RawActive()) return QString();
        return XInputKeySource::Probe();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        // Qt offers a key to the program's shortcuts before it delivers it; in
        // the receiving window the key is taken instead, so it gets captured.
        if (type == QEvent::ShortcutOverride) {
            const Hold* top = Receiver();
            if (!top || !watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != top->window)
                return false;
            event->accept();
            return true;
        }
        if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWindowType())
            return false;
        // Key events enter the program at a window; taking them there sees each
        // once, before it is handed on to the focus widget and its parents.
        const Hold* top = Receiver();
        if (!top) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const bool release = type == QEvent::KeyRelease;
        // Raw events already deliver every key while they serve the receiver.
        const bool rawServes = top->global && RawActive();
        if (!rawServes && !(release && key->isAutoRepeat())) {
            if (const std::uint8_t code = KeyCodeOfEvent(*key)) {
                const auto t = static_cast<std::uint32_t>(key->timestamp());
                Deliver(*top, code, release, t != 0 ? t : FallbackTime());
            }
        }
        if (top->window->windowHandle() == watched) {
            event->accept();
            return true;
        }
        return false;
    }

private:
    struct Hold {
        CKeyboardHook* hook;
        QPointer<CDlgBase> window;
        bool global;
    };

    const Hold* Find(const CKeyboardHook* hook) const {
        for (const Hold& h : holds_)
            if (h.hook == hook) return &h;
        return nullptr;
    }
    void Remove(const CKeyboardHook* hook) {
        std::erase_if(holds_, [hook](const Hold& h) { return h.hook == hook; });
    }
    // The latest holder whose window still exists.
    const Hold* Receiver() const {
        for (auto it = holds_.rbegin(); it != holds_.rend(); ++it)
            if (!it->window.isNull()) return &*it;
        return nullptr;
    }
    bool RawActive() const { return raw_ && raw_->IsOpen(); }
    // Raw events that arrived before the receiver changes belong to the one
    // receiving until then.
    void DrainRaw() {
        if (RawActive()) raw_->Drain();
    }

    void Deliver(const Hold& hold, std::uint8_t code, bool release, std::uint32_t eventMs) {
        const std::uint32_t lParam = KeyMessageParam(release, clock_.Next(eventMs));
        hold.window->PostMessage(CKeyboardHook::kKeyMessage, code, static_cast<LParam>(lParam));
    }

    void OnRawKey(unsigned xKeycode, bool release, std::uint32_t time) {
        const Hold* top = Receiver();
        if (!top || !top->global) return; // a holder of the own windows only: the filter serves it
        if (const std::uint8_t code = KeyCodeFromXKeycode(xKeycode)) Deliver(*top, code, release, time);
    }

    void OpenRaw() {
        if (RawActive() || IsWaylandPlatform()) return;
        if (!raw_)
            raw_ = std::make_unique<XInputKeySource>(
                [this](unsigned k, bool r, std::uint32_t t) { OnRawKey(k, r, t); }, [this] { OnRawLost(); });
        if (!raw_->Open().isEmpty()) raw_.reset();
    }
    void CloseRaw() {
        if (raw_) raw_->Close();
    }
    // The X connection broke: the event filter takes over. The source is inside
    // its own notification, so it goes later.
    void OnRawLost() {
        if (raw_) raw_.release()->deleteLater();
    }

    static std::uint32_t FallbackTime() {
        using namespace std::chrono;
        return static_cast<std::uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

    std::vector<Hold> holds_;
    bool filterInstalled_ = false;
    std::unique_ptr<XInputKeySource> raw_;
    KeyEventClock clock_;
};

} // namespace

CKeyboardHook::~CKeyboardHook() {
    StopHook();
}

int CKeyboardHook::StartHook(CDlgBase* window, Scope scope) {
    if (!window || !QCoreApplication::instance()) return 0;
    KeyCaptureHub::Instance().Start(this, window, scope == Scope::Global);
    return 1;
}

int CKeyboardHook::StopHook() {
    KeyCaptureHub& hub = KeyCaptureHub::Instance();
    if (!hub.IsStarted(this)) return 0;
    hub.Stop(this);
    return 1;
}

bool CKeyboardHook::IsStarted() const {
    return KeyCaptureHub::Instance().IsStarted(this);
}

bool CKeyboardHook::IsReceiving() const {
    return KeyCaptureHub::Instance().IsReceiving(this);
}

bool CKeyboardHook::CapturesGlobally() const {
    return KeyCaptureHub::Instance().IsGlobal(this);
}

QString CKeyboardHook::GlobalCaptureProblem() {
    return KeyCaptureHub::Instance().GlobalProblem();
}

} // namespace tarvik
