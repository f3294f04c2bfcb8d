#include "model/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace tarvik {

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd_(other.fd_), recordWritten_(other.recordWritten_), failure_(other.failure_),
      reason_(std::move(other.reason_)) {
    other.fd_ = -1;
    other.recordWritten_ = false;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        recordWritten_ = other.recordWritten_;
        other.recordWritten_ = false;
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
    // The record names a living owner only while the lock is held: emptied
    // before the lock goes (a crash leaves it, and the free lock tells).
    if (recordWritten_ && ::ftruncate(fd_, 0) != 0) {
        // Nothing to do: the next holder's record replaces it.
    }
    recordWritten_ = false;
    ::close(fd_); // closing the last descriptor drops the flock
    fd_ = -1;
}

bool FolderLock::WriteRecord(std::string_view record) {
    if (fd_ < 0) return false;
    if (::ftruncate(fd_, 0) != 0) return false;
    recordWritten_ = true;
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t n = ::pwrite(fd_, record.data() + done, record.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderLock::ReadRecord(const std::filesystem::path& dataFolder) {
    const std::filesystem::path file = LockFile(dataFolder);
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return {};
    std::string text(4096, '\0');
    std::size_t got = 0;
    for (;;) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
        if (got == text.size()) break;
    }
    ::close(fd);
    text.resize(got);
    return text;
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
