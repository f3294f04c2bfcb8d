// The application set-up after the application object exists, and the tray
// icon: its menu, what a click asks of the window, and the no-tray case (the
// offscreen platform has no notification area).
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/Platform.h"
#include "app/Screenshot.h"
#include "app/TrayIcon.h"
#include "skin/Skin.h"
#include "text/Language.h"
#include "text/Log.h"

using namespace tarvik;
using namespace tarvik::app;

namespace {

// A stand-in for the panel's StatusNotifier watcher, on a bus connection of its own.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
public:
    explicit FakeWatcher(bool host) : host_(host) {}
    ~FakeWatcher() override {
        bus_.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        QDBusConnection::disconnectFromBus(bus_.name());
    }
    bool Register() {
        return bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                   QDBusConnection::ExportAllProperties |
                                       QDBusConnection::ExportAllSignals) &&
               bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    bool HostRegistered() const { return host_; }
    void HostArrives() {
        host_ = true;
        emit StatusNotifierHostRegistered();
    }
signals:
    void StatusNotifierHostRegistered();

private:
    bool host_;
    QDBusConnection bus_ =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("watcher"));
};

} // namespace

Q_DECLARE_METATYPE(QSystemTrayIcon::ActivationReason)
Q_DECLARE_METATYPE(TrayClick)

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void configureApplication() {
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        QCOMPARE(ConfigureApplication(*app, 1.5), 1.5);
        QCOMPARE(UiScale(), 1.5);
        // Hidden in the tray, the window is not open: closing a notice then must not end the program.
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral(TARVIK_APP_ID));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("tarvik"));
        // The offscreen screen is 800 x 600: the screen rule gives 1.
        QCOMPARE(ConfigureApplication(*app, std::nullopt), 1.0);
        QCOMPARE(UiScale(), 1.0);
    }

    void screenshot_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("written") << "shot.png" << 0;
        QTest::newRow("folder missing") << "missing/shot.png" << 1;
    }
    void screenshot() {
        QFETCH(QString, file);
        QTemporaryDir dir;
        QWidget window;
        window.setFixedSize(120, 80);
        window.setStyleSheet(QStringLiteral("background: rgb(10, 200, 30)"));
        window.show();
        int code = -1;
        ScheduleScreenshot(window, dir.filePath(file), 20, [&](int c) { code = c; });
        QTRY_VERIFY_WITH_TIMEOUT(code != -1, 20000);
        QTEST(code, "exitCode");
        if (code != 0) return;
        const QImage shot(dir.filePath(file));
        QCOMPARE(shot.size(), QSize(120, 80));
        QCOMPARE(shot.pixelColor(60, 40), QColor(10, 200, 30));
    }

    void clicks_data() {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::addColumn<bool>("statusNotifier");
        QTest::addColumn<TrayClick>("action");
        QTest::newRow("X11 tray: double click")
            << QSystemTrayIcon::DoubleClick << false << TrayClick::BringUp;
        QTest::newRow("X11 tray: single click") << QSystemTrayIcon::Trigger << false << TrayClick::Nothing;
        QTest::newRow("StatusNotifier: click") << QSystemTrayIcon::Trigger << true << TrayClick::Toggle;
        QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick << true << TrayClick::Nothing;
        QTest::newRow("menu") << QSystemTrayIcon::Context << false << TrayClick::Nothing;
    }
    void clicks() {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        QFETCH(bool, statusNotifier);
        QTEST(TrayClickAction(reason, statusNotifier), "action");
    }

    void menuIsBuiltForEveryOpening() {
        Language().Clear();
        Language().Set(1, u"Profiles"); // the window's profile button: not the tray's item
        Language().Set(kTrayShowString, u"Open");
        Language().Set(2, u"Exit");
        CTrayIcon tray;
        QSignalSpy commands(&tray, &CTrayIcon::commandChosen);
        const auto check = [&](const QString& first) {
            const QList<QAction*> items = tray.Menu().actions();
            QCOMPARE(items.size(), 3);
            QCOMPARE(items[0]->text(), first);
            QCOMPARE(items[0]->data().toInt(), kIdTrayBringUp);
            QVERIFY(items[1]->isSeparator());
            QCOMPARE(items[2]->text(), QStringLiteral("Exit"));
            QCOMPARE(items[2]->data().toInt(), kIdTrayExit);
        };
        check(QStringLiteral("Open"));
        Language().Set(kTrayShowString, u"Show the window");
        emit tray.Menu().aboutToShow();
        check(QStringLiteral("Show the window"));
        // A language file from before the item had its own string.
        Language().Set(kTrayShowString, u"");
        emit tray.Menu().aboutToShow();
        check(QStringLiteral("Show Window"));

        tray.Menu().actions().at(2)->trigger();
        tray.Menu().actions().at(0)->trigger();
        tray.HandleActivation(QSystemTrayIcon::DoubleClick);
        QCOMPARE(commands.size(), 3);
        QCOMPARE(commands[0].at(0).toInt(), kIdTrayExit);
        QCOMPARE(commands[1].at(0).toInt(), kIdTrayBringUp);
        QCOMPARE(commands[2].at(0).toInt(), kIdTrayBringUp);
    }

    // Without a notification area the window must not hide itself into one;
    // on GNOME the log says what brings the tray back.
    void noTray() {
        qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
        std::vector<std::string> problems;
        SetProblemSink([&](const std::string& m) { problems.push_back(m); }, true);
        CTrayIcon tray;
        QVERIFY(!tray.TrayAvailable());
        tray.Show(0);
        QTRY_VERIFY_WITH_TIMEOUT(!tray.IsWaitingForHost(), 10000);
        QVERIFY(!tray.TrayAvailable());
        QCOMPARE(problems.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(problems[0]).contains(QLatin1String("AppIndicator")));
        tray.Remove();
        QVERIFY(!tray.TrayAvailable());
        tray.Show(0); // after the shutdown removed it, the icon stays away
        QVERIFY(!tray.IsWaitingForHost());
        SetProblemSink({});
    }

    // Started before the panel, the icon waits for a StatusNotifier host, at
    // most for the given time. (Runs where a session bus exists.)
    void waitsForTheStatusNotifierHost() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("no session bus");
        SetProblemSink([](const std::string&) {}, true);
        {
            CTrayIcon noHost;
            noHost.Show(50);
            QVERIFY(noHost.IsWaitingForHost());
            QTRY_VERIFY_WITH_TIMEOUT(!noHost.IsWaitingForHost(), 20000);
            QVERIFY(!noHost.UsesStatusNotifier());
        }
        {
            FakeWatcher watcher(true);
            QVERIFY(watcher.Register());
            CTrayIcon hostUp;
            hostUp.Show(60000);
            QTRY_VERIFY_WITH_TIMEOUT(hostUp.UsesStatusNotifier(), 20000);
            QVERIFY(!hostUp.IsWaitingForHost());
        }
        {
            CTrayIcon late;
            late.Show(60000);
            FakeWatcher watcher(false);
            QVERIFY(watcher.Register());
            QTest::qWait(0);
            QVERIFY(late.IsWaitingForHost());
            watcher.HostArrives();
            QTRY_VERIFY_WITH_TIMEOUT(late.UsesStatusNotifier(), 20000);
            QVERIFY(!late.IsWaitingForHost());
        }
        SetProblemSink({});
    }

    void icon() {
        const QIcon icon = TarvikIcon();
        QVERIFY(!icon.isNull());
        const QImage small = icon.pixmap(22, 22).toImage();
        QCOMPARE(small.size(), QSize(22, 22));
        // Drawn, not empty: the middle is opaque and a corner is clear.
        QCOMPARE(small.pixelColor(11, 16).alpha(), 255);
        QCOMPARE(small.pixelColor(0, 0).alpha(), 0);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
