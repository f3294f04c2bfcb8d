// Raw key events of the whole X display (XInput 2.1 or later), read on a
// connection of their own so that they see keys typed into every client. The
// connection is read on the UI thread through a socket notifier.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QSocketNotifier;
struct _XDisplay;

namespace tarvik {

class XInputKeySource : public QObject {
public:
    // xKeycode: the X keycode (evdev + 8); time: the X server time in ms.
    using KeyHandler = std::function<void(unsigned xKeycode, bool release, std::uint32_t time)>;

    XInputKeySource(KeyHandler onKey, std::function<void()> onLost);
    ~XInputKeySource() override;

    // Connects to $DISPLAY and asks for raw key presses and releases of every
    // master keyboard. Empty on success, else why not.
    QString Open();
    bool IsOpen() const { return display_ != nullptr; }
    void Close();

    // Whether Open would work now, without keeping a connection.
    static QString Probe();

    // Reads and hands out everything the server has sent so far. A broken
    // connection is closed and reported through onLost.
    void Drain();
    // Called by Xlib's I/O error handling when the connection broke.
    void MarkLost();

private:
    struct _XDisplay* display_ = nullptr;
    int opcode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    KeyHandler onKey_;
    std::function<void()> onLost_;
    bool lost_ = false;
};

} // namespace tarvik
