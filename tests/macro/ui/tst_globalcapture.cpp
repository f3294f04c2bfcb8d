// Keys typed into another X client's window are recorded while a hook holds
// the global scope. The test runs its own Xvfb (skipped where there is none)
// and types with XTest; the program's windows stay on the offscreen platform.
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "MacroWindowsTestSupport.h"
#include "macro/ui/MacroManagerDlg.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#undef KeyPress
#undef KeyRelease
#undef None
#undef Bool
#undef Status

using namespace macrouitest;

class TestGlobalCapture : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void keysTypedIntoAnotherClientAreRecorded();
    void onlyAGlobalReceiverGetsOtherClientsKeys();
    void managerRecordsKeysTypedElsewhere();
    void lostServerFallsBackToOwnWindows();

private:
    // Presses and releases the keys (X keysyms) in order, then releases them in reverse.
    void Type(std::initializer_list<KeySym> chord);

    QProcess xvfb_;
    Display* client_ = nullptr; // the other X client: owns the focused window and types
    ::Window window_ = 0;
};

void TestGlobalCapture::initTestCase() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) QSKIP("Xvfb is not installed");
    // Xvfb picks a free display and writes its number once it accepts clients.
    xvfb_.setProgram(program);
    xvfb_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("320x240x24")});
    xvfb_.setProcessChannelMode(QProcess::SeparateChannels);
    xvfb_.start();
    QVERIFY2(xvfb_.waitForStarted(10000), "Xvfb does not start");
    QTRY_VERIFY_WITH_TIMEOUT(xvfb_.canReadLine() || xvfb_.state() == QProcess::NotRunning, 20000);
    const QByteArray number = xvfb_.readLine().trimmed();
    QVERIFY2(!number.isEmpty(), xvfb_.readAllStandardError().constData());
    qputenv("DISPLAY", ":" + number);

    client_ = XOpenDisplay(nullptr);
    QVERIFY(client_);
    int event = 0, error = 0, major = 0, minor = 0;
    QVERIFY(XTestQueryExtension(client_, &event, &error, &major, &minor));
    window_ = XCreateSimpleWindow(client_, DefaultRootWindow(client_), 0, 0, 200, 100, 0, 0, 0);
    XSelectInput(client_, window_, StructureNotifyMask | KeyPressMask | KeyReleaseMask);
    XMapWindow(client_, window_);
    XEvent e;
    do XWindowEvent(client_, window_, StructureNotifyMask, &e);
    while (e.type != MapNotify);
    XSetInputFocus(client_, window_, RevertToParent, CurrentTime);
    XSync(client_, False);
    QVERIFY(CKeyboardHook::GlobalCaptureAvailable());
}

void TestGlobalCapture::cleanupTestCase() {
    if (client_) XCloseDisplay(client_);
    client_ = nullptr;
    if (xvfb_.state() != QProcess::NotRunning) {
        xvfb_.terminate();
        xvfb_.waitForFinished(10000);
    }
}

void TestGlobalCapture::Type(std::initializer_list<KeySym> chord) {
    for (KeySym k : chord) XTestFakeKeyEvent(client_, XKeysymToKeycode(client_, k), True, 0);
    for (auto it = std::rbegin(chord); it != std::rend(chord); ++it)
        XTestFakeKeyEvent(client_, XKeysymToKeycode(client_, *it), False, 0);
    XSync(client_, False);
}

void TestGlobalCapture::keysTypedIntoAnotherClientAreRecorded() {
    TestDlg recorder;
    recorder.show();
    QVERIFY(QTest::qWaitForWindowExposed(&recorder));
    CKeyboardHook hook;
    hook.StartHook(&recorder, CKeyboardHook::Scope::Global);
    QVERIFY(hook.CapturesGlobally());
    QVERIFY(CKeyboardHook::GlobalCaptureProblem().isEmpty());

    // A key typed into the recorder itself is swallowed and left to the raw
    // events (this window is not on that X server, so it never comes): it must
    // not be delivered a second time through the window.
    QTest::keyClick(recorder.windowHandle(), Qt::Key_Q);
    Type({XK_Shift_R, XK_Control_R, XK_a});
    QTRY_VERIFY_WITH_TIMEOUT(KeysOf(recorder.messages).size() >= 6, 10000);
    QCOMPARE(Describe(KeysOf(recorder.messages)), QStringLiteral("a1v a3v 41v 41^ a3^ a1^"));
    std::uint32_t last = 0;
    for (const Msg& m : recorder.messages) {
        const std::uint32_t t = static_cast<std::uint32_t>(m.l) & kKeyTimeMask;
        QVERIFY(t >= last);
        last = t;
    }

    // The keys went to the other client's focused window.
    int pressesThere = 0;
    XEvent e;
    while (XCheckWindowEvent(client_, window_, KeyPressMask, &e)) ++pressesThere;
    QCOMPARE(pressesThere, 3);
    while (XCheckWindowEvent(client_, window_, KeyReleaseMask, &e)) {
    }
}

// A dialog that captures only its own windows, started over a global recorder,
// takes the keys but not those typed elsewhere; when it stops, the recorder
// gets the other client's keys again.
void TestGlobalCapture::onlyAGlobalReceiverGetsOtherClientsKeys() {
    TestDlg recorder, dialog;
    recorder.show();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CKeyboardHook recording, capturing;
    recording.StartHook(&recorder, CKeyboardHook::Scope::Global);
    capturing.StartHook(&dialog);
    Type({XK_b});
    TapKey(dialog, Qt::Key_D, 40);
    capturing.StopHook();
    Type({XK_c});
    QTRY_VERIFY_WITH_TIMEOUT(KeysOf(recorder.messages).size() >= 2, 10000);
    QCOMPARE(Describe(KeysOf(recorder.messages)), QStringLiteral("43v 43^"));
    QCOMPARE(Describe(KeysOf(dialog.messages)), QStringLiteral("44v 44^"));
}

// The macro manager records what is typed into another program while its
// record button is down, with the delays between the keys. A key held down
// before the recording started and let go during it (as xdotool lets go of
// the modifiers it finds down) is not recorded: its press never was.
void TestGlobalCapture::managerRecordsKeysTypedElsewhere() {
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    TestDlg owner;
    CMacroManagerDlg manager(&owner, f.library, f.File());
    QVERIFY(Show(manager));
    ClickAt(manager, RowCentre(*manager.FindControl(CEditShowList::kId), 0));
    XTestFakeKeyEvent(client_, XKeysymToKeycode(client_, XK_Control_L), True, 0);
    XSync(client_, False);
    ClickId(manager, CMacroManagerDlg::kIdRecord);
    QVERIFY(manager.Recording());
    QVERIFY(manager.Hook().CapturesGlobally());
    QVERIFY(!manager.FindControl(CMacroManagerDlg::kIdCaptureNote)->IsShown());
    XTestFakeKeyEvent(client_, XKeysymToKeycode(client_, XK_Control_L), False, 0);
    XSync(client_, False);
    Type({XK_Shift_R, XK_x});
    const MacroKey& rec = *f.library.MacroAt(m);
    QTRY_VERIFY_WITH_TIMEOUT(rec.MacroCommandActionNum == 4, 10000);
    QStringList codes;
    for (std::size_t i = 0; i < rec.ValidCount(); ++i) {
        const MacroAction a = rec.GetAction(i);
        codes << (a.IsDelay() ? QStringLiteral("delay")
                              : QString::asprintf("%02X%s", a.b[0], a.IsRelease() ? "^" : "v"));
    }
    QCOMPARE(codes.join(' '), QStringLiteral("A1v delay 58v delay 58^ delay A1^"));
    ClickId(manager, CDlgBase::kIdClose);
    QVERIFY(!manager.Hook().IsStarted());
    QTRY_VERIFY(!manager.isVisible()); // once the library is written
    QVERIFY(manager.LibrarySaved());
}

// When the X server goes away the program keeps running and the hook falls back
// to the program's own windows.
void TestGlobalCapture::lostServerFallsBackToOwnWindows() {
    TestDlg recorder;
    recorder.show();
    QVERIFY(QTest::qWaitForWindowExposed(&recorder));
    CKeyboardHook hook;
    hook.StartHook(&recorder, CKeyboardHook::Scope::Global);
    QVERIFY(hook.CapturesGlobally());
    XCloseDisplay(client_);
    client_ = nullptr;
    xvfb_.kill();
    QVERIFY(xvfb_.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!hook.CapturesGlobally(), 10000);
    QVERIFY(hook.IsReceiving());
    QTest::keyClick(recorder.windowHandle(), Qt::Key_Z);
    QTRY_COMPARE(Describe(KeysOf(recorder.messages)), QStringLiteral("5av 5a^"));
}

QTEST_MAIN(TestGlobalCapture)
#include "tst_globalcapture.moc"
