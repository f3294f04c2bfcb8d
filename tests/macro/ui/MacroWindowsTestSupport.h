// Shared pieces of the macro window tests: a library in a temporary folder,
// steps written as hex, key events with the time the window system gives
// them, clicks on controls and pop-up items, and a watcher that answers the
// dialogs a window opens on top of itself (the notices it keeps the text of).
#pragma once

#include <QApplication>
#include <QHash>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <typeinfo>

#include "MacroUiTestSupport.h"
#include "device/ui/NoticeDialogs.h"
#include "macro/MacroLibrary.h"
#include "skin/WndPopup.h"

namespace macrouitest {

// The library and its file in a folder of its own.
struct LibraryFolder {
    QTemporaryDir dir;
    MacroLibrary library;
    std::filesystem::path File() const {
        return std::filesystem::path(dir.filePath(QStringLiteral("MacroLibraryFile.mlf")).toStdString());
    }
    MacroLocation Add(const MacroLocation& parent, std::u16string_view name, bool folder) {
        MacroLocation at;
        library.AddChild(parent, name, folder, &at);
        return at;
    }
};

// "41000000 03000078 41800000": the valid steps, b0 first.
inline QString StepsHex(const MacroKey& m) {
    QStringList parts;
    for (std::size_t i = 0; i < m.ValidCount(); ++i) {
        const MacroAction a = m.GetAction(i);
        parts << QString::asprintf("%02X%02X%02X%02X", a.b[0], a.b[1], a.b[2], a.b[3]);
    }
    return parts.join(' ');
}

// A key event with its event time, entering the program at `window`.
inline void SendTimedKey(QWidget& window, bool release, int key, quint32 scanCode, ulong time,
                         bool autoRepeat = false, const QString& text = QString()) {
    QKeyEvent e(release ? QEvent::KeyRelease : QEvent::KeyPress, key, Qt::NoModifier, scanCode, 0, 0, text,
                autoRepeat);
    e.setTimestamp(time);
    QCoreApplication::sendEvent(window.windowHandle(), &e);
}

// Shows the window and parks the mouse on its bottom-right corner, so the first
// move of a test is never a move to where the pointer already is.
inline bool Show(QWidget& w) {
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) return false;
    QTest::mouseMove(w.windowHandle(), QPoint(w.width() - 1, w.height() - 1));
    return true;
}

inline void ClickAt(QWidget& w, QPoint p, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseMove(w.windowHandle(), p);
    QTest::mouseClick(w.windowHandle(), button, {}, p);
}

inline void ClickId(CDlgBase& dlg, int id) {
    ClickAt(dlg, skintest::Centre(dlg.FindControl(id)->GetRect()));
}

// The centre of tree or step row `row` (counted from the first row shown).
inline QPoint RowCentre(const CControlBase& list, int row) {
    const Rect r = list.GetRect();
    const int h = static_cast<int>(20 * UiScale());
    return QPoint((r.left + r.right) / 2, r.top + row * h + h / 2);
}

// Clicks the item of `value` in the pop-up that `owner` keeps in `slot`.
inline bool ChoosePopupItem(CDlgBase& owner, int slot, int value) {
    auto* popup = dynamic_cast<CListPopup*>(owner.Popup(slot));
    if (!popup || !QTest::qWaitForWindowExposed(popup)) return false;
    const int index = popup->IndexOfValue(value);
    if (index < 0) return false;
    const QPoint at = skintest::Centre(popup->Items()[static_cast<std::size_t>(index)].rect);
    QTest::mouseMove(popup->windowHandle(), at);
    QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, {}, at);
    return true;
}

// Answers the dialogs that open: every notice is accepted and its message
// kept; every other dialog goes to the first queued answer that takes it (an
// answer returns false for a dialog it does not handle).
class DialogAnswers {
public:
    using Answer = std::function<bool(QDialog&)>;
    DialogAnswers() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(5);
    }
    void Queue(Answer a) { answers_.push_back(std::move(a)); }
    bool Idle() const { return answers_.empty(); }
    QStringList notices;
    QStringList unexpected; // dialogs no answer took, cancelled
    int answered = 0;

    // An answer for a dialog of type D.
    template <class D> static Answer For(std::function<void(D&)> act) {
        return [act](QDialog& d) {
            auto* typed = dynamic_cast<D*>(&d);
            if (!typed) return false;
            act(*typed);
            return true;
        };
    }

private:
    void Poll() {
        if (busy_) return;
        busy_ = true;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dlg = qobject_cast<QDialog*>(w);
            if (!dlg || !dlg->isVisible()) continue;
            if (auto* notice = dynamic_cast<CAttentionDlg*>(dlg)) {
                notices << notice->Message();
                notice->accept();
                continue;
            }
            if (!answers_.empty() && answers_.front()(*dlg)) {
                answers_.pop_front();
                ++answered;
                continue;
            }
            // A dialog nobody answers would keep the test waiting: it is
            // cancelled after a while and named.
            if (!waiting_.contains(dlg)) {
                waiting_.insert(dlg, 0);
            } else if (++waiting_[dlg] > 400) {
                unexpected << QString::fromLatin1(typeid(*dlg).name());
                waiting_.remove(dlg);
                dlg->reject();
            }
        }
        busy_ = false;
    }
    QHash<QDialog*, int> waiting_;
    QTimer timer_;
    std::deque<Answer> answers_;
    bool busy_ = false;
};

// Types into a step or name dialog's field and clicks OK.
template <class D> DialogAnswers::Answer TypeAndConfirm(QString text) {
    return DialogAnswers::For<D>([text](D& d) {
        d.Field()->setText(text);
        ClickId(d, CDlgBase::kIdConfirm);
    });
}

} // namespace macrouitest
