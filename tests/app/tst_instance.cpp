// The single-instance rule and the shutdown signals, with real processes of the
// probe program, and the request protocol against a primary in this process.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include "app/LocalConnection.h"
#include "app/SingleInstance.h"

using namespace tarvik::app;

// GCC says so with __SANITIZE_ADDRESS__, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TARVIK_UNDER_SANITIZERS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVIK_UNDER_SANITIZERS 1
#endif
#endif
#ifndef TARVIK_UNDER_SANITIZERS
#define TARVIK_UNDER_SANITIZERS 0
#endif
namespace {

constexpr int kSafetyMs = 20000; // only reached when something is broken

// One probe process; its stdout is read line by line.
class Probe {
public:
    // An empty runtime: no XDG_RUNTIME_DIR at all.
    Probe(const QString& runtime, const QString& dataDir, const QStringList& extra = {},
          const QString& tmpDir = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!tmpDir.isEmpty()) env.insert(QStringLiteral("TMPDIR"), tmpDir);
        if (runtime.isEmpty())
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        else
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        process_.setProcessEnvironment(env);
        process_.setProgram(QStringLiteral(TARVIK_SHELL_PROBE));
        process_.setArguments(QStringList{QStringLiteral("--data-dir"), dataDir} + extra);
    }
    ~Probe() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kSafetyMs);
        }
    }
    void Start() { process_.start(); }
    // Waits for the next line of stdout.
    QString NextLine() {
        while (!process_.canReadLine()) {
            if (process_.state() == QProcess::NotRunning && !process_.canReadLine()) return QString();
            if (!process_.waitForReadyRead(kSafetyMs) && !process_.canReadLine()) return QString();
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }
    bool Finished() { return process_.waitForFinished(kSafetyMs); }
    QProcess& Process() { return process_; }

private:
    QProcess process_;
};

} // namespace

class TestInstance : public QObject {
    Q_OBJECT
private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        runtime_ = tmp_->filePath(QStringLiteral("run"));
        QVERIFY(QDir().mkpath(runtime_));
        data_ = tmp_->filePath(QStringLiteral("data"));
    }

    void secondStartBringsTheFirstUp() {
        Probe first(runtime_, data_);
        first.Start();
        QCOMPARE(first.NextLine(), QStringLiteral("primary"));

        SingleInstance names(data_.toStdString(), runtime_.toStdString());
        const QFileInfo socket(names.SocketPath());
        QVERIFY(socket.exists());
        // Only the user may connect.
        QCOMPARE(socket.permissions() &
                     (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
        QVERIFY(QFileInfo::exists(names.LockPath()));

        Probe second(runtime_, data_);
        second.Start();
        QVERIFY(second.Finished());
        QCOMPARE(second.Process().exitCode(), 0);
        QCOMPARE(second.NextLine(), QStringLiteral("secondary delivered"));
        QCOMPARE(first.NextLine(), QStringLiteral("show"));

        // Another data folder is another instance.
        Probe other(runtime_, tmp_->filePath(QStringLiteral("other")));
        other.Start();
        QCOMPARE(other.NextLine(), QStringLiteral("primary"));
    }

    void crashedPrimaryDoesNotBlockTheNextStart() {
        SingleInstance names(data_.toStdString(), runtime_.toStdString());
        {
            Probe crashed(runtime_, data_);
            crashed.Start();
            QCOMPARE(crashed.NextLine(), QStringLiteral("primary"));
            crashed.Process().kill(); // SIGKILL: no clean-up at all
            QVERIFY(crashed.Finished());
        }
        QVERIFY(QFileInfo::exists(names.SocketPath()));
        QVERIFY(QFileInfo::exists(names.LockPath()));

        Probe next(runtime_, data_);
        next.Start();
        QCOMPARE(next.NextLine(), QStringLiteral("primary"));
        Probe second(runtime_, data_);
        second.Start();
        QVERIFY(second.Finished());
        QCOMPARE(second.NextLine(), QStringLiteral("secondary delivered"));
        QCOMPARE(next.NextLine(), QStringLiteral("show"));
    }

    void simultaneousStartsMakeOnePrimary() {
        std::vector<std::unique_ptr<Probe>> probes;
        for (int i = 0; i < 4; ++i) probes.push_back(std::make_unique<Probe>(runtime_, data_));
        for (auto& p : probes) p->Start();
        Probe* primary = nullptr;
        int secondaries = 0;
        for (auto& p : probes) {
            const QString line = p->NextLine();
            if (line == QLatin1String("primary")) {
                QVERIFY2(!primary, "two primaries");
                primary = p.get();
            } else {
                QCOMPARE(line, QStringLiteral("secondary delivered"));
                QVERIFY(p->Finished());
                QCOMPARE(p->Process().exitCode(), 0);
                ++secondaries;
            }
        }
        QVERIFY(primary);
        QCOMPARE(secondaries, 3);
        for (int i = 0; i < secondaries; ++i) QCOMPARE(primary->NextLine(), QStringLiteral("show"));
    }

    void signalRunsTheShutdown_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalRunsTheShutdown() {
        QFETCH(int, signal);
        const QString saved = tmp_->filePath(QStringLiteral("saved"));
        Probe probe(runtime_, data_, {QStringLiteral("--save"), saved});
        probe.Start();
        QCOMPARE(probe.NextLine(), QStringLiteral("primary"));
        ::kill(static_cast<pid_t>(probe.Process().processId()), signal);
        QCOMPARE(probe.NextLine(), QStringLiteral("shutdown %1").arg(signal));
        QVERIFY(probe.Finished());
        QCOMPARE(probe.Process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.Process().exitCode(), 0);
        QFile f(saved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("saved ") + QByteArray::number(signal));
        // The instance went away cleanly: the next start is primary at once.
        SingleInstance names(data_.toStdString(), runtime_.toStdString());
        QVERIFY(!QFileInfo::exists(names.SocketPath()));
    }

    // The owner is found through the data folder: a second start with another
    // runtime folder, or none, reaches it all the same.
    void ownerIsFoundWhateverTheRuntimeFolder() {
        Probe first(runtime_, data_);
        first.Start();
        QCOMPARE(first.NextLine(), QStringLiteral("primary"));
        const QString other = tmp_->filePath(QStringLiteral("other-run"));
        QVERIFY(QDir().mkpath(other));
        for (const QString& runtime : {other, QString()}) {
            Probe second(runtime, data_);
            second.Start();
            QVERIFY(second.Finished());
            QCOMPARE(second.NextLine(), QStringLiteral("secondary delivered"));
            QCOMPARE(first.NextLine(), QStringLiteral("show"));
        }
        // The record in the folder's lock file names the owner and its socket.
        const auto owner = LivingFolderOwner(data_.toStdString());
        QVERIFY(owner.has_value());
        QCOMPARE(owner->pid, static_cast<long long>(first.Process().processId()));
        SingleInstance names(data_.toStdString(), runtime_.toStdString());
        QCOMPARE(QString::fromStdString(owner->socket.string()), names.SocketPath());
    }

    // Another user made the shared fallback folder first (and left it open to
    // all): the owner puts its socket in a folder of a new name, and a second
    // start still finds it through the data folder.
    void runtimeFolderTakenByAnotherUser() {
        if (::geteuid() != 0) QSKIP("needs root to make a folder of another user");
        const QString tmp = tmp_->filePath(QStringLiteral("tmp"));
        const QString taken = tmp + QStringLiteral("/tarvik-runtime-") + QString::number(::getuid());
        QVERIFY(QDir().mkpath(taken));
        QVERIFY(::chmod(taken.toLocal8Bit().constData(), 0777) == 0);
        QVERIFY(::chown(taken.toLocal8Bit().constData(), 65534, 65534) == 0);
        Probe first(QString(), data_, {}, tmp);
        first.Start();
        QCOMPARE(first.NextLine(), QStringLiteral("primary"));
        const auto owner = LivingFolderOwner(data_.toStdString());
        QVERIFY(owner.has_value());
        QVERIFY(!QString::fromStdString(owner->socket.string()).startsWith(taken));
        Probe second(QString(), data_, {}, tmp);
        second.Start();
        QVERIFY(second.Finished());
        QCOMPARE(second.NextLine(), QStringLiteral("secondary delivered"));
        QCOMPARE(first.NextLine(), QStringLiteral("show"));
        // Nothing was put into the other user's folder.
        QVERIFY(QDir(taken).isEmpty());
    }

    // Idle clients, more clients than the server keeps, and accepts that fail
    // for want of descriptors: the server drops and refuses what it must, and
    // keeps listening for the instance's whole life.
    void clientsCannotStopTheServer() {
        SingleInstance primary(data_.toStdString(), runtime_.toStdString());
        QCOMPARE(primary.Start(), SingleInstance::Role::Primary);
        primary.SetClientLimits(8, 300);
        int shown = 0;
        primary.SetVerbHandler("show", [&](const std::string&) {
            ++shown;
            return std::string();
        });
        const QByteArray path = primary.SocketPath().toLocal8Bit();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
        const auto connectAll = [&](std::vector<int>& fds) {
            for (int fd : fds) ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        };
        std::vector<int> idle;
        for (int i = 0; i < 40; ++i) idle.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
        // Few descriptors left: most accepts fail with EMFILE. (Not under the
        // sanitizers: their checks need descriptors of their own, a pipe, and
        // report the call they cannot check. The campaign covers it there.)
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
#if !TARVIK_UNDER_SANITIZERS
        rlimit tight = saved;
        tight.rlim_cur = static_cast<rlim_t>(*std::max_element(idle.begin(), idle.end()) + 3);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
#endif
        connectAll(idle);
        QTest::qWait(500);
        QVERIFY(primary.ClientCount() <= 8);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &saved), 0);
        // The idle ones are dropped in turn, so the queue drains.
        QTRY_COMPARE_WITH_TIMEOUT(primary.ClientCount(), 0, kSafetyMs);
        for (int fd : idle) ::close(fd);
        QVERIFY(QFileInfo::exists(primary.SocketPath()));
        QLocalSocket client;
        client.connectToServer(primary.SocketPath());
        QVERIFY(client.waitForConnected(kSafetyMs));
        client.write("v1 show\n");
        QTRY_COMPARE_WITH_TIMEOUT(shown, 1, kSafetyMs);
    }

    // Without a place for the socket the program runs on its own instead of refusing to start.
    void noRuntimeFolderRunsAlone() {
        SingleInstance alone(data_.toStdString(),
                             tmp_->filePath(QStringLiteral("missing/run")).toStdString());
        QCOMPARE(alone.Start(), SingleInstance::Role::Alone);
        QVERIFY(!alone.Problem().empty());
    }

    // A signal ignored by whoever started the program stays ignored, and a
    // second signal ends a shutdown that does not finish.
    void ignoredSignalAndSecondSignal() {
        struct sigaction ignore {
        }, previous{};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGINT, &ignore, &previous);
        Probe probe(runtime_, data_, {QStringLiteral("--keep-running"), QStringLiteral("yes")});
        probe.Start();
        ::sigaction(SIGINT, &previous, nullptr);
        QCOMPARE(probe.NextLine(), QStringLiteral("primary"));
        const auto pid = static_cast<pid_t>(probe.Process().processId());
        ::kill(pid, SIGINT);
        ::kill(pid, SIGTERM);
        QCOMPARE(probe.NextLine(), QStringLiteral("shutdown %1").arg(SIGTERM));
        QCOMPARE(probe.Process().state(), QProcess::Running);
        ::kill(pid, SIGTERM);
        QVERIFY(probe.Finished());
        QCOMPARE(probe.Process().exitStatus(), QProcess::CrashExit);
    }

    // The primary ignores what it does not understand and drops a client that
    // sends an endless line, and still serves the next request.
    void requestsOnTheWire() {
        SingleInstance primary(data_.toStdString(), runtime_.toStdString());
        QCOMPARE(primary.Start(), SingleInstance::Role::Primary);
        QStringList heard;
        primary.SetVerbHandler("show", [&](const std::string& args) {
            heard << QStringLiteral("show:") + QString::fromStdString(args);
            return std::string();
        });
        primary.SetVerbHandler("ping", [&](const std::string& args) {
            heard << QStringLiteral("ping:") + QString::fromStdString(args);
            std::string reply = "pong ";
            reply += args;
            return reply;
        });

        QLocalSocket client;
        client.connectToServer(primary.SocketPath());
        QVERIFY(client.waitForConnected(kSafetyMs));
        client.write("v2 show\nv1 unknown verb\nshow\nv1 show\nv1 ping 42\n");
        QTRY_COMPARE_WITH_TIMEOUT(heard, (QStringList{"show:", "ping:42"}), kSafetyMs);
        QTRY_VERIFY_WITH_TIMEOUT(client.canReadLine(), kSafetyMs);
        QCOMPARE(client.readLine(), QByteArray("v1 pong 42\n"));

        QLocalSocket flood;
        flood.connectToServer(primary.SocketPath());
        QVERIFY(flood.waitForConnected(kSafetyMs));
        QSignalSpy dropped(&flood, &QLocalSocket::disconnected);
        flood.write(QByteArray(64 * 1024, 'x'));
        QVERIFY(dropped.wait(kSafetyMs));

        client.write("v1 show again\n");
        QTRY_COMPARE_WITH_TIMEOUT(heard.size(), 3, kSafetyMs);
        QCOMPARE(heard.last(), QStringLiteral("show:again"));
    }

    // A reply far bigger than the socket's buffer reaches the client whole and
    // in order, written out as the client reads.
    void bigReplyIsWrittenInFull() {
        SingleInstance primary(data_.toStdString(), runtime_.toStdString());
        QCOMPARE(primary.Start(), SingleInstance::Role::Primary);
        std::string big(4 << 20, ' ');
        for (std::size_t i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>('a' + (i * 7 + i / 4093) % 26);
        primary.SetVerbHandler("big", [&](const std::string&) { return big; });

        QLocalSocket client;
        client.connectToServer(primary.SocketPath());
        QVERIFY(client.waitForConnected(kSafetyMs));
        client.write("v1 big\n");
        const QByteArray expected = QByteArray::fromStdString(FormatRequestLine(big));
        QTRY_VERIFY_WITH_TIMEOUT(client.bytesAvailable() >= expected.size(), kSafetyMs);
        QCOMPARE(client.readAll(), expected);
    }

    // A client that goes while its request is handled: a reply that finds it
    // gone is dropped (no SIGPIPE), its connection may be destroyed inside a
    // handler's nested event loop, and the server serves the next client.
    void clientGoesWhileItsRequestIsHandled() {
        SingleInstance primary(data_.toStdString(), runtime_.toStdString());
        QCOMPARE(primary.Start(), SingleInstance::Role::Primary);
        const QByteArray path = primary.SocketPath().toLocal8Bit();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
        const auto request = [&](const char* line) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
                ::send(fd, line, std::strlen(line), MSG_NOSIGNAL) !=
                    static_cast<ssize_t>(std::strlen(line))) {
                ::close(fd);
                return -1;
            }
            return fd;
        };

        SingleInstance::Reply later;
        primary.SetAsyncVerbHandler(
            "later", [&](const std::string&, SingleInstance::Reply reply) { later = std::move(reply); });
        int fd = request("v1 later\n");
        QVERIFY(fd >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(later != nullptr, kSafetyMs);
        // Gone before the server could notice: the reply meets a closed peer.
        ::close(fd);
        later(std::string(256 * 1024, 'x'));
        QTRY_COMPARE_WITH_TIMEOUT(primary.ClientCount(), 0, kSafetyMs);
        later("and again");

        bool destroyedInside = false;
        primary.SetVerbHandler("dialog", [&](const std::string&) {
            ::close(fd);
            destroyedInside = QTest::qWaitFor(
                [&] { return primary.findChildren<LocalConnection*>().isEmpty(); }, kSafetyMs);
            return std::string("too late");
        });
        fd = request("v1 dialog\n");
        QVERIFY(fd >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(destroyedInside, kSafetyMs);
        QCOMPARE(primary.ClientCount(), 0);

        primary.SetVerbHandler("ping", [](const std::string&) { return std::string("pong"); });
        QLocalSocket client;
        client.connectToServer(primary.SocketPath());
        QVERIFY(client.waitForConnected(kSafetyMs));
        client.write("v1 ping\n");
        QTRY_VERIFY_WITH_TIMEOUT(client.canReadLine(), kSafetyMs);
        QCOMPARE(client.readLine(), QByteArray("v1 pong\n"));
    }

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    QString runtime_, data_;
};

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
