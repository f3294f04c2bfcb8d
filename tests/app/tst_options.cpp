// The command line, the process set-up choices and the instance naming.
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include "app/AppOptions.h"
#include "app/Platform.h"
#include "instance/InstanceProtocol.h"

using namespace tarvik::app;

Q_DECLARE_METATYPE(std::optional<double>)

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The data folder below follows these, not the machine's.
        qunsetenv("TARVIK_DATA_DIR");
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    }

    void goodCommandLines_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("hidEnv");
        QTest::addColumn<QString>("hid");
        QTest::addColumn<QString>("dataFolderName"); // the last part of the data folder
        QTest::addColumn<std::optional<double>>("scale");
        QTest::addColumn<QString>("screenshot");
        QTest::addColumn<int>("after");
        const std::optional<double> none;
        const QString real = QStringLiteral("PelcorData20230619A");
        const QString simulated = QStringLiteral("PelcorData20230619A-simulated");
        QTest::newRow("defaults") << QStringList{} << ""
                                  << "linux" << real << none << "" << 0;
        QTest::newRow("backend from the environment") << QStringList{} << "socket:/run/m.sock"
                                                      << "socket:/run/m.sock" << simulated << none << "" << 0;
        QTest::newRow("--hid beats the environment") << QStringList{"--hid", "linux"} << "sim"
                                                     << "linux" << real << none << "" << 0;
        QTest::newRow("--simulate --trace") << QStringList{"--simulate", "--trace"} << ""
                                            << "sim" << simulated << none << "" << 0;
        QTest::newRow("--simulate --hid sim") << QStringList{"--simulate", "--hid=sim"} << ""
                                              << "sim" << simulated << none << "" << 0;
        QTest::newRow("--data-dir wins over the simulated folder")
            << QStringList{"--hid", "socket:/s", "--data-dir", "/d/mine"} << ""
            << "socket:/s"
            << "mine" << none << "" << 0;
        QTest::newRow("--scale 1.5") << QStringList{"--scale", "1.5"} << ""
                                     << "linux" << real << std::optional<double>(1.5) << "" << 0;
        QTest::newRow("--scale 2.0") << QStringList{"--scale=2.0"} << ""
                                     << "linux" << real << std::optional<double>(2.0) << "" << 0;
        QTest::newRow("--screenshot --after")
            << QStringList{"--screenshot", "/tmp/w.png", "--after", "500"} << ""
            << "linux" << real << none << "/tmp/w.png" << 500;
    }
    void goodCommandLines() {
        QFETCH(QStringList, args);
        QFETCH(QString, hidEnv);
        args.prepend(QStringLiteral("tarvik"));
        const ParseOutcome r = ParseAppOptions(args, hidEnv);
        QCOMPARE(r.action, ParseOutcome::Action::Run);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QTEST(QString::fromStdString(r.options.hid), "hid");
        QTEST(QString::fromStdString(r.options.DataFolder().filename().string()), "dataFolderName");
        QTEST(r.options.scale, "scale");
        QTEST(r.options.screenshot, "screenshot");
        QTEST(r.options.afterMs, "after");
        QCOMPARE(r.options.trace, args.contains(QStringLiteral("--trace")));
    }

    void wrongCommandLines_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("hidEnv");
        QTest::addColumn<QString>("reason"); // a part of the first stderr line
        QTest::newRow("unknown option") << QStringList{"--bogus"} << ""
                                        << "bogus";
        QTest::newRow("argument") << QStringList{"profile.psf"} << ""
                                  << "profile.psf";
        QTest::newRow("unknown backend") << QStringList{"--hid", "usb"} << ""
                                         << "usb";
        QTest::newRow("socket without path") << QStringList{"--hid", "socket:"} << ""
                                             << "socket:PATH";
        QTest::newRow("backend from the environment") << QStringList{} << "bluetooth"
                                                      << "TARVIK_HID";
        QTest::newRow("--simulate with another backend") << QStringList{"--simulate", "--hid", "linux"} << ""
                                                         << "--simulate";
        QTest::newRow("--hid twice") << QStringList{"--hid", "sim", "--hid", "linux"} << ""
                                     << "more than once";
        QTest::newRow("missing value") << QStringList{"--scale"} << ""
                                       << "scale";
        QTest::newRow("scale 3") << QStringList{"--scale", "3"} << ""
                                 << "1, 1.5 or 2";
        QTest::newRow("scale text") << QStringList{"--scale", "big"} << ""
                                    << "1, 1.5 or 2";
        QTest::newRow("empty data folder") << QStringList{"--data-dir", ""} << ""
                                           << "--data-dir";
        QTest::newRow("--after alone") << QStringList{"--after", "10"} << ""
                                       << "--screenshot";
        QTest::newRow("negative --after") << QStringList{"--screenshot", "a.png", "--after", "-1"} << ""
                                          << "milliseconds";
    }
    void wrongCommandLines() {
        QFETCH(QStringList, args);
        QFETCH(QString, hidEnv);
        QFETCH(QString, reason);
        args.prepend(QStringLiteral("tarvik"));
        const ParseOutcome r = ParseAppOptions(args, hidEnv);
        QCOMPARE(r.action, ParseOutcome::Action::Exit);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        const QString firstLine = r.err.section(QLatin1Char('\n'), 0, 0);
        QVERIFY2(firstLine.startsWith(QLatin1String("tarvik: ")) && firstLine.contains(reason),
                 qPrintable(r.err));
        QVERIFY2(r.err == firstLine + QLatin1Char('\n'), qPrintable(r.err)); // one line
    }

    void helpAndVersion_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected"); // a part of stdout
        QTest::newRow("--help") << "--help"
                                << "--hid <backend>";
        QTest::newRow("-h") << "-h"
                            << "--screenshot <file>";
        QTest::newRow("--version") << "--version"
                                   << "tarvik " + VersionNumber() + "\n";
    }
    void helpAndVersion() {
        QFETCH(QString, option);
        QFETCH(QString, expected);
        const ParseOutcome r = ParseAppOptions({QStringLiteral("tarvik"), option}, QString());
        QCOMPARE(r.action, ParseOutcome::Action::Exit);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        QVERIFY2(r.out.contains(expected), qPrintable(r.out));
    }

    // The window system and scaling chosen before the application object
    // exists, and the refusal to start without any display (Qt aborts then).
    void platformChoice_data() {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("qpa");
        QTest::addColumn<QString>("highDpi");
        QTest::addColumn<QString>("chosenQpa");
        QTest::addColumn<QString>("chosenHighDpi");
        QTest::addColumn<bool>("noDisplay");
        auto row = [](const char* name, const char* display, const char* wayland, const char* qpa,
                      const char* highDpi, const char* chosenQpa, const char* chosenHighDpi, bool noDisplay) {
            QTest::newRow(name) << QString(display) << QString(wayland) << QString(qpa) << QString(highDpi)
                                << QString(chosenQpa) << QString(chosenHighDpi) << noDisplay;
        };
        row("X11 session", ":0", "", "", "", "xcb", "0", false);
        row("Wayland session with XWayland", ":1", "wayland-0", "", "", "xcb", "0", false);
        row("platform chosen by the user", ":0", "", "wayland", "", "", "0", false);
        row("Wayland without XWayland", "", "wayland-0", "", "", "", "0", false);
        row("Qt's scaling chosen by the user", ":0", "", "", "1", "xcb", "", false);
        row("no display at all", "", "", "", "", "", "", true);
        row("xcb chosen without DISPLAY", "", "wayland-0", "xcb", "", "", "", true);
        row("offscreen needs no display", "", "", "offscreen", "", "", "0", false);
        row("a list that falls back to offscreen", "", "", "xcb;offscreen", "", "", "0", false);
        row("Wayland named by the user finds its socket", "", "", "wayland", "", "", "0", false);
    }
    void platformChoice() {
        QFETCH(QString, display);
        QFETCH(QString, wayland);
        QFETCH(QString, qpa);
        QFETCH(QString, highDpi);
        QFETCH(bool, noDisplay);
        const PlatformChoice c = ChoosePlatform({display, qpa, highDpi, wayland});
        QTEST(c.qpaPlatform, "chosenQpa");
        QTEST(c.enableHighDpiScale, "chosenHighDpi");
        QCOMPARE(!c.noDisplay.isEmpty(), noDisplay);
        // One line that says what is missing and how to run without a display.
        if (noDisplay) {
            QVERIFY(!c.noDisplay.contains(QLatin1Char('\n')));
            QVERIFY2(c.noDisplay.startsWith(QLatin1String("no display found")), qPrintable(c.noDisplay));
            QVERIFY2(c.noDisplay.contains(QLatin1String("QT_QPA_PLATFORM=offscreen tarvik --screenshot")),
                     qPrintable(c.noDisplay));
        }
    }

    void uiScale_data() {
        QTest::addColumn<std::optional<double>>("override");
        QTest::addColumn<QSize>("available");
        QTest::addColumn<double>("scale");
        const std::optional<double> none;
        QTest::newRow("1920 x 1080") << none << QSize(1920, 1040) << 1.0;
        QTest::newRow("1920 x 1200") << none << QSize(1920, 1160) << 1.0;
        QTest::newRow("2560 x 1440") << none << QSize(2560, 1400) << 1.5;
        QTest::newRow("3840 x 2160") << none << QSize(3840, 2120) << 2.0;
        QTest::newRow("--scale 2 on a small screen") << std::optional<double>(2.0) << QSize(1366, 728) << 2.0;
        QTest::newRow("--scale 1 on a large screen")
            << std::optional<double>(1.0) << QSize(3840, 2120) << 1.0;
    }
    void uiScale() {
        QFETCH(std::optional<double>, override);
        QFETCH(QSize, available);
        QTEST(ChooseUiScale(override, available), "scale");
    }

    void requestLines_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("verb");
        QTest::addColumn<QString>("args");
        QTest::newRow("show") << QByteArray("v1 show\n") << true << "show"
                              << "";
        QTest::newRow("arguments kept as they are") << QByteArray("v1 open /a b  c\r\n") << true << "open"
                                                    << "/a b  c";
        QTest::newRow("UTF-8 arguments") << QByteArray("v1 open /tmp/\xc3\xa9.psf") << true << "open"
                                         << QString::fromUtf8("/tmp/\xc3\xa9.psf");
        QTest::newRow("other version") << QByteArray("v2 show\n") << false << ""
                                       << "";
        QTest::newRow("no verb") << QByteArray("v1 \n") << false << ""
                                 << "";
        QTest::newRow("version only") << QByteArray("v1\n") << false << ""
                                      << "";
        QTest::newRow("no version") << QByteArray("show\n") << false << ""
                                    << "";
        QTest::newRow("control character") << QByteArray("v1 sh\x1bow\n") << false << ""
                                           << "";
        QTest::newRow("NUL") << QByteArray("v1 show\0x", 10) << false << ""
                             << "";
        QTest::newRow("too long") << QByteArray("v1 open ") + QByteArray(20000, 'a') << false << ""
                                  << "";
    }
    void requestLines() {
        QFETCH(QByteArray, line);
        QFETCH(bool, valid);
        const auto r =
            ParseRequestLine(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        QCOMPARE(r.has_value(), valid);
        if (!valid) return;
        QTEST(QString::fromStdString(r->verb), "verb");
        QTEST(QString::fromStdString(r->args), "args");
        // A formatted request reads back as itself.
        QCOMPARE(ParseRequestLine(FormatRequestLine(r->verb, r->args)), r);
    }

    // Who owns the data folder, as tarvikctl and a second start read it from
    // the owner record in the folder's lock file.
    void folderOwners_data() {
        QTest::addColumn<QByteArray>("content"); // "<none>": no file; PID: this process; DEAD: a process gone
        QTest::addColumn<bool>("owner");
        QTest::newRow("no lock file") << QByteArray("<none>") << false;
        QTest::newRow("empty (a tarvikctl run, or an owner starting)") << QByteArray() << false;
        QTest::newRow("this process") << QByteArray("PID\nNAME\n/run/x.sock\n") << true;
        QTest::newRow("process id of another program")
            << QByteArray("PID\nsomething-else\n/run/x.sock\n") << false;
        QTest::newRow("process gone") << QByteArray("DEAD\nNAME\n/run/x.sock\n") << false;
        QTest::newRow("not a process id") << QByteArray("12ab\nNAME\n/run/x.sock\n") << false;
        QTest::newRow("no program") << QByteArray("PID\n\n/run/x.sock\n") << false;
        QTest::newRow("relative socket") << QByteArray("PID\nNAME\nrun/x.sock\n") << false;
        QTest::newRow("cut short") << QByteArray("PID\nNAME\n/run/x.so") << false;
        QTest::newRow("a fourth line") << QByteArray("PID\nNAME\n/run/x.sock\nmore\n") << false;
        QTest::newRow("socket name too long")
            << QByteArray("PID\nNAME\n/" + QByteArray(120, 's') + "\n") << false;
    }
    void folderOwners() {
        QFETCH(QByteArray, content);
        QFETCH(bool, owner);
        QTemporaryDir dir;
        const std::filesystem::path data = dir.path().toStdString();
        std::filesystem::create_directories(data / "config");
        if (content.contains("DEAD")) {
            const pid_t child = ::fork();
            if (child == 0) ::_exit(0);
            QCOMPARE(::waitpid(child, nullptr, 0), child);
            content.replace("DEAD", QByteArray::number(child));
        }
        content.replace("PID", QByteArray::number(::getpid()));
        QFile comm(QStringLiteral("/proc/self/comm"));
        QVERIFY(comm.open(QIODevice::ReadOnly));
        content.replace("NAME", comm.readAll().trimmed());
        if (content != "<none>") {
            QFile lock(QString::fromStdString((data / "config" / "tarvik.lock").string()));
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write(content);
        }
        const std::optional<FolderOwner> found = LivingFolderOwner(data);
        QCOMPARE(found.has_value(), owner);
        if (owner) {
            QCOMPARE(found->socket, std::filesystem::path("/run/x.sock"));
            QCOMPARE(ParseOwnerRecord(FormatOwnerRecord(*found)), found);
        }
    }

    void instanceNames() {
        QTemporaryDir tmp;
        const std::filesystem::path root = tmp.path().toStdString();
        std::filesystem::create_directories(root / "data");
        std::filesystem::create_directory_symlink(root / "data", root / "link");
        const std::filesystem::path runtime = root / "run";
        const std::filesystem::path base = InstanceBase(root / "data", runtime);
        QCOMPARE(base.parent_path(), runtime);
        QVERIFY(QString::fromStdString(base.filename().string())
                    .contains(QRegularExpression("^tarvik-[0-9a-f]{16}$")));
        // One folder, however it is spelled, is one instance; another folder is another.
        for (const std::filesystem::path& same : {root / "data/", root / "run/../data", root / "link"})
            QCOMPARE(InstanceBase(same, runtime), base);
        QVERIFY(InstanceBase(root / "other", runtime) != base);
        // A runtime folder too long for a socket name is not used.
        const std::filesystem::path deep = runtime / std::string(120, 'r');
        const std::filesystem::path fallback = InstanceBase(root / "data", deep);
        QCOMPARE(fallback.filename(), base.filename());
        QVERIFY(fallback.native().size() + 5 < 108);
    }

private:
    QTemporaryDir config_;
};

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
