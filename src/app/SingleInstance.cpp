#include "app/SingleInstance.h"

#include <QLocalSocket>
#include <QPointer>
#include <QThread>

namespace tarvik::app {

SingleInstance::SingleInstance(const std::filesystem::path& dataFolder,
                               const std::filesystem::path& runtimeFolder, QObject* parent)
    : QObject(parent) {
    const std::filesystem::path base =
        InstanceBase(dataFolder, runtimeFolder.empty() ? InstanceRuntimeFolder() : runtimeFolder);
    if (!base.empty()) {
        socketPath_ = QString::fromStdString(base.string() + ".sock");
        lockPath_ = QString::fromStdString(base.string() + ".lock");
    }
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

SingleInstance::~SingleInstance() {
    // Closing the server removes the socket file before the lock is released.
    server_.close();
}

void SingleInstance::SetVerbHandler(const std::string& verb, VerbHandler handler) {
    if (!handler) {
        handlers_.erase(verb);
        return;
    }
    handlers_[verb] = [handler = std::move(handler)](const std::string& args, const Reply& reply) {
        reply(handler(args));
    };
}

void SingleInstance::SetAsyncVerbHandler(const std::string& verb, AsyncVerbHandler handler) {
    if (handler)
        handlers_[verb] = std::move(handler);
    else
        handlers_.erase(verb);
}

void SingleInstance::SetConnectRetries(int attempts, int intervalMs) {
    attempts_ = attempts < 1 ? 1 : attempts;
    intervalMs_ = intervalMs < 0 ? 0 : intervalMs;
}

SingleInstance::Role SingleInstance::Start(std::string_view verb) {
    if (role_ == Role::Primary) return role_;
    if (lockPath_.isEmpty()) {
        problem_ = "no private runtime folder for the single-instance lock";
        return role_ = Role::Alone;
    }
    lock_ = std::make_unique<QLockFile>(lockPath_);
    // Stale only when the owner's process is gone, never by age: the primary
    // holds the lock for as long as it runs.
    lock_->setStaleLockTime(0);
    for (int attempt = 0; attempt < attempts_; ++attempt) {
        if (lock_->tryLock(0)) {
            // Only the lock holder touches the socket name: a socket file left
            // here belongs to a crashed instance.
            QLocalServer::removeServer(socketPath_);
            server_.setSocketOptions(QLocalServer::UserAccessOption);
            if (!server_.listen(socketPath_)) {
                problem_ = "cannot listen on ";
                problem_ += socketPath_.toStdString();
                problem_ += ": ";
                problem_ += server_.errorString().toStdString();
                lock_->unlock();
                return role_ = Role::Alone;
            }
            return role_ = Role::Primary;
        }
        if (lock_->error() != QLockFile::LockFailedError) {
            problem_ = "cannot create the lock file ";
            problem_ += lockPath_.toStdString();
            return role_ = Role::Alone;
        }
        // Another instance holds the lock; it may still be starting up, or be
        // on its way out (then the next round takes the lock).
        if (Deliver(verb)) {
            delivered_ = true;
            return role_ = Role::Secondary;
        }
        if (attempt + 1 < attempts_) QThread::msleep(static_cast<unsigned long>(intervalMs_));
    }
    // The holder never answered: end without showing anything.
    return role_ = Role::Secondary;
}

bool SingleInstance::Deliver(std::string_view verb) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(250)) return false;
    const std::string line = FormatRequestLine(verb);
    socket.write(line.data(), static_cast<qint64>(line.size()));
    if (!socket.waitForBytesWritten(1000)) return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(1000);
    return true;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequests(socket); });
        // A client that writes and hangs up at once leaves its line in the buffer.
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            ReadRequests(socket);
            socket->deleteLater();
        });
        // Lines may already be waiting.
        ReadRequests(socket);
    }
}

void SingleInstance::ReadRequests(QLocalSocket* socket) {
    const QPointer<QLocalSocket> alive(socket);
    while (alive && socket->canReadLine()) {
        const QByteArray line = socket->readLine(static_cast<qint64>(kMaxRequestLine) + 2);
        if (!line.endsWith('\n')) {
            // Longer than any request: not a client of ours.
            socket->abort();
            return;
        }
        const std::optional<InstanceRequest> request =
            ParseRequestLine(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        if (!request) continue;
        const auto it = handlers_.find(request->verb);
        if (it == handlers_.end() || !it->second) continue;
        // The handler may run a nested event loop (a notice), or answer later:
        // by then the client can be gone.
        it->second(request->args, [alive](const std::string& reply) {
            if (reply.empty() || !alive || alive->state() != QLocalSocket::ConnectedState) return;
            const std::string out = FormatRequestLine(reply);
            alive->write(out.data(), static_cast<qint64>(out.size()));
        });
        if (!alive) return;
    }
    if (alive && socket->bytesAvailable() > static_cast<qint64>(kMaxRequestLine) + 2) socket->abort();
}

} // namespace tarvik::app
