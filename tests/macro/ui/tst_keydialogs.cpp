// The shortcut and rapid-fire dialogs, driven by real mouse clicks and by
// synthetic key events through the key capture path, with a parent window that
// records the results it receives.
#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <optional>

#include "MacroUiTestSupport.h"
#include "device/ui/NoticeDialogs.h"
#include "macro/ButtonFunctions.h"
#include "macro/KeyCodes.h"
#include "macro/ui/FireKeyDlg.h"
#include "macro/ui/ShortcutDlg.h"
#include "skin/OpenDialogList.h"

using namespace macrouitest;

namespace {

// The main window's stand-in: keeps a copy of every result record (the record
// itself lives only while the message is handled).
struct Parent : TestDlg {
    std::vector<std::pair<int, ButtonChoice>> results;
    Parent() {
        onMessage = [this](TestDlg&, const Msg& m) {
            if (m.msg == CShortcutDlg::kResultMessage || m.msg == CFireKeyDlg::kResultMessage)
                results.emplace_back(m.msg, *reinterpret_cast<const ButtonChoice*>(m.l));
        };
    }
};

// Closes every notice that appears and keeps its message.
struct NoticeWatcher {
    QStringList seen;
    QTimer timer;
    NoticeWatcher() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* notice = dynamic_cast<CAttentionDlg*>(w);
                if (notice && notice->isVisible()) {
                    seen << notice->Message();
                    notice->accept();
                }
            }
        });
        timer.start(5);
    }
};

QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

// Shows the window and parks the mouse on its bottom-right corner, so the first
// move of a test is never a move to where the pointer already is (the window
// system drops those).
bool Show(QWidget& w) {
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) return false;
    QTest::mouseMove(w.windowHandle(), QPoint(w.width() - 1, w.height() - 1));
    return true;
}

void ClickId(CDlgBase& dlg, int id) {
    const QPoint p = skintest::Centre(dlg.FindControl(id)->GetRect());
    QTest::mouseMove(dlg.windowHandle(), p);
    QTest::mouseClick(dlg.windowHandle(), Qt::LeftButton, {}, p);
}

QString Bytes(const KeyAction& a) {
    return QStringLiteral("%1 %2 %3")
        .arg(a.Function, 2, 16, QLatin1Char('0'))
        .arg(a.Data1, 2, 16, QLatin1Char('0'))
        .arg(a.Data2, 2, 16, QLatin1Char('0'))
        .toUpper();
}

// A key given by its X keycode (and Qt key, for the events' sake).
struct XKey {
    int qtKey;
    int scanCode;
};

} // namespace

class TestKeyDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SetUiScale(1.0);
        QVERIFY(LoadEnglish());
    }
    void init() { ClearOpenDialogs(); }

    void shortcutResult_data();
    void shortcutResult();
    void shortcutCancelAndCloseStoreNothing_data();
    void shortcutCancelAndCloseStoreNothing();
    void fireKeyRules_data();
    void fireKeyRules();
    void fireKeyDigitsNoticeAndSwallowedKeys();
    void closeRequestsEndBothDialogs();
};

void TestKeyDialogs::shortcutResult_data() {
    QTest::addColumn<QList<int>>("ticks"); // box ids
    QTest::addColumn<QList<int>>("keys");  // pairs qt key, X keycode; each pressed and released
    QTest::addColumn<QString>("name");     // empty: no result
    QTest::addColumn<QString>("action");
    const int ctrl = CShortcutDlg::kIdCtrl, shift = CShortcutDlg::kIdShift, win = CShortcutDlg::kIdWin;
    QTest::newRow("right Shift then A, Ctrl ticked")
        << QList<int>{ctrl} << QList<int>{Qt::Key_Shift, 62, Qt::Key_A, 38} << "Ctrl+A"
        << "70 01 04";
    QTest::newRow("F13 has no usage") << QList<int>{} << QList<int>{Qt::Key_F13, 191} << "F13"
                                      << "70 00 00";
    QTest::newRow("last key wins; Enter and Escape are keys too")
        << QList<int>{win, shift} << QList<int>{Qt::Key_Escape, 9, Qt::Key_Return, 36} << "Shift+Win+Enter"
        << "70 0A 28";
    QTest::newRow("modifiers only") << QList<int>{shift, ctrl} << QList<int>{Qt::Key_Control, 105}
                                    << "Ctrl+Shift"
                                    << "70 03 00";
    QTest::newRow("nothing captured") << QList<int>{} << QList<int>{} << ""
                                      << "";
}

void TestKeyDialogs::shortcutResult() {
    QFETCH(QList<int>, ticks);
    QFETCH(QList<int>, keys);
    QFETCH(QString, name);
    QFETCH(QString, action);
    Parent parent;
    QVERIFY(Show(parent));
    CShortcutDlg dlg(&parent);
    QVERIFY(Show(dlg));
    QVERIFY(dlg.Hook().IsReceiving());
    for (int id : ticks) ClickId(dlg, id);
    for (qsizetype i = 0; i + 1 < keys.size(); i += 2)
        TapKey(dlg, keys[i], static_cast<quint32>(keys[i + 1]));
    QCoreApplication::sendPostedEvents(); // the key messages
    // The key name field follows the last key that is not a modifier.
    if (!keys.isEmpty() && keys[keys.size() - 2] != Qt::Key_Control) {
        const std::uint8_t last = KeyCodeFromXKeycode(static_cast<unsigned>(keys.back()));
        QCOMPARE(dlg.FindControl(CShortcutDlg::kIdKeyName)->GetText(),
                 QString::fromStdU16String(KeyCodeName(last)));
    }
    QVERIFY(dlg.isVisible());
    ClickId(dlg, CDlgBase::kIdConfirm);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.Hook().IsStarted());
    if (name.isEmpty()) {
        QVERIFY(parent.results.empty());
        return;
    }
    QCOMPARE(parent.results.size(), std::size_t(1));
    QCOMPARE(parent.results[0].first, 1036);
    QCOMPARE(QString::fromStdU16String(parent.results[0].second.name), name);
    QCOMPARE(Bytes(parent.results[0].second.action), action);
}

void TestKeyDialogs::shortcutCancelAndCloseStoreNothing_data() {
    QTest::addColumn<int>("button");
    QTest::newRow("cancel") << int(CDlgBase::kIdCancel);
    QTest::newRow("close") << int(CDlgBase::kIdClose);
}

void TestKeyDialogs::shortcutCancelAndCloseStoreNothing() {
    QFETCH(int, button);
    Parent parent;
    QVERIFY(Show(parent));
    CShortcutDlg dlg(&parent);
    QVERIFY(Show(dlg));
    ClickId(dlg, CShortcutDlg::kIdCtrl);
    TapKey(dlg, Qt::Key_A, 38);
    QTRY_VERIFY(dlg.CapturedKey().has_value());
    ClickId(dlg, button);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(!dlg.Hook().IsStarted());
    QVERIFY(parent.results.empty());
}

void TestKeyDialogs::fireKeyRules_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("pressOk");      // else wait for the range check
    QTest::addColumn<QStringList>("shown"); // fields afterwards
    QTest::addColumn<QList<int>>("notices");
    QTest::addColumn<QString>("action"); // empty: no result, dialog open
    QTest::newRow("4 keeps the dialog open") << "4"
                                             << "0" << true << QStringList{"4", "0"} << QList<int>{174} << "";
    QTest::newRow("no digits read as 0") << "x9"
                                         << "3" << true << QStringList{"x9", "3"} << QList<int>{174} << "";
    QTest::newRow("5 and 0") << "5"
                             << "0" << true << QStringList{"5", "0"} << QList<int>{} << "30 05 00";
    QTest::newRow("leading digits") << "255ms"
                                    << "7x" << true << QStringList{"255ms", "7x"} << QList<int>{}
                                    << "30 FF 07";
    QTest::newRow("300 becomes 255") << "300"
                                     << "0" << false << QStringList{"255", "0"} << QList<int>{174} << "";
    QTest::newRow("second above 255") << "50"
                                      << "256" << false << QStringList{"50", "255"} << QList<int>{176} << "";
    QTest::newRow("both too large") << "99999999999"
                                    << "1000" << false << QStringList{"255", "255"} << QList<int>{174, 176}
                                    << "";
    // OK before the range check ran: corrected first, nothing stored yet.
    QTest::newRow("OK corrects before storing")
        << "300"
        << "2" << true << QStringList{"255", "2"} << QList<int>{174} << "";
}

void TestKeyDialogs::fireKeyRules() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, pressOk);
    QFETCH(QStringList, shown);
    QFETCH(QList<int>, notices);
    QFETCH(QString, action);
    Parent parent;
    QVERIFY(Show(parent));
    CFireKeyDlg dlg(&parent);
    QVERIFY(Show(dlg));
    QCOMPARE(dlg.FirstField()->text(), QStringLiteral("50"));
    QCOMPARE(dlg.SecondField()->text(), QStringLiteral("0"));
    NoticeWatcher watcher;
    // Where OK decides, the range check must not run first.
    if (pressOk) dlg.KillTimer(CFireKeyDlg::kTimerCheck);
    dlg.FirstField()->setText(first);
    dlg.SecondField()->setText(second);
    if (pressOk) ClickId(dlg, CDlgBase::kIdConfirm);
    QStringList expected;
    for (int n : notices) expected << L(n);
    QTRY_COMPARE(watcher.seen, expected);
    QCOMPARE(QStringList({dlg.FirstField()->text(), dlg.SecondField()->text()}), shown);
    if (action.isEmpty()) {
        QVERIFY(dlg.isVisible());
        QVERIFY(parent.results.empty());
        return;
    }
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(parent.results.size(), std::size_t(1));
    QCOMPARE(parent.results[0].first, 1063);
    QCOMPARE(QString::fromStdU16String(parent.results[0].second.name), L(26));
    QCOMPARE(Bytes(parent.results[0].second.action), action);
}

// A typed character other than a digit is entered and answered by a notice;
// Enter and Escape do nothing, in the fields and in the dialog.
void TestKeyDialogs::fireKeyDigitsNoticeAndSwallowedKeys() {
    Parent parent;
    QVERIFY(Show(parent));
    CFireKeyDlg dlg(&parent);
    QVERIFY(Show(dlg));
    NoticeWatcher watcher;
    QLineEdit* field = dlg.SecondField();
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("1"));
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QStringLiteral("7a"));
    QTRY_COMPARE(watcher.seen, QStringList{L(175)});
    QCOMPARE(field->text(), QStringLiteral("7a"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(field, key);
        QTest::keyClick(dlg.windowHandle(), key);
        QTest::keyClick(&dlg, key);
    }
    QVERIFY(dlg.isVisible());
    QVERIFY(parent.results.empty());
    ClickId(dlg, CDlgBase::kIdConfirm);
    QCOMPARE(Bytes(parent.results.at(0).second.action), QStringLiteral("30 32 07"));
}

// Both dialogs enter the open-dialog list; the main window's exit paths close
// them like a cancel, also while a notice is open.
void TestKeyDialogs::closeRequestsEndBothDialogs() {
    Parent parent;
    QVERIFY(Show(parent));
    auto shortcut = std::make_unique<CShortcutDlg>(&parent);
    auto fireKey = std::make_unique<CFireKeyDlg>(&parent);
    QVERIFY(Show(*shortcut));
    QVERIFY(Show(*fireKey));
    QCOMPARE(OpenDialogList()[0].data(), shortcut.get());
    QCOMPARE(OpenDialogList()[1].data(), fireKey.get());
    // OK with "1" opens a notice (its own modal loop); the exit path runs
    // while it is open.
    fireKey->FirstField()->setText(QStringLiteral("1"));
    bool closed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!closed && fireKey->OpenNotice()) {
            closed = true;
            CloseOpenDialogs();
        }
    });
    poll.start(5);
    QTimer::singleShot(0, [&] { ClickId(*fireKey, CDlgBase::kIdConfirm); });
    QTRY_VERIFY(closed && !fireKey->isVisible());
    QVERIFY(fireKey->OpenNotice() == nullptr);
    QVERIFY(!shortcut->isVisible() && !fireKey->isVisible());
    QCOMPARE(shortcut->result(), int(QDialog::Rejected));
    QCOMPARE(fireKey->result(), int(QDialog::Rejected));
    QVERIFY(!shortcut->Hook().IsStarted());
    shortcut.reset();
    fireKey.reset();
    QVERIFY(OpenDialogList()[0].isNull());
    QVERIFY(parent.results.empty());
}

QTEST_MAIN(TestKeyDialogs)
#include "tst_keydialogs.moc"
