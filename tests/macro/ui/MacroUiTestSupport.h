// Shared pieces of the key capture tests: a window that records the messages
// it receives, synthetic key events sent into a window the way the window
// system hands them over, and the English language for the dialogs' texts.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTest>
#include <QWindow>

#include "SkinTestSupport.h"
#include "macro/KeyMap.h"
#include "macro/ui/KeyboardHook.h"
#include "skin/Skin.h"
#include "text/Language.h"

namespace macrouitest {

using namespace tarvik;
using skintest::Msg;
using skintest::TestDlg;

// A key message as received: code, release, time.
struct Key {
    int code;
    bool release;
    friend bool operator==(const Key&, const Key&) = default;
};

inline std::vector<Key> KeysOf(const std::vector<Msg>& messages) {
    std::vector<Key> keys;
    for (const Msg& m : messages)
        if (m.msg == CKeyboardHook::kKeyMessage)
            keys.push_back({static_cast<int>(m.w), (static_cast<std::uint32_t>(m.l) & kKeyReleaseBit) != 0});
    return keys;
}

inline QString Describe(const std::vector<Key>& keys) {
    QStringList parts;
    for (const Key& k : keys)
        parts << QStringLiteral("%1%2").arg(k.code, 2, 16, QLatin1Char('0')).arg(k.release ? "^" : "v");
    return parts.join(' ');
}

// A key event entering the program at `window`, as the window system delivers
// it: nativeScanCode is the X11/xkb keycode (0 where the platform has none).
inline void SendKey(QWidget& window, bool release, int key, quint32 scanCode = 0,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false,
                    const QString& text = QString()) {
    QKeyEvent e(release ? QEvent::KeyRelease : QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text,
                autoRepeat);
    QCoreApplication::sendEvent(window.windowHandle(), &e);
}
inline void TapKey(QWidget& window, int key, quint32 scanCode = 0, Qt::KeyboardModifiers modifiers = {}) {
    SendKey(window, false, key, scanCode, modifiers);
    SendKey(window, true, key, scanCode, modifiers);
}

inline bool LoadEnglish() {
    QFile f(
        QDir(QString::fromStdString(ProgramFolder().string())).filePath(QStringLiteral("lang/Lan_EN.txt")));
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = f.readAll();
    return Language().LoadText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                               UiScale());
}

} // namespace macrouitest
