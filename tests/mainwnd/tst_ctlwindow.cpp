// tarvikctl beside the running window: its changing commands are carried out
// by the window (its model, its device link, its delayed save), reading
// commands read the files, and a window that does not answer makes tarvikctl
// give up within its bound without writing anything. tarvikctl, tarvik and
// tarvik-mousesim run as real processes; the in-process cases run tarvikctl
// against a window of this test.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>

#include "MainWindowHarness.h"
#include "app/SingleInstance.h"
#include "commands/CtlCommands.h"
#include "macro/MacroFiles.h"
#include "macro/MacroLibrary.h"
#include "mainwnd/MainLayout.h"
#include "mainwnd/ProfileNameDlg.h"
#include "text/U16.h"

using namespace tarvik;
using namespace mainwndtest;

namespace {

constexpr int kWait = 20000; // only reached when something is broken

struct Run {
    int exitCode = -1;
    QString out, err;
};

// Runs a program to its end while this test's event loop goes on (the window
// of an in-process case answers from it).
Run RunProgram(const QString& program, const QStringList& args, const QString& runtime,
               const QString& workingDir = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // An empty runtime: no XDG_RUNTIME_DIR at all (cron, ssh -T, su).
    if (runtime.isEmpty())
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    else
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.remove(QStringLiteral("TARVIK_HID"));
    p.setProcessEnvironment(env);
    if (!workingDir.isEmpty()) p.setWorkingDirectory(workingDir);
    p.start(program, args);
    Run r;
    if (!QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, kWait)) {
        p.kill();
        p.waitForFinished(kWait);
        return r;
    }
    if (p.exitStatus() == QProcess::NormalExit) r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Run Ctl(const QString& data, const QString& runtime, const QStringList& args,
        const QString& workingDir = {}) {
    return RunProgram(QStringLiteral(TARVIKCTL), QStringList{QStringLiteral("--data-dir"), data} + args,
                      runtime, workingDir);
}

QJsonObject Dump(const QString& socket) {
    QProcess p;
    p.start(QStringLiteral(TARVIK_MOUSESIM), {QStringLiteral("ctl"), QStringLiteral("--socket"), socket,
                                              QStringLiteral("dump"), QStringLiteral("--json")});
    p.waitForFinished(kWait);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A program of the project, ended (killed) with the test.
struct Child {
    QProcess process;
    Child(const QString& program, const QStringList& args, const QString& runtime) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(e);
        process.start(program, args);
    }
    ~Child() {
        if (process.state() == QProcess::NotRunning) return;
        ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
        process.kill();
        process.waitForFinished(kWait);
    }
};

// A `tarvik --simulate` window as a real process on a data folder of its own,
// with its socket in a runtime folder of its own; Start() returns once it
// serves and has written its first profile file.
struct SimulatedWindow {
    QTemporaryDir dir;
    const QString runtime = dir.filePath(QStringLiteral("run"));
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString slotFile = data + QStringLiteral("/config/default0.psf");
    std::unique_ptr<Child> tarvik;

    bool Start() {
        if (!QDir().mkpath(runtime)) return false;
        tarvik = std::make_unique<Child>(
            QStringLiteral(TARVIK_PROGRAM),
            QStringList{QStringLiteral("--simulate"), QStringLiteral("--data-dir"), data}, runtime);
        const app::SingleInstance names(data.toStdString(), runtime.toStdString());
        return QTest::qWaitFor([&] { return QFile::exists(names.SocketPath()) && QFile::exists(slotFile); },
                               kWait);
    }
    QProcess& Process() { return tarvik->process; }
};

std::string KeyAction3(const KeySlot& k) {
    const std::uint8_t bytes[] = {k.Action.Function, k.Action.Data1, k.Action.Data2};
    std::string s;
    for (std::uint8_t b : bytes) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", b);
        s += hex;
    }
    return s;
}

} // namespace

class TestCtlWindow : public QObject {
    Q_OBJECT
private slots:

    void requestAndResultLines_data();
    void requestAndResultLines();
    void commandsRunInTheWindow();
    void refusedBesideTheMacroManager();
    void readingCommandsReadTheFiles();
    void assignReachesTheMouseAndTheFile();
    void stoppedWindowMakesTarvikctlGiveUp();
    void ownerIsFoundThroughTheDataFolder();
    void failedSaveReachesTarvikctlAndTheExitCode();
    void forwardedProfileChangeClosesTheRenameDialog();
};

// ---- the lines on the socket

void TestCtlWindow::requestAndResultLines_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("isRequest");
    QTest::addColumn<bool>("valid");
    QTest::newRow("request") << QByteArray(R"({"command":"assign","args":{"button":2}})") << true << true;
    QTest::newRow("request without args") << QByteArray(R"({"command":"assign"})") << true << false;
    QTest::newRow("request args not an object")
        << QByteArray(R"({"command":"x","args":[1]})") << true << false;
    QTest::newRow("not json") << QByteArray(R"({"command":)") << true << false;
    QTest::newRow("result") << QByteArray(R"({"exit":3,"lines":[{"stream":"err","text":"a"}]})") << false
                            << true;
    QTest::newRow("result exit out of range") << QByteArray(R"({"exit":300,"lines":[]})") << false << false;
    QTest::newRow("result line not text")
        << QByteArray(R"({"exit":0,"lines":[{"stream":"out","text":5}]})") << false << false;
    QTest::newRow("result is an array") << QByteArray("[0]") << false << false;
}

void TestCtlWindow::requestAndResultLines() {
    QFETCH(QByteArray, json);
    QFETCH(bool, isRequest);
    QFETCH(bool, valid);
    const std::string_view text(json.constData(), static_cast<std::size_t>(json.size()));
    if (isRequest) {
        const auto r = cli::ParseCtlRequest(text);
        QCOMPARE(r.has_value(), valid);
        if (valid) QVERIFY(cli::ParseCtlRequest(cli::FormatCtlRequest(*r))->args == r->args);
    } else {
        const auto r = cli::ParseCtlResult(text);
        QCOMPARE(r.has_value(), valid);
        if (valid) QVERIFY(cli::ParseCtlResult(cli::FormatCtlResult(*r)) == r);
    }
    // Bytes that are not UTF-8 (a file name) still make a line that reads back.
    cli::CtlOutput odd;
    odd.Err("\xff\xfe name");
    const auto back = cli::ParseCtlResult(cli::FormatCtlResult(odd));
    QVERIFY(back.has_value());
    QCOMPARE(back->lines.size(), std::size_t(1));
}

// ---- a window of this test, tarvikctl as a real process

void TestCtlWindow::commandsRunInTheWindow() {
    QTemporaryDir files;
    const QString runtime = files.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime));
    Harness h(1.0, [](const QString& config) {
        // The library of the macro tests: "Copy" at the top, the folder "Office".
        QFile in(QStringLiteral(TARVIK_TEST_DATA "/macro/data/library.mlf.txt"));
        QVERIFY(in.open(QIODevice::ReadOnly));
        const std::u16string text = FromUtf8(in.readAll().toStdString());
        QFile out(config + QStringLiteral("/MacroLibraryFile.mlf"));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("\xFF\xFE", 2);
        out.write(reinterpret_cast<const char*>(text.data()), static_cast<qint64>(text.size() * 2));
    });
    app::SingleInstance instance(h.DataFolder(), runtime.toStdString());
    QCOMPARE(instance.Start(), app::SingleInstance::Role::Primary);
    ServeCtlCommands(instance, *h.window);
    QVERIFY(h.Start());
    const QString data = h.dir.path();

    // Files to import, named relative to tarvikctl's working folder: the window
    // runs elsewhere and gets them as absolute paths.
    ProfileRecord other = h.Model().Profiles[2];
    other.Settings[kSetProfileName].Value = u"Imported";
    {
        SettingsModel scratch;
        scratch.Profiles[0] = other;
        QVERIFY(scratch.ExportProfile(0, files.filePath(QStringLiteral("in.psf")).toStdString()).ok());
    }
    QFile damaged(files.filePath(QStringLiteral("bad.psf")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("\xFF\xFEnot a profile");
    damaged.close();
    QVERIFY(ExportLibrary(*h.data.library, FindByPath(*h.data.library, u"Copy"),
                          files.filePath(QStringLiteral("copy.mkf")).toStdString())
                .ok());

    const int current = h.Model().GetCurrentProfile();
    const int shown = h.Model().GetShowCount();
    const auto key = [&h](int slot, int button) {
        return h.Model().Profiles[static_cast<std::size_t>(slot)].Keys[static_cast<std::size_t>(button - 1)];
    };
    struct Row {
        const char* name;
        QStringList args;
        int exitCode;
        const char* printed; // on stdout or stderr
        std::function<bool()> inWindow;
    };
    const std::vector<Row> rows = {
        {"assign",
         {"assign", "--button", "2", "middle"},
         0,
         "button 2: \"",
         [&] {
             return KeyAction3(key(current, 2)) == "100400" && h.mouse->Snapshot().buttons[1] &&
                    (*h.mouse->Snapshot().buttons[1])[1] == 0x04;
         }},
        {"left-button rule",
         {"assign", "--button", "1", "right"},
         3,
         "left click again",
         [&] { return KeyAction3(key(current, 1)) == "100100"; }},
        {"unknown function (read by the window)",
         {"assign", "--button", "3", "media", "nope"},
         2,
         "unknown media name",
         [] { return true; }},
        {"profile add",
         {"profile", "add", "Work"},
         0,
         "added slot",
         [&] { return h.Model().GetShowCount() == shown + 1; }},
        {"profile rename",
         {"profile", "rename", "1", "Renamed"},
         0,
         "renamed slot 1 \"Renamed\"",
         [&] { return h.Model().Profiles[1].Settings[kSetProfileName].Value == u"Renamed"; }},
        {"profile select",
         {"profile", "select", "1"},
         0,
         "selected slot 1",
         [&] { return h.Model().GetCurrentProfile() == 1; }},
        {"profile delete of the current slot", {"profile", "delete", "1"}, 1, "notice", [] { return true; }},
        {"import",
         {"import", "--slot", "0", "in.psf"},
         0,
         "",
         [&] { return h.Model().Profiles[0].Settings[kSetProfileName].Value == u"Imported"; }},
        {"import of a damaged file",
         {"import", "--slot", "0", "bad.psf"},
         1,
         "tarvik: ",
         [&] { return h.Model().Profiles[0].Settings[kSetProfileName].Value == u"Imported"; }},
        {"macro import",
         {"macro", "import", "copy.mkf", "--into", "Office"},
         0,
         "imported 1 node",
         [&] { return FindByPath(*h.data.library, u"Office/Copy").IsNode(); }},
        {"apply",
         {"apply", "--slot", "0"},
         0,
         "sent to",
         [&] { return h.Model().GetCurrentProfile() == 0 && h.mouse->Snapshot().buttons[0].has_value(); }},
        {"reset",
         {"reset", "--yes"},
         0,
         "mouse reset",
         [&] { return h.mouse->Snapshot().factoryResets == 1; }},
        {"status (asked through the window's mouse)", {"status"}, 0, "identity ", [] { return true; }},
        {"init (the window writes its files)", {"init"}, 0, "", [] { return true; }},
    };
    for (const Row& row : rows) {
        const Run r = Ctl(data, runtime, row.args, files.path());
        const QString all = r.out + r.err;
        QVERIFY2(r.exitCode == row.exitCode,
                 qPrintable(QString::fromLatin1(row.name) + QStringLiteral(": ") + all));
        QVERIFY2(all.contains(QString::fromUtf8(row.printed)),
                 qPrintable(QString::fromLatin1(row.name) + ": " + all));
        // A profile change is on disk by the time tarvikctl has its answer, so
        // a reading command run next reads it.
        if (QLatin1String(row.name) == QLatin1String("profile rename"))
            QCOMPARE(ReadProfile(h.SlotFile(1)).Settings[kSetProfileName].Value, std::u16string(u"Renamed"));
        // So is an assignment: no delayed save stands between the answer and the file.
        if (QLatin1String(row.name) == QLatin1String("assign"))
            QCOMPARE(KeyAction3(ReadProfile(h.SlotFile(current)).Keys[1]), std::string("100400"));
        if (QLatin1String(row.name) == QLatin1String("macro import")) {
            MacroLibrary written;
            QVERIFY(static_cast<bool>(LoadMainLibrary(written, MacroLibraryPath(h.DataFolder()))));
            QVERIFY(FindByPath(written, u"Office/Copy").IsNode());
        }
        // The device side answers on this event loop.
        QVERIFY2(h.RunUntil(row.inWindow), row.name);
    }
    // The window's exit writes what its delayed save has not yet.
    h.session->Shutdown();
    const ProfileRecord saved = ReadProfile(h.SlotFile(0));
    QCOMPARE(saved.Settings[kSetProfileName].Value, std::u16string(u"Imported"));
    QVERIFY(saved.Keys == h.Model().Profiles[0].Keys);
}

void TestCtlWindow::refusedBesideTheMacroManager() {
    QTemporaryDir files;
    const QString runtime = files.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime));
    Harness h;
    app::SingleInstance instance(h.DataFolder(), runtime.toStdString());
    QCOMPARE(instance.Start(), app::SingleInstance::Role::Primary);
    ServeCtlCommands(instance, *h.window);
    QVERIFY(h.Start());
    h.ClickControl(mainwnd::kIdMacroManager);
    QVERIFY(h.RunUntil([&] { return h.window->MacroManagerOpen(); }));
    const KeySlot before = h.Current().Keys[1];
    const Run r = Ctl(h.dir.path(), runtime,
                      {QStringLiteral("assign"), QStringLiteral("--button"), QStringLiteral("2"),
                       QStringLiteral("middle")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("macro manager open")), qPrintable(r.err));
    QVERIFY(h.Current().Keys[1] == before);
}

void TestCtlWindow::readingCommandsReadTheFiles() {
    QTemporaryDir files;
    const QString runtime = files.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime));
    Harness h;
    app::SingleInstance instance(h.DataFolder(), runtime.toStdString());
    QCOMPARE(instance.Start(), app::SingleInstance::Role::Primary);
    ServeCtlCommands(instance, *h.window);
    QVERIFY(h.Start());
    // A change the window holds and has not saved yet.
    h.Current().Settings[kSetProfileName].Value = u"Unsaved";
    const Run r = Ctl(h.dir.path(), runtime, {QStringLiteral("show"), QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject shown = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QVERIFY2(!shown.isEmpty(), qPrintable(r.out + r.err));
    QVERIFY(!r.out.contains(QStringLiteral("Unsaved")));
}

// ---- tarvik, tarvik-mousesim and tarvikctl as real processes

void TestCtlWindow::assignReachesTheMouseAndTheFile() {
    QTemporaryDir dir;
    const QString runtime = dir.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime));
    const QString socket = dir.filePath(QStringLiteral("mouse.sock"));
    const QString data = dir.filePath(QStringLiteral("data"));
    Child sim(QStringLiteral(TARVIK_MOUSESIM), {QStringLiteral("--socket"), socket}, runtime);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), kWait);
    Child tarvik(
        QStringLiteral(TARVIK_PROGRAM),
        {QStringLiteral("--hid"), QStringLiteral("socket:") + socket, QStringLiteral("--data-dir"), data},
        runtime);
    app::SingleInstance names(data.toStdString(), runtime.toStdString());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(names.SocketPath()), kWait);
    // The start-up status query: the window has found the mouse.
    QTRY_VERIFY_WITH_TIMEOUT(Dump(socket).value(QStringLiteral("framesReceived")).toInt() > 0, kWait);
    const QString slotFile = data + QStringLiteral("/config/default0.psf");

    // --hid names no mouse here: the window's device link sends.
    const Run r = Ctl(data, runtime,
                      {QStringLiteral("--hid"), QStringLiteral("sim"), QStringLiteral("assign"),
                       QStringLiteral("--button"), QStringLiteral("2"), QStringLiteral("middle")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QCOMPARE(r.out, QStringLiteral("slot 0 button 2: \"Middle Click\" 10 04 00\n"));
    QTRY_COMPARE_WITH_TIMEOUT(Dump(socket).value(QStringLiteral("buttons")).toArray().at(1).toString(),
                              QStringLiteral("100400"), kWait);
    // The window's delayed save writes it, and its exit keeps it.
    QTRY_VERIFY_WITH_TIMEOUT(KeyAction3(ReadProfile(slotFile).Keys[1]) == "100400", kWait);
    tarvik.process.terminate();
    QVERIFY(tarvik.process.waitForFinished(kWait));
    QCOMPARE(tarvik.process.exitCode(), 0);
    QCOMPARE(KeyAction3(ReadProfile(slotFile).Keys[1]), std::string("100400"));

    // Without the window tarvikctl works on the files itself.
    const Run alone = Ctl(
        data, runtime,
        {QStringLiteral("assign"), QStringLiteral("--button"), QStringLiteral("2"), QStringLiteral("right")});
    QVERIFY2(alone.exitCode == 0, qPrintable(alone.out + alone.err));
    QCOMPARE(KeyAction3(ReadProfile(slotFile).Keys[1]), std::string("100200"));
}

void TestCtlWindow::stoppedWindowMakesTarvikctlGiveUp() {
    SimulatedWindow w;
    QVERIFY(w.Start());
    const QString &runtime = w.runtime, &data = w.data, &slotFile = w.slotFile;
    Child& tarvik = *w.tarvik;
    const QByteArray before = FileBytes(slotFile);
    const std::string buttonBefore = KeyAction3(ReadProfile(slotFile).Keys[1]);
    const auto pid = static_cast<pid_t>(tarvik.process.processId());

    QCOMPARE(::kill(pid, SIGSTOP), 0);
    const Run r = Ctl(data, runtime,
                      {QStringLiteral("--lock-timeout"), QStringLiteral("1"), QStringLiteral("assign"),
                       QStringLiteral("--button"), QStringLiteral("2"), QStringLiteral("dpi-up")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("did not take the command in time")), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("nothing was changed")), qPrintable(r.err));
    const Run added = Ctl(data, runtime,
                          {QStringLiteral("--lock-timeout"), QStringLiteral("1"), QStringLiteral("profile"),
                           QStringLiteral("add"), QStringLiteral("Retry")});
    QCOMPARE(added.exitCode, 1);
    // tarvikctl wrote nothing beside the stopped window.
    QCOMPARE(FileBytes(slotFile), before);

    // Woken up, the window finds the two requests its clients gave up on, and
    // carries out neither: the user's retry makes the only "Retry".
    QCOMPARE(::kill(pid, SIGCONT), 0);
    const Run retry =
        Ctl(data, runtime, {QStringLiteral("profile"), QStringLiteral("add"), QStringLiteral("Retry")});
    QVERIFY2(retry.exitCode == 0, qPrintable(retry.err));
    const Run shown =
        Ctl(data, runtime, {QStringLiteral("show"), QStringLiteral("--all"), QStringLiteral("--json")});
    QCOMPARE(shown.out.count(QStringLiteral("\"Retry\"")), 1);
    tarvik.process.terminate();
    QVERIFY(tarvik.process.waitForFinished(kWait));
    QCOMPARE(tarvik.process.exitCode(), 0);
    QCOMPARE(KeyAction3(ReadProfile(slotFile).Keys[1]), buttonBefore);
}

// Whatever tarvikctl's environment says (no XDG_RUNTIME_DIR, another one), the
// window that owns the data folder is found through the folder and gets the
// change, and a second window for the folder brings the first one up instead
// of starting beside it.
void TestCtlWindow::ownerIsFoundThroughTheDataFolder() {
    SimulatedWindow w;
    QVERIFY(w.Start());
    const QString &data = w.data, &slotFile = w.slotFile;
    Child& tarvik = *w.tarvik;
    const QString elsewhere = w.dir.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));

    const Run noRuntime = Ctl(
        data, QString(),
        {QStringLiteral("profile"), QStringLiteral("rename"), QStringLiteral("0"), QStringLiteral("Cron")});
    QVERIFY2(noRuntime.exitCode == 0, qPrintable(noRuntime.err));
    const Run other = Ctl(data, elsewhere,
                          {QStringLiteral("assign"), QStringLiteral("--button"), QStringLiteral("2"),
                           QStringLiteral("middle")});
    QVERIFY2(other.exitCode == 0, qPrintable(other.err));
    const Run status = Ctl(data, QString(), {QStringLiteral("status")});
    QVERIFY2(status.exitCode == 0 && status.out.contains(QStringLiteral("identity ")),
             qPrintable(status.err));

    // A second window, started with another runtime folder, does not run beside it.
    const Run second =
        RunProgram(QStringLiteral(TARVIK_PROGRAM),
                   {QStringLiteral("--simulate"), QStringLiteral("--data-dir"), data}, elsewhere);
    QCOMPARE(second.exitCode, 0);
    QCOMPARE(tarvik.process.state(), QProcess::Running);

    // The window's exit writes over nothing it was told.
    tarvik.process.terminate();
    QVERIFY(tarvik.process.waitForFinished(kWait));
    QCOMPARE(tarvik.process.exitCode(), 0);
    QCOMPARE(ReadProfile(slotFile).Settings[kSetProfileName].Value, std::u16string(u"Cron"));
    QCOMPARE(KeyAction3(ReadProfile(slotFile).Keys[1]), std::string("100400"));
}

// A write the window cannot make reaches the tarvikctl that asked for it as
// exit 1, and the window's last save at its end as a non-zero exit code.
void TestCtlWindow::failedSaveReachesTarvikctlAndTheExitCode() {
    SimulatedWindow w;
    QVERIFY(w.Start());
    const QString &runtime = w.runtime, &data = w.data, &slotFile = w.slotFile;
    Child& tarvik = *w.tarvik;
    // A folder where the profile file was: no save can rename over it (also as root).
    QVERIFY(QFile::remove(slotFile));
    QVERIFY(QDir().mkdir(slotFile));

    const Run r = Ctl(data, runtime,
                      {QStringLiteral("assign"), QStringLiteral("--button"), QStringLiteral("2"),
                       QStringLiteral("middle")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("could not be saved")), qPrintable(r.err));
    tarvik.process.terminate();
    QVERIFY(tarvik.process.waitForFinished(kWait));
    QCOMPARE(tarvik.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tarvik.process.exitCode(), 1);
    QVERIFY(QString::fromUtf8(tarvik.process.readAllStandardError()).contains(QStringLiteral("at exit")));
}

// A forwarded command that changes the profile list closes the rename
// dialog that was opened for a slot: its OK cannot rename another profile.
void TestCtlWindow::forwardedProfileChangeClosesTheRenameDialog() {
    QTemporaryDir files;
    const QString runtime = files.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime));
    Harness h;
    app::SingleInstance instance(h.DataFolder(), runtime.toStdString());
    QCOMPARE(instance.Start(), app::SingleInstance::Role::Primary);
    ServeCtlCommands(instance, *h.window);
    QVERIFY(h.Start());
    SettingsModel& m = h.Model();
    m.SetShowCount(3);
    const int slot = m.GetShowList(2);
    h.ClickControl(mainwnd::kIdProfileButton);
    auto* list = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileList));
    QVERIFY(list);
    QVERIFY(QTest::qWaitForWindowExposed(list));
    ClickItem(*list, 2 + 2, Qt::RightButton);
    auto* menu = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileCommands));
    QVERIFY(menu);
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    ClickItem(*menu, 2 + 1); // rename
    QVERIFY(h.RunUntil([&] { return dynamic_cast<CEditProfileDlg*>(h.window->ActiveDialog()) != nullptr; }));
    const QPointer<QDialog> dialog = h.window->ActiveDialog();

    const Run deleted = Ctl(h.dir.path(), runtime,
                            {QStringLiteral("profile"), QStringLiteral("delete"), QString::number(slot)});
    QVERIFY2(deleted.exitCode == 0, qPrintable(deleted.err));
    const Run added = Ctl(h.dir.path(), runtime,
                          {QStringLiteral("profile"), QStringLiteral("add"), QStringLiteral("Intruder")});
    QVERIFY2(added.exitCode == 0, qPrintable(added.err));
    QVERIFY(h.RunUntil([&] { return dialog.isNull() || !dialog->isVisible(); }));
    QCOMPARE(m.Profiles[static_cast<std::size_t>(m.GetShowList(2))].Settings[kSetProfileName].Value,
             std::u16string(u"Intruder"));
}

QTEST_MAIN(TestCtlWindow)
#include "tst_ctlwindow.moc"
