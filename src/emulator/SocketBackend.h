// The backend for `--hid socket:PATH`: the virtual mouse of a running
// tarvik-mousesim, reached over its Unix socket (docs/mousesim-protocol.md).
// Enumeration and Open go through short request/reply exchanges; each open
// interface has a connection of its own, on which the daemon also pushes input
// reports and the news that the device was unplugged. While a hotplug handler
// is installed, a thread watches a further connection for arrival and removal;
// losing the daemon counts as the removal of every device.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/HidBackend.h"
#include "emulator/MouseSimProtocol.h"

namespace tarvik {

class Wakeup;

namespace simproto {

// One connection to the daemon. Send is thread-safe; receiving is left to the owner.
class Connection {
public:
    // How long a connect waits for a daemon whose queue of new connections is
    // full (a daemon that stopped accepting, e.g. stopped with SIGSTOP).
    static constexpr int kConnectTimeoutMs = 3000;

    // Null with the reason in `error` when the daemon cannot be reached within
    // `timeoutMs`, or when the socket is served by a process of another user
    // (SO_PEERCRED): anyone may bind a name in a shared folder first.
    static std::unique_ptr<Connection> Connect(const std::string& socketPath, std::string* error,
                                               int timeoutMs = kConnectTimeoutMs);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int Fd() const { return fd_; }
    bool Send(const Message& message);
    // Reads what the socket holds now (call when poll() reports it readable)
    // and appends the decoded messages. False when the daemon closed the
    // connection or sent something that is not this protocol.
    bool ReadAvailable(std::vector<Message>& out);
    // Sends `request` and waits up to `timeoutMs` for the reply carrying the
    // same request number; other messages that arrive meanwhile are dropped.
    std::optional<Message> Call(const Message& request, int timeoutMs);

private:
    explicit Connection(int fd) : fd_(fd) {}
    int fd_;
    std::mutex sendMutex_;
    FrameReader reader_;
};

} // namespace simproto

class SocketBackend final : public hid::Backend {
public:
    explicit SocketBackend(std::string socketPath);
    ~SocketBackend() override;

    std::vector<hid::InterfaceInfo> Enumerate() override;
    std::unique_ptr<hid::Device> Open(const std::string& path) override;
    void SetHotplugHandler(hid::HotplugHandler handler) override;

    const std::string& SocketPath() const { return socketPath_; }

    // How long a request waits for its reply.
    static constexpr int kReplyTimeoutMs = 3000;

private:
    void StopWatcher();
    void WatchLoop(int stopFd, std::shared_ptr<simproto::Connection> conn);
    std::unique_ptr<simproto::Connection> ConnectWatch();
    void Unreachable(const std::string& error);

    std::string socketPath_;
    std::mutex controlMutex_;
    std::unique_ptr<simproto::Connection> control_;
    std::uint32_t nextRequest_ = 1;
    std::string lastError_;

    std::mutex handlerMutex_;
    hid::HotplugHandler handler_;
    std::shared_ptr<Wakeup> stop_;
    std::thread watcher_;
};

} // namespace tarvik
