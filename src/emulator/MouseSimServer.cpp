#include "emulator/MouseSimServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "emulator/SimBackend.h"
#include "startup/Startup.h"

namespace tarvik {

using simproto::Message;
using simproto::Type;

namespace {

Message Reply(Type type, std::uint32_t request) {
    Message m;
    m.type = type;
    m.request = request;
    return m;
}

Message ControlReply(std::uint32_t request, bool ok, std::string text) {
    Message m = Reply(Type::ControlReply, request);
    m.code = ok ? 1 : 0;
    m.text = std::move(text);
    return m;
}

std::optional<Identity> IdentityFromCode(std::uint8_t code) {
    if (code == 0) return Identity::A;
    if (code == 1) return Identity::B;
    return std::nullopt;
}

} // namespace

std::string DefaultMouseSimSocket() {
    const std::filesystem::path folder = UserRuntimeFolder();
    if (folder.empty()) return {}; // no private folder: the caller must name a socket
    return (folder / "tarvik-mousesim.sock").string();
}

MouseSimServer::MouseSimServer(std::shared_ptr<VirtualMouse> mouse) : mouse_(std::move(mouse)) {
    // Plug and unplug happen on the serving thread (control requests); the
    // events are collected here and delivered after the request is answered.
    hotplugListener_ = mouse_->AddHotplugListener([this](hid::HotplugEvent event) {
        std::lock_guard lock(eventsMutex_);
        events_.push_back(event);
    });
}

MouseSimServer::~MouseSimServer() {
    Shutdown();
    mouse_->RemoveHotplugListener(hotplugListener_);
}

bool MouseSimServer::Listen(const std::string& path, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        return fail("socket path is empty or too long: " + path);
    std::memcpy(addr.sun_path, path.data(), path.size());

    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) return fail(path + " exists and is not a socket");
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool live =
            probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (probe >= 0) ::close(probe);
        if (live) return fail("another tarvik-mousesim is serving " + path);
        ::unlink(path.c_str()); // left behind by a daemon that did not end cleanly
    }

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return fail(std::string("socket: ") + std::strerror(errno));
    // Created with mode 0600 from the start: no moment in which others may connect.
    const mode_t old = ::umask(0177);
    const int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    const int bindError = errno;
    ::umask(old);
    if (bound < 0) {
        ::close(fd);
        return fail("cannot create " + path + ": " + std::strerror(bindError));
    }
    ::chmod(path.c_str(), 0600);
    if (::listen(fd, 16) < 0 || lstat(path.c_str(), &st) < 0) {
        const int e = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return fail(std::string("listen: ") + std::strerror(e));
    }
    listenFd_ = fd;
    path_ = path;
    socketDev_ = st.st_dev;
    socketIno_ = st.st_ino;
    return true;
}

bool MouseSimServer::Run(int stopFd, std::string* error) {
    std::vector<pollfd> fds;
    std::vector<int> order;
    for (;;) {
        fds.clear();
        order.clear();
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        for (auto& [fd, client] : clients_) {
            fds.push_back({fd, static_cast<short>(POLLIN | (client.out.empty() ? 0 : POLLOUT)), 0});
            order.push_back(fd);
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            if (error) {
                *error = "waiting for clients failed: ";
                *error += std::strerror(errno);
            }
            Shutdown();
            return false;
        }
        if (fds[0].revents & POLLNVAL) {
            // A stop descriptor that is not open could never end the loop.
            if (error) *error = "the stop descriptor is not open";
            Shutdown();
            return false;
        }
        if (fds[0].revents) break;
        if (fds[1].revents & POLLIN) Accept();
        for (std::size_t i = 0; i < order.size(); ++i) {
            auto it = clients_.find(order[i]);
            if (it == clients_.end()) continue;
            Client& client = it->second;
            const short ev = fds[i + 2].revents;
            if (!client.dead && (ev & POLLOUT)) Flush(client);
            if (!client.dead && (ev & (POLLIN | POLLHUP | POLLERR))) ReadFrom(client);
        }
        for (auto it = clients_.begin(); it != clients_.end();) {
            const int fd = it->first;
            ++it;
            if (clients_[fd].dead) Drop(fd);
        }
    }
    Shutdown();
    return true;
}

void MouseSimServer::Accept() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return; // EAGAIN: all taken; anything else: try again at the next wake-up
        }
        if (clients_.size() >= kMaxClients) {
            ::close(fd);
            continue;
        }
        clients_[fd].fd = fd;
    }
}

void MouseSimServer::ReadFrom(Client& client) {
    std::uint8_t buf[16384];
    for (;;) {
        const ssize_t n = ::recv(client.fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
            // Gone, possibly in the middle of a message: what it had sent of
            // that message goes with it.
            client.dead = true;
            return;
        }
        if (client.closeAfterFlush) continue; // its stream is broken; ignore the rest
        client.reader.Feed({buf, static_cast<std::size_t>(n)});
        std::vector<std::uint8_t> body;
        simproto::FrameReader::Status status;
        while ((status = client.reader.Next(body)) == simproto::FrameReader::Status::Body) {
            std::string error;
            auto m = simproto::Decode(body, &error);
            if (m) {
                Serve(client, *m);
            } else {
                Message e = Reply(Type::Error, 0);
                e.text = error;
                Send(client, e);
            }
            DeliverHotplug();
            DrainInput();
            if (client.dead) return;
        }
        if (status == simproto::FrameReader::Status::Broken) {
            Message e = Reply(Type::Error, 0);
            e.text = "frame length out of range; closing the connection";
            Send(client, e);
            client.closeAfterFlush = true;
            if (client.out.empty()) client.dead = true;
        }
    }
}

void MouseSimServer::Serve(Client& client, const Message& m) {
    switch (m.type) {
    case Type::Enumerate: {
        Message r = Reply(Type::EnumerateReply, m.request);
        SimBackend sim(mouse_);
        r.interfaces = sim.Enumerate();
        Send(client, r);
        return;
    }
    case Type::Open: {
        Message r = Reply(Type::OpenReply, m.request);
        const auto held = std::count_if(handles_.begin(), handles_.end(),
                                        [&](const auto& h) { return h.second.client == client.fd; });
        if (static_cast<std::size_t>(held) >= kMaxHandlesPerClient) {
            Send(client, r); // handle 0: refused
            return;
        }
        for (Identity id : kIdentities) {
            for (InterfaceRole role : {InterfaceRole::Input, InterfaceRole::Feature}) {
                if (m.text != SimBackend::PathOf(id, role) || !mouse_->Plugged(id)) continue;
                const std::uint32_t handle = nextHandle_++;
                if (nextHandle_ == 0) nextHandle_ = 1;
                handles_[handle] = {client.fd, id, role, mouse_->Generation(id), false};
                r.handle = handle;
                r.info.path = m.text;
                r.info.vendorId = kVendorId;
                r.info.productId = ProductIdOf(id);
                r.info.inputReportLength = role == InterfaceRole::Input ? kMouseReportLength : 0;
                r.info.featureReportLength = role == InterfaceRole::Feature ? kMouseReportLength : 0;
            }
        }
        Send(client, r);
        return;
    }
    case Type::Close: {
        auto it = handles_.find(m.handle);
        if (it != handles_.end() && it->second.client == client.fd) handles_.erase(it);
        return;
    }
    case Type::SetFeature:
    case Type::GetFeature: {
        const bool set = m.type == Type::SetFeature;
        Message r = Reply(set ? Type::SetFeatureReply : Type::GetFeatureReply, m.request);
        auto it = handles_.find(m.handle);
        const bool usable = it != handles_.end() && it->second.client == client.fd &&
                            it->second.role == InterfaceRole::Feature && !m.data.empty();
        if (usable && set) {
            r.code = mouse_->SetFeature(it->second.identity, it->second.generation, m.data) ? 1 : 0;
        } else if (usable) {
            std::vector<std::uint8_t> data = m.data;
            if (mouse_->GetFeature(it->second.identity, it->second.generation, data)) {
                r.code = 1;
                r.data = std::move(data);
            }
        }
        Send(client, r);
        return;
    }
    case Type::Watch:
        client.watch = true;
        Send(client, ControlReply(m.request, true, "watching"));
        return;
    case Type::Plug:
    case Type::Unplug:
    case Type::PressDpi:
    case Type::SetBattery:
    case Type::SetSensor:
    case Type::Dump:
        Send(client, Control(m));
        return;
    default: {
        Message e = Reply(Type::Error, m.request);
        e.text = "not a request";
        Send(client, e);
        return;
    }
    }
}

Message MouseSimServer::Control(const Message& m) {
    switch (m.type) {
    case Type::Plug:
    case Type::Unplug: {
        auto id = IdentityFromCode(m.code);
        if (!id) return ControlReply(m.request, false, "unknown identity (A or B)");
        const bool plug = m.type == Type::Plug;
        const bool was = mouse_->Plugged(*id);
        if (plug)
            mouse_->Plug(*id);
        else
            mouse_->Unplug(*id);
        std::string text = std::string(NameOf(*id)) + (plug ? " plugged" : " unplugged");
        if (was == plug) text += " (it already was)";
        return ControlReply(m.request, true, text);
    }
    case Type::PressDpi: {
        if (!mouse_->Plugged(Identity::A) && !mouse_->Plugged(Identity::B))
            return ControlReply(m.request, false, "no identity is plugged");
        if (!mouse_->PressDpiButton(m.code))
            return ControlReply(m.request, false,
                                "level " + std::to_string(m.code) + " is not one of the enabled DPI levels");
        const VirtualMouse::State s = mouse_->Snapshot();
        return ControlReply(m.request, true,
                            "DPI level " + std::to_string(s.dpiLevel + 1) + " reported on " +
                                (s.plugged[0] ? "A" : "B"));
    }
    case Type::SetBattery: {
        if (m.code > 100 || m.code2 > 2)
            return ControlReply(m.request, false, "battery is 0-100 %, state 0-2");
        mouse_->SetBattery(m.code);
        mouse_->SetChargeState(m.code2);
        static const char* const kStates[] = {"not charging", "charging", "full"};
        return ControlReply(m.request, true, "battery " + std::to_string(m.code) + "%, " + kStates[m.code2]);
    }
    case Type::SetSensor: {
        mouse_->SetSensorCode(m.code);
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", m.code);
        return ControlReply(m.request, true, std::string("sensor code ") + hex);
    }
    case Type::Dump: {
        const nlohmann::ordered_json doc = mouse_->Dump();
        if (m.code == 1) return ControlReply(m.request, true, doc.dump(2));
        std::string text;
        for (const auto& [key, value] : doc.items()) {
            if (!text.empty()) text += "\n";
            text += key + ": " + value.dump();
        }
        return ControlReply(m.request, true, text);
    }
    default:
        return ControlReply(m.request, false, "not a control request");
    }
}

void MouseSimServer::Send(Client& client, const Message& m) {
    if (client.dead) return;
    const std::vector<std::uint8_t> frame = simproto::Encode(m);
    if (client.out.size() + frame.size() > kMaxOutput) {
        client.dead = true; // it stopped reading
        return;
    }
    client.out.insert(client.out.end(), frame.begin(), frame.end());
    Flush(client);
}

void MouseSimServer::Flush(Client& client) {
    while (!client.out.empty()) {
        const ssize_t n = ::send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            client.dead = true;
            return;
        }
        client.out.erase(client.out.begin(), client.out.begin() + n);
    }
    if (client.closeAfterFlush) client.dead = true;
}

void MouseSimServer::DrainInput() {
    // The daemon is the only reader of the mouse's input queues; each report
    // goes to every connection that holds that identity's input interface open,
    // as each open hidraw node gets its own copy.
    std::array<std::uint8_t, 64> buf{};
    for (Identity id : kIdentities) {
        bool woken = false;
        for (;;) {
            const hid::ReadResult r = mouse_->ReadInput(id, mouse_->Generation(id), buf, 0, woken);
            if (r.status != hid::ReadStatus::Report) break;
            Message input;
            input.type = Type::Input;
            input.data.assign(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(r.length));
            for (auto& [handle, h] : handles_) {
                if (h.identity != id || h.role != InterfaceRole::Input || h.gone) continue;
                auto c = clients_.find(h.client);
                if (c == clients_.end()) continue;
                input.handle = handle;
                Send(c->second, input);
            }
        }
    }
}

void MouseSimServer::DeliverHotplug() {
    std::vector<hid::HotplugEvent> events;
    {
        std::lock_guard lock(eventsMutex_);
        events.swap(events_);
    }
    for (hid::HotplugEvent event : events) {
        if (event == hid::HotplugEvent::Removal) {
            // Handles opened before the unplug are dead, as a removed hidraw node is.
            for (auto& [handle, h] : handles_) {
                if (h.gone || mouse_->Generation(h.identity) == h.generation) continue;
                h.gone = true;
                auto c = clients_.find(h.client);
                if (c == clients_.end()) continue;
                Message gone;
                gone.type = Type::Gone;
                gone.handle = handle;
                Send(c->second, gone);
            }
        }
        Message note;
        note.type = Type::Hotplug;
        note.code = event == hid::HotplugEvent::Arrival ? 0 : 1;
        for (auto& [fd, client] : clients_) {
            if (client.watch) Send(client, note);
        }
    }
}

void MouseSimServer::Drop(int fd) {
    for (auto it = handles_.begin(); it != handles_.end();) {
        if (it->second.client == fd)
            it = handles_.erase(it);
        else
            ++it;
    }
    ::close(fd);
    clients_.erase(fd);
}

void MouseSimServer::Shutdown() {
    while (!clients_.empty()) Drop(clients_.begin()->first);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        // Only our own socket: another daemon may have taken the name since.
        struct stat st {};
        if (lstat(path_.c_str(), &st) == 0 && st.st_dev == socketDev_ && st.st_ino == socketIno_)
            ::unlink(path_.c_str());
    }
}

} // namespace tarvik
