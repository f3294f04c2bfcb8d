#include "instance/InstanceProtocol.h"

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

#include "model/FolderLock.h"
#include "startup/Startup.h"

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

std::string FormatOwnerRecord(const FolderOwner& owner) {
    std::string text = std::to_string(owner.pid);
    text += '\n';
    text += owner.program;
    text += '\n';
    text += owner.socket.native();
    text += '\n';
    return text;
}

std::optional<FolderOwner> ParseOwnerRecord(std::string_view text) {
    std::string_view lines[3];
    for (std::string_view& line : lines) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        line = text.substr(0, end);
        text.remove_prefix(end + 1);
    }
    if (!text.empty()) return std::nullopt;
    FolderOwner owner;
    const auto [end, ec] = std::from_chars(lines[0].data(), lines[0].data() + lines[0].size(), owner.pid);
    if (ec != std::errc() || end != lines[0].data() + lines[0].size() || owner.pid <= 0) return std::nullopt;
    if (lines[1].empty() || lines[2].empty() || lines[2].front() != '/') return std::nullopt;
    if (lines[2].find('\0') != std::string_view::npos || lines[2].size() >= sizeof(sockaddr_un::sun_path))
        return std::nullopt;
    owner.program = std::string(lines[1]);
    owner.socket = std::string(lines[2]);
    return owner;
}

std::optional<FolderOwner> LivingFolderOwner(const std::filesystem::path& dataFolder) {
    std::optional<FolderOwner> owner = ParseOwnerRecord(FolderLock::ReadRecord(dataFolder));
    if (!owner) return std::nullopt;
    const auto pid = static_cast<pid_t>(owner->pid);
    if (static_cast<long long>(pid) != owner->pid) return std::nullopt;
    // Signal 0 only asks whether the process exists (EPERM: it does, as another user's).
    if (::kill(pid, 0) != 0 && errno != EPERM) return std::nullopt;
    // A process id reused by another program: its name is not the owner's.
    std::string commPath = "/proc/";
    commPath += std::to_string(owner->pid);
    commPath += "/comm";
    const int comm = ::open(commPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (comm < 0) return owner;
    char running[64] = {};
    const ssize_t m = ::read(comm, running, sizeof running - 1);
    ::close(comm);
    if (m <= 0) return owner;
    std::string_view runningName(running, static_cast<std::size_t>(m));
    if (runningName.back() == '\n') runningName.remove_suffix(1);
    if (std::string_view(owner->program).substr(0, 15) != runningName.substr(0, 15)) return std::nullopt;
    return owner;
}

std::filesystem::path InstanceSocketFolder(bool* made) {
    if (made) *made = false;
    const bool mayMake = made != nullptr;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        std::error_code ec;
        if (std::filesystem::is_directory(runtime, ec)) return runtime;
    }
    std::filesystem::path base = "/tmp";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/') {
        std::error_code ec;
        if (std::filesystem::is_directory(tmp, ec)) base = tmp;
    }
    if (std::filesystem::path folder = tarvik::PrivateRuntimeFolder(base); !folder.empty()) return folder;
    // <base>/tarvik-runtime-<uid> belongs to someone else (or is a link): a
    // folder of a new name cannot be taken first. Its path goes into the owner
    // record, so nobody needs to guess it.
    if (!mayMake) return {};
    std::string pattern = (base / "tarvik-").string();
    pattern += std::to_string(::getuid());
    pattern += "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    if (made) *made = true;
    return pattern;
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

// One client connection to the instance socket, with deadlines on every step.
class Client {
public:
    enum class Step { Done, Timeout, Closed, NoListener };

    ~Client() {
        if (fd_ >= 0) ::close(fd_);
    }

    Step Connect(const std::filesystem::path& socketPath, Clock::time_point deadline) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (socketPath.native().size() >= sizeof address.sun_path) return Step::NoListener;
        std::memcpy(address.sun_path, socketPath.c_str(), socketPath.native().size());
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd_ < 0) return Step::NoListener;
        for (;;) {
            if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
                return Step::Done;
            if (errno == EINTR) continue;
            // A full backlog: the instance is busy; try again until the deadline.
            if (errno == EAGAIN && MillisLeft(deadline) > 0) {
                ::usleep(10000);
                continue;
            }
            return errno == EAGAIN ? Step::Timeout : Step::NoListener; // ENOENT, ECONNREFUSED
        }
    }

    Step Send(std::string_view line, Clock::time_point deadline) {
        std::size_t written = 0;
        while (written < line.size()) {
            const ssize_t n = ::send(fd_, line.data() + written, line.size() - written, MSG_NOSIGNAL);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) {
                if (WaitFor(fd_, POLLOUT, deadline)) continue;
                return Step::Timeout;
            }
            return Step::Closed;
        }
        return Step::Done;
    }

    // One line without its line end into `line`.
    Step ReadLine(std::string& line, Clock::time_point deadline) {
        for (;;) {
            const std::size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return Step::Done;
            }
            if (buffer_.size() > kMaxReplyLine) return Step::Closed;
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n > 0) {
                buffer_.append(chunk, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0) return Step::Closed;
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                if (WaitFor(fd_, POLLIN, deadline)) continue;
                return Step::Timeout;
            }
            return Step::Closed;
        }
    }

    // Ends the sending side and reads until the other side hangs up.
    Step WaitForHangUp(Clock::time_point deadline) {
        ::shutdown(fd_, SHUT_WR);
        for (;;) {
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n > 0) continue; // nothing is expected: dropped
            if (n == 0) return Step::Done;
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                if (WaitFor(fd_, POLLIN, deadline)) continue;
                return Step::Timeout;
            }
            return Step::Done; // reset by the other side: gone as well
        }
    }

private:
    int fd_ = -1;
    std::string buffer_;
};

} // namespace

Exchange ExchangeLine(const std::filesystem::path& socketPath, std::string_view line,
                      std::chrono::steady_clock::time_point deadline) {
    Exchange result;
    Client client;
    switch (client.Connect(socketPath, deadline)) {
    case Client::Step::Done:
        break;
    case Client::Step::Timeout:
        result.outcome = Exchange::Outcome::NoAnswer;
        return result;
    default:
        return result;
    }
    Client::Step step = client.Send(line, deadline);
    if (step == Client::Step::Done) step = client.ReadLine(result.reply, deadline);
    result.outcome = step == Client::Step::Done      ? Exchange::Outcome::Answered
                     : step == Client::Step::Timeout ? Exchange::Outcome::NoAnswer
                                                     : Exchange::Outcome::Closed;
    if (step != Client::Step::Done) result.reply.clear();
    return result;
}

bool SendLine(const std::filesystem::path& socketPath, std::string_view line,
              std::chrono::milliseconds connectWait, std::chrono::milliseconds stepWait) {
    Client client;
    if (client.Connect(socketPath, Clock::now() + connectWait) != Client::Step::Done) return false;
    if (client.Send(line, Clock::now() + stepWait) != Client::Step::Done) return false;
    // Whether or not the instance hangs up in time, the line is with it.
    (void)client.WaitForHangUp(Clock::now() + stepWait);
    return true;
}

Handover HandOver(const std::filesystem::path& socketPath, std::string_view line,
                  std::chrono::steady_clock::time_point startBy,
                  std::chrono::steady_clock::time_point finishBy) {
    Handover result;
    Client client;
    switch (client.Connect(socketPath, startBy)) {
    case Client::Step::Done:
        break;
    case Client::Step::NoListener:
        return result;
    default:
        result.outcome = Handover::Outcome::NotTaken;
        return result;
    }
    result.outcome = Handover::Outcome::NotTaken;
    std::string ready;
    if (client.Send(line, startBy) != Client::Step::Done ||
        client.ReadLine(ready, startBy) != Client::Step::Done)
        return result;
    const auto readyLine = ParseRequestLine(ready, kMaxReplyLine);
    if (!readyLine || readyLine->verb != kVerbReady) {
        // An owner that answers at once (a refusal) sends its result instead.
        if (readyLine && readyLine->verb == kVerbResult) {
            result.outcome = Handover::Outcome::Answered;
            result.reply = std::move(ready);
        }
        return result;
    }
    // The last moment this client decides: past the deadline it sends nothing,
    // and the owner, which acts on "go" alone, does nothing.
    if (Clock::now() >= startBy) return result;
    if (client.Send(FormatRequestLine(kVerbGo), startBy) != Client::Step::Done) return result;
    result.outcome = Handover::Outcome::Unfinished;
    if (client.ReadLine(result.reply, finishBy) != Client::Step::Done) {
        result.reply.clear();
        return result;
    }
    result.outcome = Handover::Outcome::Answered;
    return result;
}

} // namespace tarvik::app
