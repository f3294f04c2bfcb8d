#include "model/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace tarvik {

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd_(other.fd_), failure_(other.failure_), reason_(std::move(other.reason_)) {
    other.fd_ = -1;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        failure_ = other.failure_;
        reason_ = std::move(other.reason_);
        other.fd_ = -1;
    }
    return *this;
}

FolderLock::~FolderLock() {
    Release();
}

void FolderLock::Release() {
    if (fd_ < 0) return;
    ::close(fd_); // closing the last descriptor drops the flock
    fd_ = -1;
}

std::filesystem::path FolderLock::LockFile(const std::filesystem::path& dataFolder) {
    return dataFolder / "config" / "tarvik.lock";
}

FolderLock FolderLock::Acquire(const std::filesystem::path& dataFolder, std::chrono::milliseconds wait) {
    FolderLock lock;
    const std::filesystem::path file = LockFile(dataFolder);
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    // A lock file someone else created may be open for reading only; flock
    // works on that as well.
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        lock.failure_ = Failure::CannotOpen;
        lock.reason_ = "cannot open its lock file ";
        lock.reason_ += file.string();
        lock.reason_ += ": ";
        lock.reason_ += std::strerror(errno);
        return lock;
    }
    // flock has no timeout of its own: try, and try again in short steps until
    // the wait is over.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            lock.fd_ = fd;
            return lock;
        }
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            lock.failure_ = Failure::CannotOpen;
            lock.reason_ = "cannot lock ";
            lock.reason_ += file.string();
            lock.reason_ += ": ";
            lock.reason_ += std::strerror(errno);
            ::close(fd);
            return lock;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) break;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(20), deadline - now));
    }
    ::close(fd);
    lock.failure_ = Failure::TimedOut;
    lock.reason_ = "it is in use by another program (waited ";
    lock.reason_ += std::to_string(wait.count());
    lock.reason_ += " ms for its lock)";
    return lock;
}

} // namespace tarvik
