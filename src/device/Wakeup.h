// An eventfd that a blocked poll() also watches, so another thread can end the
// wait. A wake-up stays pending until it is consumed. Used by the hidraw
// backend and the simulator socket backend alike.
#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace tarvik {

class Wakeup {
public:
    Wakeup() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Wakeup() {
        if (fd_ >= 0) ::close(fd_);
    }
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void Signal() {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
    }
    // Clears a pending wake-up; true when there was one.
    bool Consume() {
        std::uint64_t value = 0;
        return ::read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
    }

private:
    int fd_;
};

} // namespace tarvik
