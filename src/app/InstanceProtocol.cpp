#include "app/InstanceProtocol.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model/Startup.h"

namespace tarvik::app {

std::optional<InstanceRequest> ParseRequestLine(std::string_view line, std::size_t maxLength) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > maxLength) return std::nullopt;
    for (char c : line)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return std::nullopt;
    if (line.substr(0, kProtocolVersion.size()) != kProtocolVersion) return std::nullopt;
    line.remove_prefix(kProtocolVersion.size());
    if (line.empty() || line.front() != ' ') return std::nullopt;
    line.remove_prefix(1);
    const std::size_t space = line.find(' ');
    InstanceRequest r;
    r.verb = std::string(line.substr(0, space));
    if (space != std::string_view::npos) r.args = std::string(line.substr(space + 1));
    if (r.verb.empty()) return std::nullopt;
    return r;
}

std::string FormatRequestLine(std::string_view verb, std::string_view args) {
    std::string line(kProtocolVersion);
    line += ' ';
    line += verb;
    if (!args.empty()) {
        line += ' ';
        line += args;
    }
    line += '\n';
    return line;
}

namespace {

std::uint64_t Fnv1a64(std::string_view bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

} // namespace

std::filesystem::path InstanceRuntimeFolder() {
    return UserRuntimeFolder();
}

std::filesystem::path NormalisedDataFolder(const std::filesystem::path& dataFolder) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(dataFolder, ec);
    if (ec) p = dataFolder;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(p, ec);
    p = ec ? p.lexically_normal() : canonical.lexically_normal();
    // "/a/b/" and "/a/b" are one folder.
    if (!p.has_filename() && p.has_parent_path() && p != p.root_path()) p = p.parent_path();
    return p;
}

std::filesystem::path InstanceBase(const std::filesystem::path& dataFolder,
                                   const std::filesystem::path& runtimeFolder) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(Fnv1a64(NormalisedDataFolder(dataFolder).native())));
    std::string name = "tarvik-";
    name += hex;
    std::filesystem::path base = runtimeFolder / name;
    constexpr std::size_t kSocketNameRoom = sizeof(sockaddr_un::sun_path) - 1;
    if (runtimeFolder.empty() || base.native().size() + 5 > kSocketNameRoom) {
        const std::filesystem::path fallback = tarvik::PrivateRuntimeFolder();
        base = fallback.empty() ? std::filesystem::path() : fallback / name;
    }
    return base;
}

bool InstanceLockHeld(const std::filesystem::path& base) {
    std::string path = base.native();
    path += ".lock";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    char text[512] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    // "PID\nAPPNAME\nHOST\n...". An empty file is an instance taking the lock
    // right now; the caller looks again once it holds the data folder's lock.
    if (n <= 0) return false;
    const std::string_view content(text, static_cast<std::size_t>(n));
    const std::size_t pidEnd = content.find('\n');
    if (pidEnd == std::string_view::npos) return false;
    long long pid = 0;
    const auto [end, ec] = std::from_chars(content.data(), content.data() + pidEnd, pid);
    if (ec != std::errc() || end != content.data() + pidEnd || pid <= 0) return false;
    // Signal 0 only asks whether the process exists (EPERM: it does, as another user's).
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
    // A process id reused by another program: its name is not the holder's
    // (the kernel keeps the first 15 bytes of it).
    std::string_view name = content.substr(pidEnd + 1);
    name = name.substr(0, name.find('\n'));
    std::string commPath = "/proc/";
    commPath += std::to_string(pid);
    commPath += "/comm";
    const int comm = ::open(commPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (name.empty() || comm < 0) return true;
    char running[64] = {};
    const ssize_t m = ::read(comm, running, sizeof running - 1);
    ::close(comm);
    if (m <= 0) return true;
    std::string_view runningName(running, static_cast<std::size_t>(m));
    if (runningName.back() == '\n') runningName.remove_suffix(1);
    return name.substr(0, 15) == runningName.substr(0, 15);
}

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1000));
}

// Waits until `fd` is ready for `events`; false at the deadline or on an error.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int ms = MillisLeft(deadline);
        const int r = ::poll(&p, 1, ms);
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
        if (r == 0 && ms == 0) return false;
    }
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

Exchange ExchangeLine(const std::filesystem::path& socketPath, std::string_view line,
                      std::chrono::steady_clock::time_point deadline) {
    Exchange result;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.native().size() >= sizeof address.sun_path) return result;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.native().size());

    Fd s{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    if (s.fd < 0) return result;
    for (;;) {
        if (::connect(s.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) break;
        if (errno == EINTR) continue;
        // A full backlog: the instance is busy; try again until the deadline.
        if (errno == EAGAIN && MillisLeft(deadline) > 0) {
            ::usleep(10000);
            continue;
        }
        if (errno == EAGAIN) result.outcome = Exchange::Outcome::NoAnswer;
        return result; // nobody listens (ENOENT, ECONNREFUSED)
    }

    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::send(s.fd, line.data() + written, line.size() - written, MSG_NOSIGNAL);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            if (WaitFor(s.fd, POLLOUT, deadline)) continue;
            result.outcome = Exchange::Outcome::NoAnswer;
            return result;
        }
        result.outcome = Exchange::Outcome::Closed;
        return result;
    }

    std::string reply;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(s.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            reply.append(buffer, static_cast<std::size_t>(n));
            const std::size_t end = reply.find('\n');
            if (end != std::string::npos) {
                reply.resize(end);
                if (!reply.empty() && reply.back() == '\r') reply.pop_back();
                result.outcome = Exchange::Outcome::Answered;
                result.reply = std::move(reply);
                return result;
            }
            if (reply.size() > kMaxReplyLine) break;
            continue;
        }
        if (n == 0) break;
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
            if (WaitFor(s.fd, POLLIN, deadline)) continue;
            result.outcome = Exchange::Outcome::NoAnswer;
            return result;
        }
        break;
    }
    result.outcome = Exchange::Outcome::Closed;
    return result;
}

} // namespace tarvik::app
