// One writer at a time in a data folder: an exclusive flock on the lock file
// config/tarvik.lock. tarvikctl holds it for the whole read-modify-write of a
// changing command, the window around each save, and the start-up load while
// it repairs files. A second holder waits a bounded time, then gives up with a
// clear reason instead of overwriting the first one's changes.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace tarvik {

class FolderLock {
public:
    // How long a writer waits for another one by default.
    static constexpr std::chrono::milliseconds kDefaultWait{10000};

    enum class Failure : unsigned char {
        None,
        TimedOut,   // another program held the lock for the whole wait
        CannotOpen, // the lock file cannot be opened or created (a read-only,
                    // missing or unusable config folder: nothing can be saved there)
    };

    FolderLock() = default;
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

    // Takes the lock of `dataFolder`, waiting up to `wait` while another
    // process holds it. The config folder must exist; the lock file is created
    // when absent (never through a link). Check Held().
    static FolderLock Acquire(const std::filesystem::path& dataFolder,
                              std::chrono::milliseconds wait = kDefaultWait);
    static std::filesystem::path LockFile(const std::filesystem::path& dataFolder);

    bool Held() const { return fd_ >= 0; }
    Failure failure() const { return failure_; }
    // Why it is not held, for a message ("... is in use by another program").
    const std::string& Reason() const { return reason_; }
    void Release();

private:
    int fd_ = -1;
    Failure failure_ = Failure::None;
    std::string reason_;
};

} // namespace tarvik
