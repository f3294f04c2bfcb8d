#include "app/ShutdownSignals.h"

#include <QEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <span>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvik::app {

namespace {

// The write end is read by the handler, so it is a plain global; -1 = not installed.
volatile sig_atomic_t g_writeFd = -1;
int g_readFd = -1;

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (g_writeFd >= 0) {
        // A full pipe already holds a wake-up; dropping this byte loses nothing.
        [[maybe_unused]] const ssize_t n = ::write(g_writeFd, &byte, 1);
    }
    errno = saved;
}

} // namespace

ShutdownSignals::ShutdownSignals(Callback onSignal, std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    static constexpr int kDefaultSignals[] = {SIGTERM, SIGINT};
    const std::span<const int> wanted =
        signalNumbers.size() != 0 ? std::span<const int>(signalNumbers.begin(), signalNumbers.size())
                                  : std::span<const int>(kDefaultSignals);
    if (g_writeFd >= 0) return;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) return;
    g_readFd = fds[0];
    g_writeFd = fds[1];
    notifier_ = new QSocketNotifier(g_readFd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ShutdownSignals::OnReadable);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    installed_ = true;
    for (int s : wanted) {
        Caught c{s, {}};
        if (::sigaction(s, nullptr, &c.previous) != 0) {
            installed_ = false;
            continue;
        }
        if (c.previous.sa_handler == SIG_IGN) continue;
        if (::sigaction(s, &sa, nullptr) != 0) {
            installed_ = false;
            continue;
        }
        caught_.push_back(c);
    }
}

ShutdownSignals::~ShutdownSignals() {
    if (!notifier_) return;
    Restore();
    delete notifier_;
    const int w = g_writeFd;
    g_writeFd = -1;
    ::close(w);
    ::close(g_readFd);
    g_readFd = -1;
}

void ShutdownSignals::Restore() {
    for (const Caught& c : caught_) ::sigaction(c.signal, &c.previous, nullptr);
    caught_.clear();
}

void ShutdownSignals::OnReadable() {
    unsigned char byte = 0;
    int signal = 0;
    while (::read(g_readFd, &byte, 1) == 1)
        if (signal == 0) signal = byte;
    if (signal == 0 || fired_) return;
    fired_ = true;
    // From now on the signals have their earlier (normally the default) effect again.
    Restore();
    if (onSignal_) onSignal_(signal);
}

void SaveOnSessionEnd(QGuiApplication& app, std::function<void()> save) {
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &app,
        [save = std::move(save)](QSessionManager&) {
            if (save) save();
        },
        Qt::DirectConnection);
#else
    (void)app;
    (void)save;
#endif
}

namespace {

class QuitRequestFilter : public QObject {
public:
    QuitRequestFilter(QObject* parent, std::function<void()> end) : QObject(parent), end_(std::move(end)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Quit || watched != parent()) return false;
        if (!ended_ && end_) {
            ended_ = true;
            end_();
        }
        return true;
    }

private:
    std::function<void()> end_;
    bool ended_ = false;
};

} // namespace

void EndWithSession(QGuiApplication& app, std::function<void()> end) {
    app.installEventFilter(new QuitRequestFilter(&app, std::move(end)));
}

} // namespace tarvik::app

// moc output for the header, compiled with this file.
#include "moc_ShutdownSignals.cpp"
