#include "emulator/SocketBackend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "device/Wakeup.h"
#include "text/Log.h"

namespace tarvik {

using simproto::Connection;
using simproto::Message;
using simproto::Type;
using Clock = std::chrono::steady_clock;

namespace {

int MillisLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

bool IsReplyTo(const Message& m, std::uint32_t request) {
    switch (m.type) {
    case Type::EnumerateReply:
    case Type::OpenReply:
    case Type::SetFeatureReply:
    case Type::GetFeatureReply:
    case Type::ControlReply:
    case Type::Error:
        return m.request == request;
    default:
        return false;
    }
}

} // namespace

// ---- Connection ----

std::unique_ptr<Connection> Connection::Connect(const std::string& socketPath, std::string* error,
                                                int timeoutMs) {
    const auto fail = [&](std::string why, int fd) -> std::unique_ptr<Connection> {
        if (error) *error = std::move(why);
        if (fd >= 0) ::close(fd);
        return nullptr;
    };
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path)
        return fail("socket path is empty or too long", -1);
    std::memcpy(addr.sun_path, socketPath.data(), socketPath.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return fail(std::strerror(errno), -1);
    // Without blocking: a Unix socket whose daemon's queue is full answers
    // EAGAIN at once, and the connect is tried again until the deadline.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) break;
        const int e = errno;
        if (e == EINTR) continue;
        if (e == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int soError = 0;
            socklen_t len = sizeof soError;
            if (::poll(&p, 1, MillisLeft(deadline)) <= 0) return fail("no answer (connect timed out)", fd);
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
            if (soError != 0) return fail(std::strerror(soError), fd);
            break;
        }
        if (e != EAGAIN) return fail(std::strerror(e), fd);
        if (Clock::now() >= deadline) return fail("no answer (its queue of connections stays full)", fd);
        ::poll(nullptr, 0, std::min(20, MillisLeft(deadline)));
    }
    // Only a daemon of this user (or root) is trusted with the requests.
    ucred peer{};
    socklen_t len = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0)
        return fail(std::string("cannot tell who serves it: ") + std::strerror(errno), fd);
    if (peer.uid != ::getuid() && peer.uid != 0) {
        std::string why = "it is served by another user (uid ";
        why += std::to_string(peer.uid);
        why += ')';
        return fail(std::move(why), fd);
    }
    // Back to blocking sends, bounded: a daemon that stops reading must not
    // hang the caller for ever.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    timeval tv{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return std::unique_ptr<Connection>(new Connection(fd));
}

Connection::~Connection() {
    ::close(fd_);
}

bool Connection::Send(const Message& message) {
    const std::vector<std::uint8_t> frame = simproto::Encode(message);
    std::lock_guard lock(sendMutex_);
    std::size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = ::send(fd_, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool Connection::ReadAvailable(std::vector<Message>& out) {
    std::uint8_t buf[16384];
    ssize_t n;
    do {
        n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n <= 0) return false;
    reader_.Feed({buf, static_cast<std::size_t>(n)});
    std::vector<std::uint8_t> body;
    for (;;) {
        const auto status = reader_.Next(body);
        if (status == simproto::FrameReader::Status::NeedMore) return true;
        if (status == simproto::FrameReader::Status::Broken) return false;
        auto m = simproto::Decode(body);
        if (!m) return false;
        out.push_back(std::move(*m));
    }
}

std::optional<Message> Connection::Call(const Message& request, int timeoutMs) {
    if (!Send(request)) return std::nullopt;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<Message> got;
    for (;;) {
        for (Message& m : got) {
            if (IsReplyTo(m, request.request)) return std::move(m);
        }
        got.clear();
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, MillisLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return std::nullopt;
        if (!ReadAvailable(got) && got.empty()) return std::nullopt;
    }
}

// ---- SocketDevice ----

namespace {

// Replies and pushed input reports share the handle's connection. Whichever
// waiting thread (a feature call or a blocked read) happens to read it files
// what arrives for the others, so a feature call goes through while a read waits.
class SocketDevice final : public hid::Device {
public:
    SocketDevice(std::unique_ptr<Connection> conn, std::uint32_t handle, hid::InterfaceInfo info)
        : conn_(std::move(conn)), handle_(handle), info_(std::move(info)) {}

    ~SocketDevice() override {
        Message close;
        close.type = Type::Close;
        close.handle = handle_;
        conn_->Send(close);
    }

    hid::InterfaceInfo Info() const override { return info_; }

    bool SetFeature(std::span<const std::uint8_t> data) override {
        Message m;
        m.type = Type::SetFeature;
        m.data.assign(data.begin(), data.end());
        auto reply = Request(std::move(m));
        return reply && reply->type == Type::SetFeatureReply && reply->code == 1;
    }

    bool GetFeature(std::span<std::uint8_t> data) override {
        if (data.empty()) return false;
        Message m;
        m.type = Type::GetFeature;
        m.data.assign(data.begin(), data.end());
        auto reply = Request(std::move(m));
        if (!reply || reply->type != Type::GetFeatureReply || reply->code != 1) return false;
        const std::size_t n = std::min(data.size(), reply->data.size());
        std::copy(reply->data.begin(), reply->data.begin() + static_cast<std::ptrdiff_t>(n), data.begin());
        return true;
    }

    hid::ReadResult ReadInput(std::span<std::uint8_t> data, int timeoutMs) override {
        std::unique_lock lock(mutex_);
        std::optional<Clock::time_point> deadline;
        if (timeoutMs >= 0) deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        Pump(
            lock, [&] { return woken_ || !inputs_.empty() || dead_; }, deadline);
        if (woken_) {
            woken_ = false;
            return {hid::ReadStatus::Woken, 0};
        }
        if (!inputs_.empty()) {
            const std::vector<std::uint8_t> report = std::move(inputs_.front());
            inputs_.pop_front();
            const std::size_t n = std::min(data.size(), report.size());
            std::copy(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(n), data.begin());
            return {hid::ReadStatus::Report, n};
        }
        if (dead_) return {hid::ReadStatus::Failed, 0};
        return {hid::ReadStatus::Timeout, 0};
    }

    void Wake() override {
        {
            std::lock_guard lock(mutex_);
            woken_ = true;
        }
        wakeup_.Signal();
        cv_.notify_all();
    }

private:
    static constexpr std::size_t kInputQueueLimit = 256;

    std::optional<Message> Request(Message m) {
        std::unique_lock lock(mutex_);
        if (dead_) return std::nullopt;
        const std::uint32_t request = nextRequest_++;
        m.request = request;
        m.handle = handle_;
        lock.unlock();
        if (!conn_->Send(m)) {
            lock.lock();
            dead_ = true;
            cv_.notify_all();
            return std::nullopt;
        }
        lock.lock();
        Pump(
            lock, [&] { return replies_.count(request) > 0 || dead_; },
            Clock::now() + std::chrono::milliseconds(SocketBackend::kReplyTimeoutMs));
        auto it = replies_.find(request);
        if (it == replies_.end()) return std::nullopt;
        Message reply = std::move(it->second);
        replies_.erase(it);
        return reply;
    }

    // Waits until `ready` holds or the deadline passes. One waiting thread at a
    // time reads the socket and files what arrives; the others wait for it.
    void Pump(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
              std::optional<Clock::time_point> deadline) {
        while (!ready()) {
            if (deadline && Clock::now() >= *deadline) return;
            if (reading_) {
                if (deadline)
                    cv_.wait_until(lock, *deadline);
                else
                    cv_.wait(lock);
                continue;
            }
            reading_ = true;
            lock.unlock();
            pollfd fds[2] = {{conn_->Fd(), POLLIN, 0}, {wakeup_.Fd(), POLLIN, 0}};
            const int r = ::poll(fds, 2, deadline ? MillisLeft(*deadline) : -1);
            std::vector<Message> got;
            bool alive = true;
            if (r > 0 && fds[1].revents) wakeup_.Consume();
            if (r > 0 && fds[0].revents) alive = conn_->ReadAvailable(got);
            if (r < 0 && errno != EINTR) alive = false;
            lock.lock();
            reading_ = false;
            for (Message& m : got) File(std::move(m));
            if (!alive) dead_ = true;
            cv_.notify_all();
        }
    }

    void File(Message m) {
        switch (m.type) {
        case Type::Input:
            if (m.handle != handle_) return;
            if (inputs_.size() >= kInputQueueLimit) inputs_.pop_front();
            inputs_.push_back(std::move(m.data));
            return;
        case Type::Gone:
            if (m.handle == handle_) dead_ = true;
            return;
        case Type::Hotplug:
            return;
        default:
            replies_[m.request] = std::move(m);
            return;
        }
    }

    std::unique_ptr<Connection> conn_;
    const std::uint32_t handle_;
    const hid::InterfaceInfo info_;
    Wakeup wakeup_;

    std::mutex mutex_;
    std::condition_variable cv_;
    bool reading_ = false;
    bool dead_ = false;
    bool woken_ = false;
    std::uint32_t nextRequest_ = 1;
    std::map<std::uint32_t, Message> replies_;
    std::deque<std::vector<std::uint8_t>> inputs_;
};

} // namespace

// ---- SocketBackend ----

SocketBackend::SocketBackend(std::string socketPath) : socketPath_(std::move(socketPath)) {}

SocketBackend::~SocketBackend() {
    StopWatcher();
}

void SocketBackend::Unreachable(const std::string& error) {
    if (error == lastError_) return;
    lastError_ = error;
    ReportProblem("cannot reach the mouse simulator at " + socketPath_ + ": " + error);
}

std::vector<hid::InterfaceInfo> SocketBackend::Enumerate() {
    std::lock_guard lock(controlMutex_);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!control_) {
            std::string error;
            control_ = Connection::Connect(socketPath_, &error);
            if (!control_) {
                Unreachable(error);
                return {};
            }
        }
        Message m;
        m.type = Type::Enumerate;
        m.request = nextRequest_++;
        auto reply = control_->Call(m, kReplyTimeoutMs);
        if (reply && reply->type == Type::EnumerateReply) {
            lastError_.clear();
            return std::move(reply->interfaces);
        }
        // A daemon that restarted since the last call: connect again once.
        control_.reset();
    }
    Unreachable("no answer");
    return {};
}

std::unique_ptr<hid::Device> SocketBackend::Open(const std::string& path) {
    std::string error;
    auto conn = Connection::Connect(socketPath_, &error);
    if (!conn) {
        std::lock_guard lock(controlMutex_);
        Unreachable(error);
        return nullptr;
    }
    Message m;
    m.type = Type::Open;
    m.request = 1;
    m.text = path;
    auto reply = conn->Call(m, kReplyTimeoutMs);
    if (!reply || reply->type != Type::OpenReply || reply->handle == 0) return nullptr;
    return std::make_unique<SocketDevice>(std::move(conn), reply->handle, reply->info);
}

void SocketBackend::SetHotplugHandler(hid::HotplugHandler handler) {
    const bool install = static_cast<bool>(handler);
    {
        std::lock_guard lock(handlerMutex_);
        handler_ = std::move(handler);
    }
    if (!install) {
        StopWatcher();
        return;
    }
    if (watcher_.joinable()) return;
    // The first watch connection is made here, so that no change after this
    // call goes unnoticed; the thread takes it over.
    std::unique_ptr<Connection> first = ConnectWatch();
    stop_ = std::make_shared<Wakeup>();
    watcher_ =
        std::thread([this, fd = stop_->Fd(), conn = std::shared_ptr<Connection>(std::move(first))]() mutable {
            WatchLoop(fd, std::move(conn));
        });
}

std::unique_ptr<Connection> SocketBackend::ConnectWatch() {
    auto conn = Connection::Connect(socketPath_, nullptr);
    if (!conn) return nullptr;
    Message watch;
    watch.type = Type::Watch;
    watch.request = 1;
    auto reply = conn->Call(watch, kReplyTimeoutMs);
    if (!reply || reply->type != Type::ControlReply || reply->code != 1) return nullptr;
    return conn;
}

void SocketBackend::StopWatcher() {
    if (!watcher_.joinable()) return;
    stop_->Signal();
    watcher_.join();
    stop_.reset();
}

void SocketBackend::WatchLoop(int stopFd, std::shared_ptr<Connection> conn) {
    const auto notify = [this](hid::HotplugEvent event) {
        hid::HotplugHandler h;
        {
            std::lock_guard lock(handlerMutex_);
            h = handler_;
        }
        if (h) h(event);
    };
    const auto stopped = [stopFd](int waitMs) {
        pollfd p{stopFd, POLLIN, 0};
        return ::poll(&p, 1, waitMs) > 0;
    };
    bool connectedBefore = conn != nullptr;
    bool lost = conn == nullptr;
    while (!stopped(0)) {
        if (!conn) {
            conn = ConnectWatch();
            if (!conn) {
                if (stopped(250)) return;
                lost = true;
                continue;
            }
            // The daemon came back (or came up): whatever it serves has arrived.
            if (lost) notify(hid::HotplugEvent::Arrival);
            connectedBefore = true;
        }
        for (;;) {
            pollfd fds[2] = {{conn->Fd(), POLLIN, 0}, {stopFd, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            std::vector<Message> got;
            const bool alive = conn->ReadAvailable(got);
            for (const Message& m : got) {
                if (m.type == Type::Hotplug)
                    notify(m.code == 0 ? hid::HotplugEvent::Arrival : hid::HotplugEvent::Removal);
            }
            if (!alive) break;
        }
        conn.reset();
        // The daemon went away: every device it served is gone.
        if (connectedBefore) notify(hid::HotplugEvent::Removal);
        lost = true;
    }
}

} // namespace tarvik
