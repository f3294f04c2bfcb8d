#include "app/SingleInstance.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/LocalConnection.h"
#include "startup/Startup.h"
#include "text/Log.h"

namespace tarvik::app {

// One connected client: its idle deadline and, for a committed verb, the
// request that waits for its "go".
struct SingleInstance::Client {
    QTimer idle;
    std::string pendingVerb; // a request answered "ready", waiting for "go"
    std::string pendingArgs;
    bool handling = false; // a handler runs or owes the answer: not idle
};

namespace {

// The name the kernel keeps for this process, as other programs see it.
std::string OwnProcessName() {
    char name[64] = {};
    const int fd = ::open("/proc/self/comm", O_RDONLY | O_CLOEXEC);
    const ssize_t n = fd < 0 ? -1 : ::read(fd, name, sizeof name - 1);
    if (fd >= 0) ::close(fd);
    std::string text = n > 0 ? std::string(name, static_cast<std::size_t>(n)) : ProgramName();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text.empty() ? ProgramName() : text;
}

} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& dataFolder,
                               const std::filesystem::path& socketFolder, QObject* parent)
    : QObject(parent), dataFolder_(NormalisedDataFolder(dataFolder)),
      socketFolder_(socketFolder.empty() ? InstanceSocketFolder() : socketFolder) {
    if (!socketFolder_.empty()) {
        const std::filesystem::path base = InstanceBase(dataFolder_, socketFolder_);
        if (!base.empty()) socketPath_ = QString::fromStdString(base.string() + ".sock");
    }
    acceptRetry_.setSingleShot(true);
    connect(&acceptRetry_, &QTimer::timeout, this, [this] {
        if (acceptNotifier_) acceptNotifier_->setEnabled(true);
        AcceptClients();
    });
}

SingleInstance::~SingleInstance() {
    // Clients and the socket go before the lock: once the lock is free, the
    // record no longer names a living owner.
    for (auto& [socket, client] : clients_) {
        socket->disconnect(this);
        socket->Abort();
        socket->deleteLater();
    }
    clients_.clear();
    StopListening();
    lock_.Release();
}

QString SingleInstance::LockPath() const {
    return QString::fromStdString(FolderLock::LockFile(dataFolder_).string());
}

void SingleInstance::SetVerbHandler(const std::string& verb, VerbHandler handler) {
    if (!handler) {
        handlers_.erase(verb);
        return;
    }
    handlers_[verb] = {
        [handler = std::move(handler)](const std::string& args, const Reply& reply) { reply(handler(args)); },
        false};
}

void SingleInstance::SetAsyncVerbHandler(const std::string& verb, AsyncVerbHandler handler) {
    if (handler)
        handlers_[verb] = {std::move(handler), false};
    else
        handlers_.erase(verb);
}

void SingleInstance::SetCommittedVerbHandler(const std::string& verb, AsyncVerbHandler handler) {
    if (handler)
        handlers_[verb] = {std::move(handler), true};
    else
        handlers_.erase(verb);
}

void SingleInstance::SetConnectRetries(int attempts, int intervalMs) {
    attempts_ = attempts < 1 ? 1 : attempts;
    intervalMs_ = intervalMs < 0 ? 0 : intervalMs;
}

void SingleInstance::SetClientLimits(int maxClients, int idleMs) {
    maxClients_ = maxClients < 1 ? 1 : maxClients;
    idleMs_ = idleMs < 1 ? 1 : idleMs;
}

SingleInstance::Role SingleInstance::Start(std::string_view verb) {
    if (role_ == Role::Primary) return role_;
    if (std::string problem = DataFolderProblem(dataFolder_); !problem.empty()) {
        problem_ = "data folder " + dataFolder_.string() + ": " + problem;
        return role_ = Role::Alone;
    }
    if (const FileResult prepared = PrepareDataFolder(dataFolder_); !prepared) {
        problem_ = "data folder " + dataFolder_.string() + ": " + prepared.reason;
        return role_ = Role::Alone;
    }
    for (int attempt = 0; attempt < attempts_; ++attempt) {
        lock_ = FolderLock::Acquire(dataFolder_, std::chrono::milliseconds(0));
        if (lock_.Held()) {
            // The folder is ours; a socket file of an earlier owner is stale.
            if (!Listen()) return role_ = Role::Alone;
            FolderOwner owner;
            owner.pid = ::getpid();
            owner.program = OwnProcessName();
            owner.socket = socketPath_.toStdString();
            if (!lock_.WriteRecord(FormatOwnerRecord(owner))) {
                // Nobody could find this instance: it still owns the folder,
                // so a changing command waits and then gives up.
                problem_ = "cannot write the owner record into " + FolderLock::LockFile(dataFolder_).string();
                StopListening();
                return role_ = Role::Alone;
            }
            return role_ = Role::Primary;
        }
        if (lock_.failure() == FolderLock::Failure::CannotOpen) {
            // A read-only or unusable config folder: nothing can be saved there,
            // by this instance or another one.
            problem_ = "the data folder cannot be owned: " + lock_.Reason();
            return role_ = Role::Alone;
        }
        // Another program holds the folder: a running window (it has written
        // its record, or is about to), or a tarvikctl run that ends soon.
        if (const std::optional<FolderOwner> owner = LivingFolderOwner(dataFolder_)) {
            if (Deliver(owner->socket, verb)) {
                delivered_ = true;
                return role_ = Role::Secondary;
            }
        }
        if (attempt + 1 < attempts_) QThread::msleep(static_cast<unsigned long>(intervalMs_));
    }
    problem_ = "the data folder " + dataFolder_.string() +
               " is in use by another program, which did not answer; not started";
    return role_ = Role::Secondary;
}

bool SingleInstance::Listen() {
    if (socketFolder_.empty()) socketFolder_ = InstanceSocketFolder(&ownSocketFolder_);
    const std::filesystem::path base =
        socketFolder_.empty() ? std::filesystem::path() : InstanceBase(dataFolder_, socketFolder_);
    if (base.empty()) {
        problem_ = "no private folder for the instance socket";
        return false;
    }
    const std::string path = base.string() + ".sock";
    socketPath_ = QString::fromStdString(path);
    const auto fail = [&](const char* step) {
        problem_ = "cannot listen on ";
        problem_ += path;
        problem_ += " (";
        problem_ += step;
        problem_ += "): ";
        problem_ += std::strerror(errno);
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        return false;
    };
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return fail("name");
    }
    std::memcpy(address.sun_path, path.c_str(), path.size());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) return fail("socket");
    ::unlink(path.c_str());
    // Only the user may connect: the socket is made with no rights for others
    // (nothing else runs yet to be affected by the process-wide mask).
    const mode_t previous = ::umask(077);
    const int bound = ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(previous);
    if (bound != 0) return fail("bind");
    if (::listen(listenFd_, 64) != 0) return fail("listen");
    acceptNotifier_ = new QSocketNotifier(static_cast<qintptr>(listenFd_), QSocketNotifier::Read, this);
    connect(acceptNotifier_, &QSocketNotifier::activated, this, [this] { AcceptClients(); });
    return true;
}

void SingleInstance::StopListening() {
    acceptRetry_.stop();
    delete acceptNotifier_;
    acceptNotifier_ = nullptr;
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(socketPath_.toStdString().c_str());
    }
    if (ownSocketFolder_) {
        ::rmdir(socketFolder_.c_str());
        ownSocketFolder_ = false;
    }
}

void SingleInstance::AcceptClients() {
    while (listenFd_ >= 0 && static_cast<int>(clients_.size()) < maxClients_) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EAGAIN) return;
            // Out of descriptors or memory: the client stays queued; listening
            // goes on, and accepting is tried again shortly.
            if (!acceptFailureLogged_) {
                acceptFailureLogged_ = true;
                std::string message = "instance socket: a client could not be accepted (";
                message += std::strerror(errno);
                message += "); trying again";
                ReportProblem(message);
            }
            if (acceptNotifier_) acceptNotifier_->setEnabled(false);
            acceptRetry_.start(200);
            return;
        }
        // Only the user (or root) may hand over requests.
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
            (peer.uid != ::getuid() && peer.uid != 0)) {
            ::close(fd);
            continue;
        }
        // A line longer than any request (with its "\r\n") drops the client.
        auto* socket = new LocalConnection(fd, kMaxRequestLine + 2, this);
        auto client = std::make_unique<Client>();
        client->idle.setSingleShot(true);
        connect(&client->idle, &QTimer::timeout, socket, [socket] { socket->Abort(); });
        client->idle.start(idleMs_);
        clients_.emplace(socket, std::move(client));
        connect(socket, &LocalConnection::readyRead, this, [this, socket] { ReadRequests(socket); });
        // A client that writes and hangs up at once leaves its line in the buffer.
        connect(socket, &LocalConnection::closed, this, [this, socket] {
            ReadRequests(socket);
            DropClient(socket);
        });
        ReadRequests(socket);
    }
    // Full: the rest wait in the queue until a client goes.
    if (acceptNotifier_ && static_cast<int>(clients_.size()) >= maxClients_)
        acceptNotifier_->setEnabled(false);
}

void SingleInstance::DropClient(LocalConnection* socket) {
    const auto it = clients_.find(socket);
    if (it == clients_.end()) return;
    clients_.erase(it);
    socket->disconnect(this);
    socket->deleteLater();
    if (acceptNotifier_ && !acceptRetry_.isActive() && static_cast<int>(clients_.size()) < maxClients_) {
        acceptNotifier_->setEnabled(true);
        QMetaObject::invokeMethod(
            this, [this] { AcceptClients(); }, Qt::QueuedConnection);
    }
}

bool SingleInstance::Deliver(const std::filesystem::path& socketPath, std::string_view verb) {
    using std::chrono::milliseconds;
    return SendLine(socketPath, FormatRequestLine(verb), milliseconds(250), milliseconds(1000));
}

void SingleInstance::ReadRequests(LocalConnection* socket) {
    const QPointer<LocalConnection> alive(socket);
    const auto clientOf = [this](LocalConnection* s) -> Client* {
        const auto it = clients_.find(s);
        return it == clients_.end() ? nullptr : it->second.get();
    };
    while (alive) {
        const std::optional<std::string> line = socket->ReadLine();
        if (!line) break;
        const std::optional<InstanceRequest> request = ParseRequestLine(*line);
        Client* client = clientOf(socket);
        if (!request || !client) continue;
        std::string verb = request->verb;
        std::string args = request->args;
        if (verb == kVerbGo) {
            // The client still waits: the request it was told "ready" for runs now.
            if (client->pendingVerb.empty()) continue;
            verb = std::exchange(client->pendingVerb, {});
            args = std::exchange(client->pendingArgs, {});
        } else {
            const auto found = handlers_.find(verb);
            if (found == handlers_.end() || !found->second.run) continue;
            if (found->second.committed) {
                if (client->handling || !client->pendingVerb.empty()) continue; // one at a time
                client->pendingVerb = verb;
                client->pendingArgs = args;
                client->idle.start(idleMs_);
                socket->Write(FormatRequestLine(kVerbReady));
                continue;
            }
        }
        const auto it = handlers_.find(verb);
        if (it == handlers_.end() || !it->second.run) continue;
        client->handling = true;
        client->idle.stop();
        // The handler may run a nested event loop (a notice), or answer later:
        // by then the client can be gone.
        it->second.run(args, [this, alive](const std::string& reply) {
            if (!alive) return;
            if (const auto c = clients_.find(alive.data()); c != clients_.end()) {
                c->second->handling = false;
                c->second->idle.start(idleMs_);
            }
            if (!reply.empty()) alive->Write(FormatRequestLine(reply));
        });
    }
}

} // namespace tarvik::app

// moc output for the header, compiled with this file.
#include "moc_SingleInstance.cpp"
