// The tarvik program as real processes: a second start brings the first one's
// window up and ends at once; unplugging both identities of tarvik-mousesim
// ends the program with exit 0; SIGTERM shortly after a change made with the
// mouse (XTest on a private Xvfb) leaves the change in the profile file;
// damaged files and a missing skins folder still give a window; no display
// gives one line and exit 1.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include "MainWindowHarness.h"
#include "app/SingleInstance.h"
#include "mainwnd/MainLayout.h"

// X11 after Qt (its macros clash with Qt names).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#undef None
#undef KeyPress
#undef Bool
#undef Status

using namespace tarvik;
using namespace mainwndtest;

namespace {

constexpr int kWait = 15000;

QString Program(const char* path) {
    return QString::fromLatin1(path);
}

// A program of the project with the test's environment plus `env`.
struct Child {
    QProcess process;
    Child(const QString& program, const QStringList& args, const QStringList& env = {}) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString& kv : env) e.insert(kv.section('=', 0, 0), kv.section('=', 1));
        process.setProcessEnvironment(e);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(program, args);
    }
    ~Child() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool Ended(int ms = kWait) {
        return process.state() == QProcess::NotRunning || process.waitForFinished(ms);
    }
};

// Runs tarvik-mousesim ctl and returns its standard output.
QByteArray Ctl(const QString& socket, const QStringList& args) {
    QProcess p;
    p.start(Program(TARVIK_MOUSESIM),
            QStringList{QStringLiteral("ctl"), QStringLiteral("--socket"), socket} + args);
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

QJsonObject Dump(const QString& socket) {
    return QJsonDocument::fromJson(Ctl(socket, {QStringLiteral("dump"), QStringLiteral("--json")})).object();
}

QStringList Offscreen() {
    return {QStringLiteral("QT_QPA_PLATFORM=offscreen")};
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void cleanupTestCase();

    // A real second start against the window of this process.
    void secondStartBringsTheFirstUp() {
        Harness h;
        app::SingleInstance instance(h.DataFolder());
        QCOMPARE(instance.Start(), app::SingleInstance::Role::Primary);
        instance.SetVerbHandler(std::string(app::kVerbShow), [&h](const std::string&) {
            h.window->BringUp();
            return std::string();
        });
        h.window->Start(false); // hidden, as in the tray
        QVERIFY(!h.window->isVisible());
        Child second(Program(TARVIK_PROGRAM),
                     {QStringLiteral("--simulate"), QStringLiteral("--data-dir"), h.dir.path()}, Offscreen());
        QVERIFY(second.Ended());
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY(h.RunUntil([&] { return h.window->isVisible(); }));
    }

    // Two real processes: the second ends with 0 and the first runs on; SIGTERM ends the first with 0.
    void secondProcessEndsAtOnce() {
        QTemporaryDir dir;
        const QStringList args{QStringLiteral("--simulate"), QStringLiteral("--data-dir"), dir.path()};
        Child first(Program(TARVIK_PROGRAM), args, Offscreen());
        app::SingleInstance probe(dir.path().toStdString());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(probe.SocketPath()), kWait);
        Child second(Program(TARVIK_PROGRAM), args, Offscreen());
        QVERIFY(second.Ended());
        QCOMPARE(second.process.exitCode(), 0);
        QCOMPARE(first.process.state(), QProcess::Running);
        first.process.terminate();
        QVERIFY(first.Ended());
        QCOMPARE(first.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.process.exitCode(), 0);
    }

    void unplugBothEndsTheProgram() {
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("mouse.sock"));
        Child sim(Program(TARVIK_MOUSESIM), {QStringLiteral("--socket"), socket});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), kWait);
        Child tarvik(Program(TARVIK_PROGRAM),
                     {QStringLiteral("--hid"), QStringLiteral("socket:") + socket,
                      QStringLiteral("--data-dir"), dir.filePath(QStringLiteral("data"))},
                     Offscreen());
        // The start-up status query shows that the program has found the mouse.
        QTRY_VERIFY_WITH_TIMEOUT(Dump(socket).value(QStringLiteral("framesReceived")).toInt() > 0, kWait);
        Ctl(socket, {QStringLiteral("unplug"), QStringLiteral("A")});
        QCOMPARE(tarvik.process.state(), QProcess::Running);
        Ctl(socket, {QStringLiteral("unplug"), QStringLiteral("B")});
        QVERIFY(tarvik.Ended());
        QCOMPARE(tarvik.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tarvik.process.exitCode(), 0);
    }

    // A click on 500 Hz through the X server, then SIGTERM well before the
    // delayed save: the profile file holds the new rate.
    void sigtermKeepsAChange();

    void damagedFilesStillGiveAWindow() {
        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("data/config"));
        QVERIFY(QDir().mkpath(config));
        for (const char* name : {"config.ini", "MacroLibraryFile.mlf"}) {
            QFile f(config + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("\xFF\xFEthis is not what the file holds\n");
        }
        const QString shot = dir.filePath(QStringLiteral("shot.png"));
        Child tarvik(Program(TARVIK_PROGRAM),
                     {QStringLiteral("--simulate"), QStringLiteral("--data-dir"),
                      dir.filePath(QStringLiteral("data")), QStringLiteral("--screenshot"), shot},
                     Offscreen());
        QVERIFY(tarvik.Ended());
        QCOMPARE(tarvik.process.exitCode(), 0);
        QVERIFY(QFile::exists(shot));
        QVERIFY(QFile::exists(config + QStringLiteral("/config.ini.bak")));
        QVERIFY(QFile::exists(config + QStringLiteral("/MacroLibraryFile.mlf.bak")));
        const QString err = QString::fromLocal8Bit(tarvik.process.readAllStandardError());
        QCOMPARE(err.count(QStringLiteral("config.ini:")), 1);
        QCOMPARE(err.count(QStringLiteral("MacroLibraryFile.mlf:")), 1);
    }

    // Without any display the program says so on one line and ends with 1,
    // instead of Qt's abort with a core dump.
    void noDisplayEndsWithOneLine() {
        QTemporaryDir dir;
        Child tarvik(Program(TARVIK_PROGRAM),
                     {QStringLiteral("--simulate"), QStringLiteral("--data-dir"), dir.path()},
                     {QStringLiteral("DISPLAY="), QStringLiteral("WAYLAND_DISPLAY="),
                      QStringLiteral("QT_QPA_PLATFORM=")});
        QVERIFY(tarvik.Ended());
        QCOMPARE(tarvik.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tarvik.process.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(tarvik.process.readAllStandardError());
        QVERIFY2(err.startsWith(QLatin1String("tarvik: no display found")) &&
                     err.count(QLatin1Char('\n')) == 1,
                 qPrintable(err));
        QVERIFY2(err.contains(QLatin1String("--screenshot")), qPrintable(err));
        // Nothing was made in the data folder.
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void missingSkinsFolder() {
        QTemporaryDir dir, program;
        const QString shot = dir.filePath(QStringLiteral("shot.png"));
        Child tarvik(Program(TARVIK_PROGRAM),
                     {QStringLiteral("--simulate"), QStringLiteral("--data-dir"),
                      dir.filePath(QStringLiteral("data")), QStringLiteral("--screenshot"), shot},
                     {QStringLiteral("QT_QPA_PLATFORM=offscreen"),
                      QStringLiteral("TARVIK_PROGRAM_DIR=") + program.path()});
        QVERIFY(tarvik.Ended());
        QCOMPARE(tarvik.process.exitCode(), 0);
        QVERIFY(QFile::exists(shot));
        const QString err = QString::fromLocal8Bit(tarvik.process.readAllStandardError());
        QCOMPARE(err.count(QStringLiteral("no skins folder")), 1);
    }

private:
    QProcess xvfb_;
    Display* x_ = nullptr;
    bool StartX();
    // The program's main window on the X server: its top-left corner on the screen.
    std::optional<QPoint> FindMainWindow();
    void ClickAt(QPoint p);
};

bool TestProgram::StartX() {
    if (x_) return true;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) return false;
    // Xvfb picks a free display and writes its number once it accepts clients.
    xvfb_.setProgram(program);
    xvfb_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1280x1024x24")});
    xvfb_.start();
    if (!xvfb_.waitForStarted(10000)) return false;
    QElapsedTimer t;
    t.start();
    while (!xvfb_.canReadLine() && xvfb_.state() == QProcess::Running && t.elapsed() < kWait)
        xvfb_.waitForReadyRead(500);
    const QByteArray number = xvfb_.readLine().trimmed();
    if (number.isEmpty()) return false;
    const QByteArray display = ":" + number;
    x_ = XOpenDisplay(display.constData());
    if (x_) qputenv("TARVIK_TEST_DISPLAY", display);
    return x_ != nullptr;
}

void TestProgram::cleanupTestCase() {
    if (x_) XCloseDisplay(x_);
    x_ = nullptr;
    if (xvfb_.state() != QProcess::NotRunning) {
        xvfb_.terminate();
        xvfb_.waitForFinished(10000);
    }
}

std::optional<QPoint> TestProgram::FindMainWindow() {
    ::Window root = DefaultRootWindow(x_), parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::optional<QPoint> found;
    if (!XQueryTree(x_, root, &root, &parent, &children, &count)) return found;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(x_, children[i], &a) || a.map_state != IsViewable) continue;
        if (a.width != mainwnd::kWindowWidth || a.height != mainwnd::kWindowHeight) continue;
        char* name = nullptr;
        if (XFetchName(x_, children[i], &name) && name) {
            if (QByteArray(name) == "Pelcor") found = QPoint(a.x, a.y);
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

void TestProgram::ClickAt(QPoint p) {
    XTestFakeMotionEvent(x_, DefaultScreen(x_), p.x(), p.y(), 0);
    XTestFakeButtonEvent(x_, 1, True, 0);
    XTestFakeButtonEvent(x_, 1, False, 0);
    XSync(x_, False);
}

void TestProgram::sigtermKeepsAChange() {
    if (!StartX()) QSKIP("no Xvfb to click in");
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("mouse.sock"));
    const QString data = dir.filePath(QStringLiteral("data"));
    Child sim(Program(TARVIK_MOUSESIM), {QStringLiteral("--socket"), socket});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), kWait);
    Child tarvik(Program(TARVIK_PROGRAM),
                 {QStringLiteral("--hid"), QStringLiteral("socket:") + socket, QStringLiteral("--data-dir"),
                  data, QStringLiteral("--scale"), QStringLiteral("1")},
                 {QStringLiteral("DISPLAY=") + QString::fromLocal8Bit(qgetenv("TARVIK_TEST_DISPLAY")),
                  QStringLiteral("QT_QPA_PLATFORM=xcb")});
    std::optional<QPoint> origin;
    QTRY_VERIFY_WITH_TIMEOUT((origin = FindMainWindow()).has_value(), kWait);

    // Open the polling panel, then click 500 Hz.
    using namespace mainwnd;
    const auto before = ColumnLayout(StartPanels(), false);
    const int header = before[static_cast<std::size_t>(Panel::Polling)].headerTop;
    ClickAt(*origin + QPoint(kColumnX + kColumnWidth / 2, header + kHeaderHeight / 2));
    PanelState open;
    open[Panel::Dpi] = open[Panel::Polling] = true;
    const int body = ColumnLayout(open, false)[static_cast<std::size_t>(Panel::Polling)].bodyTop;
    const QPoint rate500 = *origin + QPoint(kColumnX + (131 + 203) / 2, body + (92 + 164) / 2);
    // The header click has to land first; the click is repeated until the mouse holds the rate.
    QTRY_VERIFY_WITH_TIMEOUT((ClickAt(rate500), Dump(socket).value(QStringLiteral("polling")).toInt() == 2),
                             kWait);

    tarvik.process.terminate();
    QVERIFY(tarvik.Ended());
    QCOMPARE(tarvik.process.exitCode(), 0);
    const ProfileRecord saved = ReadProfile(data + QStringLiteral("/config/default0.psf"));
    QCOMPARE(saved.PollingRate[0], std::uint8_t(2));
    QCOMPARE(saved.PollingRateName, std::u16string(u"500HZ"));
}

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
