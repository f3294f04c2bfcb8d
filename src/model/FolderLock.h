// One owner of a data folder at a time: an exclusive flock on the lock file
// config/tarvik.lock. A running window holds it for its whole life and writes
// its owner record (process id, program, instance socket) into the file, so
// that every other program finds it through the folder itself. Without a
// window, tarvikctl holds it for the whole read-modify-write of a changing
// command. A second holder waits a bounded time, then gives up with a clear
// reason instead of overwriting the first one's changes.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

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
    // Replaces the lock file's contents with `record` (the owner record). The
    // record is emptied again when the lock is released. False when the file
    // cannot be written (opened read-only, or the write failed).
    bool WriteRecord(std::string_view record);
    // The lock file's contents (at most 4 KiB), read without taking the lock.
    // Meaningful only while someone holds the lock: a crashed owner leaves its
    // record behind.
    static std::string ReadRecord(const std::filesystem::path& dataFolder);
    Failure failure() const { return failure_; }
    // Why it is not held, for a message ("... is in use by another program").
    const std::string& Reason() const { return reason_; }
    void Release();

private:
    int fd_ = -1;
    bool recordWritten_ = false;
    Failure failure_ = Failure::None;
    std::string reason_;
};

} // namespace tarvik
