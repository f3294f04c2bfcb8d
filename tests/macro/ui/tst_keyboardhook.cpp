// CKeyboardHook on the program's own windows: which window receives the keys,
// how key events become key codes, and what the receiving window swallows.
#include <QLineEdit>
#include <QShortcut>
#include <QTest>

#include "MacroUiTestSupport.h"
#include "macro/KeyCodes.h"
#include "macro/ui/QtKeyMap.h"

using namespace macrouitest;

namespace {

bool Show(QWidget& w) {
    w.show();
    return QTest::qWaitForWindowExposed(&w);
}

} // namespace

class TestKeyboardHook : public QObject {
    Q_OBJECT

private slots:
    void qtKeyTableGivesKnownCodes();
    void eventsBecomeKeyCodes_data();
    void eventsBecomeKeyCodes();
    void latestHolderReceivesUntilItStops();
    void receivingWindowSwallowsItsKeys();
    void autoRepeatReleasesAreDropped();
    void globalScopeWithoutXFallsBack();
};

// Every row of the fallback table names a key code that can be shown or sent.
void TestKeyboardHook::qtKeyTableGivesKnownCodes() {
    for (const QtKeyRow& row : QtKeyTable()) {
        QVERIFY2(KeyCodeName(row.code) != u"Undefined" || HidUsageOf(row.code) != 0,
                 qPrintable(QString::number(row.key, 16)));
        QVERIFY(row.code > 0x07 && !(row.code >= 0x10 && row.code <= 0x12));
    }
}

void TestKeyboardHook::eventsBecomeKeyCodes_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("scanCode");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("code"); // -1: no message
    // Native X keycodes decide, whatever Qt's key says.
    QTest::newRow("Shift_R") << int(Qt::Key_Shift) << 62 << 0 << 0xA1;
    QTest::newRow("Shift_L") << int(Qt::Key_Shift) << 50 << 0 << 0xA0;
    QTest::newRow("Control_R") << int(Qt::Key_Control) << 105 << 0 << 0xA3;
    QTest::newRow("Alt_R") << int(Qt::Key_AltGr) << 108 << 0 << 0xA5;
    QTest::newRow("Super_R") << int(Qt::Key_Super_R) << 134 << 0 << 0x5C;
    QTest::newRow("KP_Enter") << int(Qt::Key_Enter) << 104 << int(Qt::KeypadModifier) << 0x0E;
    QTest::newRow("q on AZERTY") << int(Qt::Key_A) << 24 << 0 << 0x51;
    QTest::newRow("F13") << int(Qt::Key_F13) << 191 << 0 << 0x7C;
    QTest::newRow("native mute") << int(Qt::Key_VolumeMute) << 121 << 0 << -1;
    // Without a native code (the offscreen platform): Qt's key and keypad flag.
    QTest::newRow("Qt Shift") << int(Qt::Key_Shift) << 0 << 0 << 0xA0;
    QTest::newRow("Qt Super_R") << int(Qt::Key_Super_R) << 0 << 0 << 0x5C;
    QTest::newRow("Qt a") << int(Qt::Key_A) << 0 << 0 << 0x41;
    QTest::newRow("Qt Return") << int(Qt::Key_Return) << 0 << 0 << 0x0D;
    QTest::newRow("Qt keypad Enter") << int(Qt::Key_Enter) << 0 << int(Qt::KeypadModifier) << 0x0E;
    QTest::newRow("Qt keypad 7") << int(Qt::Key_7) << 0 << int(Qt::KeypadModifier) << 0x67;
    QTest::newRow("Qt keypad Home") << int(Qt::Key_Home) << 0 << int(Qt::KeypadModifier) << 0x67;
    QTest::newRow("Qt 7") << int(Qt::Key_7) << 0 << 0 << 0x37;
    QTest::newRow("Qt !") << int(Qt::Key_Exclam) << 0 << int(Qt::ShiftModifier) << 0x31;
    QTest::newRow("Qt F24") << int(Qt::Key_F24) << 0 << 0 << 0x87;
    QTest::newRow("Qt mute") << int(Qt::Key_VolumeMute) << 0 << 0 << -1;
}

void TestKeyboardHook::eventsBecomeKeyCodes() {
    QFETCH(int, key);
    QFETCH(int, scanCode);
    QFETCH(int, modifiers);
    QFETCH(int, code);
    TestDlg dlg;
    QVERIFY(Show(dlg));
    CKeyboardHook hook;
    QCOMPARE(hook.StartHook(&dlg), 1);
    SendKey(dlg, false, key, static_cast<quint32>(scanCode), Qt::KeyboardModifiers(modifiers));
    SendKey(dlg, true, key, static_cast<quint32>(scanCode), Qt::KeyboardModifiers(modifiers));
    // A sentinel key after it: once the sentinel arrives, the key's messages
    // would have arrived before it.
    SendKey(dlg, false, Qt::Key_Z, 52);
    QTRY_VERIFY(!KeysOf(dlg.messages).empty() && KeysOf(dlg.messages).back() == (Key{0x5A, false}));
    std::vector<Key> expected;
    if (code >= 0) expected = {{code, false}, {code, true}};
    expected.push_back({0x5A, false});
    QCOMPARE(Describe(KeysOf(dlg.messages)), Describe(expected));
}

// Keys go to the hook started last; when it stops, the one before receives
// them again; a destroyed hook stops by itself.
void TestKeyboardHook::latestHolderReceivesUntilItStops() {
    TestDlg a, b;
    QVERIFY(Show(a));
    QVERIFY(Show(b));
    auto hookA = std::make_unique<CKeyboardHook>();
    CKeyboardHook hookB;
    hookA->StartHook(&a);
    TapKey(a, Qt::Key_A, 38);
    hookB.StartHook(&b);
    QVERIFY(hookB.IsReceiving() && !hookA->IsReceiving() && hookA->IsStarted());
    TapKey(a, Qt::Key_B, 56); // typed into a's window: still b's
    QCOMPARE(hookB.StopHook(), 1);
    QCOMPARE(hookB.StopHook(), 0);
    TapKey(b, Qt::Key_C, 54);
    hookA.reset();
    TapKey(b, Qt::Key_D, 40);
    hookB.StartHook(&b);
    TapKey(b, Qt::Key_E, 26);
    QTRY_COMPARE(KeysOf(b.messages).size(), std::size_t(4));
    QCOMPARE(Describe(KeysOf(a.messages)), QStringLiteral("41v 41^ 43v 43^"));
    QCOMPARE(Describe(KeysOf(b.messages)), QStringLiteral("42v 42^ 45v 45^"));

    // Message times: bit 31 only for releases, never running backwards.
    std::uint32_t last = 0;
    for (const Msg& m : a.messages) {
        if (m.msg != CKeyboardHook::kKeyMessage) continue;
        const std::uint32_t t = static_cast<std::uint32_t>(m.l) & kKeyTimeMask;
        QVERIFY(t >= last);
        last = t;
    }
}

// The receiving window gets no key events (so Escape does not close a dialog
// and every key can be captured); other windows still get theirs, and the keys
// typed there are captured too.
void TestKeyboardHook::receivingWindowSwallowsItsKeys() {
    TestDlg holder;
    QVERIFY(Show(holder));
    QWidget other;
    auto* edit = new QLineEdit(&other);
    QVERIFY(Show(other));
    edit->setFocus();
    CKeyboardHook hook;
    hook.StartHook(&holder);

    // The program's shortcuts do not take the keys from the receiving window.
    int shortcuts = 0;
    auto* quit = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Q")), &other);
    quit->setContext(Qt::ApplicationShortcut);
    connect(quit, &QShortcut::activated, [&shortcuts] { ++shortcuts; });

    QTest::keyClick(holder.windowHandle(), Qt::Key_Escape);
    QVERIFY(holder.isVisible());
    QCOMPARE(holder.result(), 0);
    QTest::keyClick(holder.windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(shortcuts, 0);

    QTest::keyClick(other.windowHandle(), Qt::Key_X, Qt::NoModifier);
    QCOMPARE(edit->text(), QStringLiteral("x"));
    QTRY_COMPARE(Describe(KeysOf(holder.messages)), QStringLiteral("1bv 1b^ a2v 51v 51^ a2^ 58v 58^"));

    hook.StopHook();
    QTest::keyClick(holder.windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(shortcuts, 1);
    QTest::keyClick(holder.windowHandle(), Qt::Key_Escape);
    QVERIFY(!holder.isVisible()); // the dialog's own Escape handling is back
}

// A held key repeats its press (as the keyboard reports it) but is released once.
void TestKeyboardHook::autoRepeatReleasesAreDropped() {
    TestDlg dlg;
    QVERIFY(Show(dlg));
    CKeyboardHook hook;
    hook.StartHook(&dlg);
    SendKey(dlg, false, Qt::Key_A, 38);
    SendKey(dlg, true, Qt::Key_A, 38, {}, true);
    SendKey(dlg, false, Qt::Key_A, 38, {}, true);
    SendKey(dlg, true, Qt::Key_A, 38);
    QTRY_COMPARE(Describe(KeysOf(dlg.messages)), QStringLiteral("41v 41v 41^"));
}

// Without an X display, global capture is unavailable with a reason, and a
// hook that asks for it captures the program's own windows.
void TestKeyboardHook::globalScopeWithoutXFallsBack() {
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    QVERIFY(!CKeyboardHook::GlobalCaptureAvailable());
    QVERIFY(!CKeyboardHook::GlobalCaptureProblem().isEmpty());
    TestDlg dlg;
    QVERIFY(Show(dlg));
    CKeyboardHook hook;
    QCOMPARE(hook.StartHook(&dlg, CKeyboardHook::Scope::Global), 1);
    QVERIFY(!hook.CapturesGlobally());
    TapKey(dlg, Qt::Key_Shift, 62);
    QTRY_COMPARE(Describe(KeysOf(dlg.messages)), QStringLiteral("a1v a1^"));
    if (!display.isNull()) qputenv("DISPLAY", display);
}

QTEST_MAIN(TestKeyboardHook)
#include "tst_keyboardhook.moc"
