// One running instance per data folder: the instance that holds the folder's
// lock (config/tarvik.lock) owns the folder for its whole life. It listens on a
// user-only local socket and names it in the lock file's owner record, so a
// later start, or tarvikctl, finds it through the data folder whatever its
// environment says. A later start sends its request line ("v1 show") to the
// owner and ends. A crashed owner's lock is free again, and its socket file is
// replaced by the next owner.
//
// The server keeps at most a bounded number of clients, drops a client that
// stays idle, and keeps listening when an accept fails (out of descriptors):
// no client can stop it for the instance's life.
#pragma once

#include <QObject>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "instance/InstanceProtocol.h"
#include "model/FolderLock.h"

class QSocketNotifier;

namespace tarvik::app {

class LocalConnection;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,   // this process owns the data folder and serves requests
        Secondary, // another instance owns it: the caller ends (see Delivered())
        Alone,     // the folder cannot be owned or the owner cannot be reachable:
                   // run without the single-instance rule (see Problem())
    };
    // Answers one request; a non-empty result goes back as the line "v1 RESULT".
    using VerbHandler = std::function<std::string(const std::string& args)>;
    // Sends "v1 RESULT" back to the client of a request, if it is still there
    // (nothing for an empty RESULT).
    using Reply = std::function<void(const std::string& result)>;
    // Answers one request now or later, through `reply`.
    using AsyncVerbHandler = std::function<void(const std::string& args, Reply reply)>;

    // The socket goes into `socketFolder`, else InstanceSocketFolder()'s (a
    // folder of a new name is made only when the instance starts to listen).
    explicit SingleInstance(const std::filesystem::path& dataFolder,
                            const std::filesystem::path& socketFolder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the owner of the data folder (which then serves requests from the
    // event loop), or sends `verb` to the owner: a blocking send with short time
    // limits, before any event loop runs.
    Role Start(std::string_view verb = kVerbShow);

    Role role() const { return role_; }
    // Secondary: whether the request reached the owner.
    bool Delivered() const { return delivered_; }
    // Why the role is Alone, or why a secondary could not deliver, for the log.
    const std::string& Problem() const { return problem_; }
    // The data folder's lock: held by a primary for its life (and by an Alone
    // instance that owns the folder but cannot serve requests).
    const FolderLock& FolderLockHeld() const { return lock_; }

    // The handler of one verb; requests with other verbs are ignored.
    void SetVerbHandler(const std::string& verb, VerbHandler handler);
    void SetAsyncVerbHandler(const std::string& verb, AsyncVerbHandler handler);
    // A verb handed over in three steps: the request is answered "v1 ready"
    // at once, and the handler runs only when the same client sends "v1 go".
    void SetCommittedVerbHandler(const std::string& verb, AsyncVerbHandler handler);

    QString SocketPath() const { return socketPath_; }
    QString LockPath() const;

    // How often and how long a second start looks for an owner that holds the
    // lock but has not written its record or is not listening yet.
    void SetConnectRetries(int attempts, int intervalMs);
    // How many clients are served at once, and how long one may stay idle
    // (connected with no request being handled).
    void SetClientLimits(int maxClients, int idleMs);
    int ClientCount() const { return static_cast<int>(clients_.size()); }

private:
    struct Client;
    struct Handler {
        AsyncVerbHandler run;
        bool committed = false;
    };
    bool Listen();
    void StopListening();
    void AcceptClients();
    void DropClient(LocalConnection* socket);
    void ReadRequests(LocalConnection* socket);
    bool Deliver(const std::filesystem::path& socket, std::string_view verb);

    std::filesystem::path dataFolder_;
    std::filesystem::path socketFolder_;
    bool ownSocketFolder_ = false; // made for this process: removed at the end
    QString socketPath_;
    FolderLock lock_;
    int listenFd_ = -1;
    QSocketNotifier* acceptNotifier_ = nullptr;
    QTimer acceptRetry_;
    std::map<LocalConnection*, std::unique_ptr<Client>> clients_;
    std::map<std::string, Handler> handlers_;
    Role role_ = Role::Alone;
    bool delivered_ = false;
    bool acceptFailureLogged_ = false;
    std::string problem_;
    int attempts_ = 100;
    int intervalMs_ = 100;
    int maxClients_ = 32;
    int idleMs_ = 5000;
};

} // namespace tarvik::app
