// One running instance per user and data folder. The first start holds a lock
// file for its whole life and listens on a user-only local socket; a later start
// sends its request line ("v1 show") to it and ends. A lock left by a crashed
// instance (its process is gone) is taken over, and the socket it left behind is
// replaced.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/InstanceProtocol.h"

class QLocalSocket;

namespace tarvik::app {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,   // this process runs the window and serves requests
        Secondary, // another instance runs: the caller ends with exit 0
        Alone,     // no lock or socket could be made: run without the single-instance rule
    };
    // Answers one request; a non-empty result goes back as the line "v1 RESULT".
    using VerbHandler = std::function<std::string(const std::string& args)>;
    // Sends "v1 RESULT" back to the client of a request, if it is still there
    // (nothing for an empty RESULT).
    using Reply = std::function<void(const std::string& result)>;
    // Answers one request now or later, through `reply`.
    using AsyncVerbHandler = std::function<void(const std::string& args, Reply reply)>;

    // Uses the runtime folder of InstanceRuntimeFolder() unless one is given.
    explicit SingleInstance(const std::filesystem::path& dataFolder,
                            const std::filesystem::path& runtimeFolder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the primary instance, or sends `verb` to the running one. Needs an
    // application object (the secondary's wait uses the event machinery).
    Role Start(std::string_view verb = kVerbShow);

    Role role() const { return role_; }
    // Secondary: whether the request reached the running instance.
    bool Delivered() const { return delivered_; }
    // Why the role is Alone, for the log.
    const std::string& Problem() const { return problem_; }

    // The handler of one verb; requests with other verbs are ignored.
    void SetVerbHandler(const std::string& verb, VerbHandler handler);
    void SetAsyncVerbHandler(const std::string& verb, AsyncVerbHandler handler);

    QString SocketPath() const { return socketPath_; }
    QString LockPath() const { return lockPath_; }

    // How often and how long a second start looks for a primary that holds the
    // lock but is not listening yet.
    void SetConnectRetries(int attempts, int intervalMs);

private:
    void OnNewConnection();
    void ReadRequests(QLocalSocket* socket);
    bool Deliver(std::string_view verb);

    QString socketPath_, lockPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    std::map<std::string, AsyncVerbHandler> handlers_;
    Role role_ = Role::Alone;
    bool delivered_ = false;
    std::string problem_;
    int attempts_ = 20;
    int intervalMs_ = 100;
};

} // namespace tarvik::app
