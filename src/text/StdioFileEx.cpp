#include "text/StdioFileEx.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "text/Log.h"

namespace tarvik {

CStdioFileEx::~CStdioFileEx() {
    Close();
}

namespace {

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// Opens an existing file for reading without waiting on it (a FIFO with no
// writer would block a plain open) and without making it the controlling
// terminal; -1 with errno set when it cannot be opened.
int OpenNoWait(const std::filesystem::path& path, int extra = 0) {
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | extra);
}

// A name for a temporary file beside `target` that no other writer of this
// process picks (the open is O_EXCL, so another process's file is skipped).
// RemoveStaleTemporaryFiles knows the pattern.
std::filesystem::path TempName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = target;
    std::string suffix = ".tmp";
    suffix += std::to_string(::getpid());
    suffix += '-';
    suffix += std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
    temp += suffix;
    return temp;
}

// Creates a new temporary file beside `target`: exclusively, never through a
// link that someone placed under its name. -1 (errno set) when none can be made.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temp, mode_t mode) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp = TempName(target);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Syncs the folder that holds `file`, so a rename into it survives a crash.
// Folders that cannot be synced (EINVAL: the file system does not support it)
// count as done.
std::error_code SyncFolderOf(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return {};
    std::error_code ec;
    if (::fsync(fd) != 0 && errno != EINVAL) ec = LastError();
    ::close(fd);
    return ec;
}

// Writes all of `bytes` to `fd`; false (errno set) on a short or failed write.
bool WriteAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads up to `size` bytes at `offset`; the count read (short only at the end
// of the file), or -1 with errno set.
ssize_t ReadAt(int fd, char* buf, std::size_t size, off_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buf + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// True when the regular file open as `fd` (of `size` bytes) holds exactly `bytes`.
bool SameBytes(int fd, std::uint64_t size, std::string_view bytes) {
    if (size != bytes.size()) return false;
    char buf[65536];
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t want = std::min(sizeof buf, bytes.size() - at);
        if (ReadAt(fd, buf, want, static_cast<off_t>(at)) != static_cast<ssize_t>(want)) return false;
        if (std::string_view(buf, want) != bytes.substr(at, want)) return false;
        at += want;
    }
    return true;
}

// True when `other` is a regular file (not a link) with the same bytes as the
// regular file open as `fd`.
bool SameAsFile(int fd, std::uint64_t size, const std::filesystem::path& other) {
    const int ofd = OpenNoWait(other, O_NOFOLLOW);
    if (ofd < 0) return false;
    struct stat st {};
    bool same =
        ::fstat(ofd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) == size;
    char a[65536];
    char b[65536];
    for (std::uint64_t at = 0; same && at < size;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof a, size - at));
        same = ReadAt(fd, a, want, static_cast<off_t>(at)) == static_cast<ssize_t>(want) &&
               ReadAt(ofd, b, want, static_cast<off_t>(at)) == static_cast<ssize_t>(want) &&
               std::memcmp(a, b, want) == 0;
        at += want;
    }
    ::close(ofd);
    return same;
}

const char* KindOfFile(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "not a regular file";
}

// Writes `text` as UTF-16LE to `out`, which has room for text.size() * 2 bytes.
void PutUtf16Le(char* out, std::u16string_view text) {
    for (char16_t c : text) {
        *out++ = static_cast<char>(c & 0xFF);
        *out++ = static_cast<char>(c >> 8);
    }
}

} // namespace

bool CStdioFileEx::HasUnicodeMark(const std::filesystem::path& path) {
    const int fd = OpenNoWait(path);
    if (fd < 0) return false;
    struct stat st {};
    unsigned char bom[2] = {0, 0};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                    ReadAt(fd, reinterpret_cast<char*>(bom), 2, 0) == 2 && bom[0] == 0xFF && bom[1] == 0xFE;
    ::close(fd);
    return ok;
}

bool CStdioFileEx::OpenTextFile(const std::filesystem::path& path, unsigned flags) {
    Close();
    failed_ = false;
    error_.clear();
    refusal_ = Refusal::None;
    size_ = 0;
    const bool write = (flags & (modeWrite | modeCreate)) != 0 && (flags & (modeWrite | modeReadWrite)) != 0;
    const bool readOnlyText = (flags & typeText) && !(flags & (modeWrite | modeCreate));
    unicode_ = (flags & modeUnicode) != 0 || (readOnlyText && HasUnicodeMark(path));
    if (!unicode_) { // 8-bit files are not used by the program.
        error_ = std::make_error_code(std::errc::not_supported);
        return false;
    }

    if (!write) {
        const int fd = OpenNoWait(path);
        if (fd < 0) {
            error_ = LastError();
            return false;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            error_ = LastError();
            ::close(fd);
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            refusal_ = Refusal::NotRegular;
            error_ = S_ISDIR(st.st_mode) ? std::make_error_code(std::errc::is_a_directory)
                                         : std::make_error_code(std::errc::not_supported);
            ::close(fd);
            return false;
        }
        size_ = static_cast<std::uint64_t>(st.st_size);
        if (size_ > readLimit_) {
            refusal_ = Refusal::TooLarge;
            error_ = std::make_error_code(std::errc::file_too_large);
            ::close(fd);
            return false;
        }
        // Read to the end, but never past the limit (the file may grow meanwhile).
        data_.clear();
        data_.reserve(static_cast<std::size_t>(size_));
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error_ = LastError();
                break;
            }
            if (n == 0) break;
            data_.insert(data_.end(), buf, buf + n);
            if (data_.size() > readLimit_) {
                refusal_ = Refusal::TooLarge;
                size_ = data_.size();
                error_ = std::make_error_code(std::errc::file_too_large);
                break;
            }
        }
        ::close(fd);
        if (error_) {
            data_.clear();
            data_.shrink_to_fit();
            return false;
        }
        pos_ = 0;
        open_ = true;
        writing_ = false;
        return true;
    }

    // Write into a new temporary file in the target's folder, with the mode of
    // the file it replaces (a 0600 file stays private).
    target_ = path;
    const int fd = CreateTemporary(path, temp_, 0644);
    if (fd < 0) {
        error_ = LastError();
        return false;
    }
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
    out_ = ::fdopen(fd, "wb");
    if (!out_) {
        error_ = LastError();
        ::close(fd);
        ::unlink(temp_.c_str());
        return false;
    }
    written_ = 0;
    open_ = true;
    writing_ = true;
    return true;
}

void CStdioFileEx::OpenBuffer(std::string_view bytes) {
    Close();
    failed_ = false;
    unicode_ = true;
    data_.assign(bytes.begin(), bytes.end());
    pos_ = 0;
    open_ = true;
    writing_ = false;
}

// One line: the characters up to and including the next line feed, or to the
// end of the file. The line feed is removed from a line of two or more
// characters, and the carriage returns at the end of the line with it, so
// files that arrive with CR LF line ends (or CR CR LF, after a second
// conversion) read as if they had LF; a line therefore never ends in a CR. An
// empty line comes back as a lone line feed, the end of the file as an empty
// text with false.
bool CStdioFileEx::ReadLine(std::u16string& line) {
    line.clear();
    if (!open_ || writing_) return false;
    if (pos_ == 0) pos_ = data_.size() >= 2 ? 2 : data_.size(); // the byte-order mark, not examined
    // Find the line's end first, then decode it in one piece.
    std::size_t end = pos_;
    while (end + 1 < data_.size()) {
        const bool lineFeed = data_[end] == '\n' && data_[end + 1] == 0;
        end += 2;
        if (lineFeed) break;
    }
    line.resize((end - pos_) / 2);
    for (char16_t& c : line) {
        c = static_cast<char16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
    }
    if (pos_ + 1 >= data_.size()) pos_ = data_.size(); // a lone trailing byte is no character
    if (line.size() >= 2 && line.back() == u'\n') line.pop_back();
    if (!line.empty() && line.back() == u'\r') {
        while (!line.empty() && line.back() == u'\r') line.pop_back();
        if (line.empty()) line.push_back(u'\n'); // (not `= u"\n"`: a false -Wrestrict of GCC 12 at -O3)
    }
    return !line.empty();
}

void CStdioFileEx::WriteText(std::u16string_view text) {
    if (!open_ || !writing_ || failed_) return;
    std::string bytes = written_ == 0 ? UnicodeFileBytes(text) : std::string(text.size() * 2, '\0');
    if (written_ != 0) PutUtf16Le(bytes.data(), text);
    if (std::fwrite(bytes.data(), 1, bytes.size(), out_) != bytes.size()) {
        failed_ = true;
        error_ = LastError();
    }
    written_ += bytes.size();
}

bool CStdioFileEx::Close() {
    if (!open_) return !failed_;
    open_ = false;
    if (!writing_) {
        data_.clear();
        data_.shrink_to_fit();
        pos_ = 0;
        return true;
    }
    writing_ = false;
    bool ok = !failed_;
    if (ok && (std::fflush(out_) != 0 || ::fsync(::fileno(out_)) != 0)) {
        ok = false;
        error_ = LastError();
    }
    if (std::fclose(out_) != 0 && ok) {
        ok = false;
        error_ = LastError();
    }
    out_ = nullptr;
    if (ok) {
        std::error_code ec;
        std::filesystem::rename(temp_, target_, ec);
        if (ec) {
            ok = false;
            error_ = ec;
        }
    }
    if (!ok) {
        failed_ = true;
        ::unlink(temp_.c_str());
        return false;
    }
    // The new file is in place; without this its name may not survive a crash.
    error_ = SyncFolderOf(target_);
    if (error_) failed_ = true;
    return !failed_;
}

FileResult OpenForReading(CStdioFileEx& file, const std::filesystem::path& path, std::uint64_t limit) {
    file.SetReadLimit(limit);
    if (file.OpenTextFile(path, CStdioFileEx::kReadUnicode)) return {};
    const std::error_code& ec = file.Error();
    std::string reason;
    switch (file.LastRefusal()) {
    case CStdioFileEx::Refusal::TooLarge:
        reason = "the file holds ";
        reason += std::to_string(file.FileSize());
        reason += " bytes, more than the ";
        reason += std::to_string(limit);
        reason += " such a file may have; it was not read";
        return FileResult::Failure(FileError::Damaged, std::move(reason));
    case CStdioFileEx::Refusal::NotRegular: {
        struct stat st {};
        reason = "cannot be read: it is ";
        reason += ::stat(path.c_str(), &st) == 0 ? KindOfFile(st.st_mode) : "not a regular file";
        return FileResult::Failure(FileError::Unreadable, std::move(reason));
    }
    case CStdioFileEx::Refusal::None:
        break;
    }
    const bool missing = ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
    reason = "cannot be opened: ";
    reason += ec.message();
    return FileResult::Failure(missing ? FileError::Missing : FileError::Unreadable, std::move(reason));
}

std::string UnicodeFileBytes(std::u16string_view text) {
    std::string bytes(text.size() * 2 + 2, '\0');
    bytes[0] = '\xFF';
    bytes[1] = '\xFE';
    PutUtf16Le(bytes.data() + 2, text);
    return bytes;
}

FileResult WriteUnicodeFile(const std::filesystem::path& path, std::u16string_view text,
                            std::string_view what) {
    CStdioFileEx f;
    bool ok = f.OpenTextFile(path, CStdioFileEx::kWriteUnicode);
    if (ok) {
        f.WriteText(text);
        ok = f.Close();
    }
    if (ok) return {};
    std::string reason = "cannot be written: ";
    reason += f.Error() ? f.Error().message() : std::string("unknown error");
    std::string message(what);
    message += ' ';
    message += path.string();
    message += ": ";
    message += reason;
    ReportProblem(message);
    return FileResult::Failure(FileError::NotWritten, std::move(reason));
}

std::filesystem::path BackupName(const std::filesystem::path& path, int generation) {
    std::filesystem::path name = path;
    std::string suffix = ".bak";
    if (generation > 0) {
        suffix += '.';
        suffix += std::to_string(generation);
    }
    name += suffix;
    return name;
}

Backup KeepBackup(const std::filesystem::path& path, std::uint64_t copyLimit,
                  std::optional<std::string_view> replacement) {
    Backup out;
    const auto fail = [&](const char* step, int error) {
        std::string reason = "no backup could be kept (";
        reason += step;
        reason += ": ";
        reason += std::strerror(error);
        reason += ')';
        out.path.clear();
        out.result = FileResult::Failure(FileError::NotWritten, std::move(reason));
        return out;
    };
    // The file itself may be a link the user made; what it points to is copied.
    const int src = OpenNoWait(path);
    if (src < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return out; // nothing to keep
        return fail("open", errno);
    }
    struct stat st {};
    if (::fstat(src, &st) != 0) {
        const int e = errno;
        ::close(src);
        return fail("stat", e);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(src);
        return fail("open", EINVAL);
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::filesystem::path newest = BackupName(path, 0);
    if (replacement && SameBytes(src, size, *replacement)) {
        ::close(src); // nothing would be lost
        return out;
    }
    // Older generations move down first, so the new backup replaces none of them.
    const auto moveGenerationsDown = [&]() {
        for (int g = kBackupGenerations - 1; g > 0; --g)
            if (::rename(BackupName(path, g - 1).c_str(), BackupName(path, g).c_str()) != 0 &&
                errno != ENOENT)
                return errno;
        return 0;
    };
    if (size > copyLimit) {
        // Not read, not compared and not copied: the file itself moves aside
        // (a link in its place moves as a link; what it names stays as it is).
        ::close(src);
        if (const int e = moveGenerationsDown(); e != 0) return fail("rename", e);
        if (::rename(path.c_str(), newest.c_str()) != 0) return fail("rename", errno);
        static_cast<void>(SyncFolderOf(newest));
        out.path = newest;
        out.moved = true;
        return out;
    }
    if (SameAsFile(src, size, newest)) {
        ::close(src); // kept already
        out.path = newest;
        return out;
    }

    std::filesystem::path temp;
    const int dst = CreateTemporary(newest, temp, st.st_mode & 0777);
    if (dst < 0) {
        const int e = errno;
        ::close(src);
        return fail("create", e);
    }
    ::fchmod(dst, st.st_mode & 07777);
    char buf[65536];
    int error = 0;
    const char* step = "copy";
    for (std::uint64_t at = 0;;) {
        const ssize_t n = ReadAt(src, buf, sizeof buf, static_cast<off_t>(at));
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0) break;
        if (!WriteAll(dst, buf, static_cast<std::size_t>(n))) {
            error = errno;
            break;
        }
        at += static_cast<std::uint64_t>(n);
    }
    ::close(src);
    if (!error && ::fsync(dst) != 0) {
        error = errno;
        step = "sync";
    }
    if (::close(dst) != 0 && !error) {
        error = errno;
        step = "close";
    }
    if (!error && (error = moveGenerationsDown()) != 0) step = "rename";
    if (!error && ::rename(temp.c_str(), newest.c_str()) != 0) {
        error = errno;
        step = "rename";
    }
    if (error) {
        ::unlink(temp.c_str());
        return fail(step, error);
    }
    static_cast<void>(SyncFolderOf(newest));
    out.path = newest;
    return out;
}

namespace {

// "<name>.tmp<digits>-<digits>" (a save's temporary file) of a process that is
// gone, or "<name>.bak.tmp" (the fixed name earlier versions copied backups
// through).
bool IsStaleTemporaryName(std::string_view name) {
    if (name.size() > 8 && name.ends_with(".bak.tmp")) return true;
    const std::size_t at = name.rfind(".tmp");
    if (at == std::string_view::npos || at == 0) return false;
    std::string_view rest = name.substr(at + 4);
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == rest.size()) return false;
    const auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1))) return false;
    // The writer's process id: its file is stale only once it is gone
    // (signal 0 asks whether it exists; EPERM: it does, as another user's).
    long long pid = 0;
    for (char c : rest.substr(0, dash)) {
        pid = pid * 10 + (c - '0');
        if (pid > 0x7fffffff) return true; // no such process can exist
    }
    if (pid <= 0) return true;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

int RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return 0;
    int removed = 0;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (!IsStaleTemporaryName(name)) continue;
        struct stat st {};
        // A link is removed, never followed; a folder is not ours to remove.
        if (::lstat(entry.path().c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
            continue;
        if (::unlink(entry.path().c_str()) == 0) ++removed;
    }
    return removed;
}

} // namespace tarvik
