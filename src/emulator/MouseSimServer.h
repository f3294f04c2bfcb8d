// The daemon side of tarvik-mousesim: one VirtualMouse served on a Unix socket
// to any number of clients (docs/mousesim-protocol.md). A single-threaded poll
// loop with non-blocking sockets; a client that sends something that is not
// this protocol gets an error message, one whose frame lengths make no sense is
// disconnected, and one that vanishes takes only its own open handles with it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/DeviceIds.h"
#include "emulator/MouseSimProtocol.h"
#include "emulator/VirtualMouse.h"

namespace tarvik {

class MouseSimServer {
public:
    explicit MouseSimServer(std::shared_ptr<VirtualMouse> mouse);
    ~MouseSimServer();
    MouseSimServer(const MouseSimServer&) = delete;
    MouseSimServer& operator=(const MouseSimServer&) = delete;

    // Creates the socket with mode 0600. A stale socket file left by a daemon
    // that died is replaced; a live daemon or a file that is not a socket is
    // an error.
    bool Listen(const std::string& path, std::string* error);
    // Serves until `stopFd` becomes readable; then closes every connection and
    // removes the socket file. False, with the reason in `error`, when serving
    // failed (the connections are closed and the file removed all the same).
    bool Run(int stopFd, std::string* error = nullptr);

    // Most clients served at once; further connections are closed at once.
    static constexpr std::size_t kMaxClients = 64;
    // A client that leaves this much unread is disconnected.
    static constexpr std::size_t kMaxOutput = std::size_t{4} << 20;
    // Most handles one connection holds at once (the program's clients hold
    // one each); further opens are answered with handle 0, so a client that
    // opens without closing cannot grow the daemon's memory.
    static constexpr std::size_t kMaxHandlesPerClient = 16;

private:
    struct Client {
        int fd = -1;
        simproto::FrameReader reader;
        std::vector<std::uint8_t> out;
        bool watch = false;
        bool closeAfterFlush = false;
        bool dead = false;
    };
    struct OpenHandle {
        int client = -1;
        Identity identity = Identity::A;
        InterfaceRole role = InterfaceRole::Input;
        std::uint64_t generation = 0;
        bool gone = false;
    };

    void Accept();
    void ReadFrom(Client& client);
    void Serve(Client& client, const simproto::Message& m);
    simproto::Message Control(const simproto::Message& m);
    void Send(Client& client, const simproto::Message& m);
    void Flush(Client& client);
    void DrainInput();
    void DeliverHotplug();
    void Drop(int fd);
    void Shutdown();

    std::shared_ptr<VirtualMouse> mouse_;
    int hotplugListener_ = 0;
    std::mutex eventsMutex_;
    std::vector<hid::HotplugEvent> events_;

    int listenFd_ = -1;
    std::string path_;
    dev_t socketDev_ = 0;
    ino_t socketIno_ = 0;
    std::map<int, Client> clients_;
    std::map<std::uint32_t, OpenHandle> handles_;
    std::uint32_t nextHandle_ = 1;
};

// The default socket: $XDG_RUNTIME_DIR/tarvik-mousesim.sock, or, without a
// runtime folder, the same name in the private folder /tmp/tarvik-runtime-<uid>
// (mode 0700, checked to be the user's own), so that no other user can bind
// the name first. Empty when no such folder can be had.
std::string DefaultMouseSimSocket();

} // namespace tarvik
