// SIGTERM and SIGINT as events of the UI thread, and the end of the desktop
// session. The signal handler only writes the signal number into a socket pair;
// a socket notifier reads it on the event loop and runs the shutdown callback,
// which saves and quits as the tray's exit item does. A second signal after the
// first ends the process at once (a shutdown that hangs can still be stopped).
// A signal that the starting process set to be ignored (SIGINT of a job started
// in the background) stays ignored.
#pragma once

#include <QObject>

#include <csignal>
#include <functional>
#include <initializer_list>
#include <vector>

class QGuiApplication;
class QSocketNotifier;

namespace tarvik::app {

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(int signal)>;

    // Catches the signals (default SIGTERM and SIGINT) for the object's life;
    // `onSignal` runs on the thread that made the object, once.
    explicit ShutdownSignals(Callback onSignal, std::initializer_list<int> signalNumbers = {},
                             QObject* parent = nullptr);
    ~ShutdownSignals() override;
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    // False when the socket pair or a handler could not be set up (only one
    // object can catch signals at a time).
    bool IsInstalled() const { return installed_; }

private:
    void OnReadable();
    void Restore();

    struct Caught {
        int signal;
        struct sigaction previous;
    };

    Callback onSignal_;
    std::vector<Caught> caught_;
    QSocketNotifier* notifier_ = nullptr;
    bool installed_ = false;
    bool fired_ = false;
};

// The session manager asks the program to keep its data before the session
// ends (X11 session management): `save` writes what is pending. It never quits
// the program; the session's end does.
void SaveOnSessionEnd(QGuiApplication& app, std::function<void()> save);

// The end of the session: the session manager's "die" reaches the program as
// the application's quit request, which Qt carries out only when every window
// accepts its close. The main window's close hides it to the tray instead, so
// the program would stay and the logout wait for it. From this call on such a
// request runs `end` (the program's own exit, which saves and ends the event
// loop) and is not passed on. The filter is owned by `app`.
void EndWithSession(QGuiApplication& app, std::function<void()> end);

} // namespace tarvik::app
