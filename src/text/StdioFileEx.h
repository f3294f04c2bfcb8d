// The text-file class through which every settings, profile, language and macro
// file is read and written: UTF-16LE with the byte-order mark FF FE and LF line ends.
//
// Reading loads the file at open and hands out lines. Only a regular file is
// read (a FIFO or a device is refused without waiting on it), and only up to a
// size limit, so a hostile path can neither hang nor exhaust the program. Writing
// goes to a temporary file beside the target, created exclusively and never
// through a link; Close() flushes it to disk, gives it the target's mode, renames
// it over the target and syncs the folder, so a crash or a failed write never
// leaves a half-written file behind. No member throws for a file-system failure:
// each returns false and keeps the reason in Error().
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "text/FileResult.h"

namespace tarvik {

class CStdioFileEx {
public:
    // Open flags, numbered as the stored callers use them.
    static constexpr unsigned modeRead = 0x0;
    static constexpr unsigned modeWrite = 0x1;
    static constexpr unsigned modeReadWrite = 0x2;
    static constexpr unsigned modeCreate = 0x1000;
    static constexpr unsigned typeText = 0x4000;
    static constexpr unsigned typeBinary = 0x8000;
    static constexpr unsigned modeUnicode = 0x100000;
    // What every reader and writer of the program passes.
    static constexpr unsigned kReadUnicode = 0x108002;
    static constexpr unsigned kWriteUnicode = 0x109001;
    // The largest file a read takes unless SetReadLimit says otherwise, far
    // above any settings, profile or language file the program writes.
    static constexpr std::uint64_t kDefaultReadLimit = 4u << 20;

    // Why an open for reading refused a file that exists.
    enum class Refusal : unsigned char {
        None,
        NotRegular, // a folder, FIFO, socket or device
        TooLarge,   // larger than the read limit; not read at all
    };

    CStdioFileEx() = default;
    CStdioFileEx(const CStdioFileEx&) = delete;
    CStdioFileEx& operator=(const CStdioFileEx&) = delete;
    ~CStdioFileEx();

    // Opens the file. The Unicode mode is taken from the flags (bit 0x100000) or,
    // for a text-mode read-only open, from the file's byte-order mark. Only Unicode
    // files are supported: an open that would be 8-bit fails.
    bool OpenTextFile(const std::filesystem::path& path, unsigned flags);

    // The largest file the next open for reading accepts.
    void SetReadLimit(std::uint64_t bytes) { readLimit_ = bytes; }
    std::uint64_t ReadLimit() const { return readLimit_; }

    // Reads from a copy of `bytes` as if they were the content of a Unicode file
    // (the fuzzers and the in-memory checkers use it).
    void OpenBuffer(std::string_view bytes);

    // Reads one line (see the .cpp for the exact rules; a CR LF pair ends a line
    // as a LF does). False at the end of file.
    bool ReadLine(std::u16string& line);

    // Appends text; the byte-order mark precedes the first write. A failed write
    // marks the file as failed and Close() then leaves the target untouched.
    void WriteText(std::u16string_view text);

    // Ends reading, or commits a write (flush, fsync, rename, fsync of the
    // folder). Returns false when the write could not be committed. Safe to call twice.
    bool Close();

    bool IsOpen() const { return open_; }
    bool IsUnicode() const { return unicode_; }
    bool Failed() const { return failed_; }
    // Why the last open or commit failed (empty after a success).
    const std::error_code& Error() const { return error_; }
    // Set when the last open for reading refused an existing file; FileSize()
    // is its size then.
    Refusal LastRefusal() const { return refusal_; }
    std::uint64_t FileSize() const { return size_; }

    // True when the path is a regular file whose first two bytes are FF FE.
    static bool HasUnicodeMark(const std::filesystem::path& path);

private:
    bool open_ = false;
    bool writing_ = false;
    bool unicode_ = false;
    bool failed_ = false;
    std::error_code error_;
    Refusal refusal_ = Refusal::None;
    std::uint64_t readLimit_ = kDefaultReadLimit;
    std::uint64_t size_ = 0;
    // Reading: the whole file; pos_ is the byte position.
    std::vector<unsigned char> data_;
    std::size_t pos_ = 0;
    // Writing.
    std::FILE* out_ = nullptr;
    std::uint64_t written_ = 0;
    std::filesystem::path target_;
    std::filesystem::path temp_;
};

// Opens `path` for reading in Unicode mode, accepting at most `limit` bytes. A
// failure tells a missing file (Missing, also when a folder on the way is
// missing) from one that exists but cannot be opened or read, or is no regular
// file (Unreadable), and from one past the limit (Damaged, line 0: it is not
// read). Nothing is reported.
FileResult OpenForReading(CStdioFileEx& file, const std::filesystem::path& path,
                          std::uint64_t limit = CStdioFileEx::kDefaultReadLimit);

// Writes `text` as the whole Unicode file `path` (byte-order mark, temporary
// file, flush, fsync, rename, folder fsync; an existing file's mode is kept). A
// failure is reported once as "<what> <path>: cannot be written: <why>"; the old
// file is then as it was, unless only the folder sync after the rename failed.
FileResult WriteUnicodeFile(const std::filesystem::path& path, std::u16string_view text,
                            std::string_view what);

// The bytes WriteUnicodeFile writes for `text`.
std::string UnicodeFileBytes(std::u16string_view text);

// How many generations of a replaced file are kept: <name>.bak (the newest),
// <name>.bak.1 and <name>.bak.2. Three let a file that is damaged again, or
// replaced twice in a row by mistake, still be found in the state before.
inline constexpr int kBackupGenerations = 3;

// The generation-th backup name of `path` (0: ".bak").
std::filesystem::path BackupName(const std::filesystem::path& path, int generation);

struct Backup {
    // The copy that holds the file's content: the new .bak, or the newest
    // backup when it already held the same bytes. Empty when no copy was due.
    std::filesystem::path path;
    // NotWritten when a copy was due and could not be made (reported once);
    // the caller then leaves the file as it is.
    FileResult result;
    // The file itself became the backup (it was over the copy limit).
    bool moved = false;
};

// Keeps `path` as <name>.bak before it is replaced: older backups move one
// generation down (.bak -> .bak.1 -> .bak.2, the oldest dropped), and the copy
// goes through an exclusively created temporary file that is never a link. No
// copy is made when the file does not exist, when it holds exactly the bytes
// that replace it (`replacement`, when given), or when the newest backup holds
// the same bytes already, so a backup never overwrites an older, different one.
// A file larger than `copyLimit` (the read limit of its kind: it was not read)
// is never copied, which could fill the disk (a sparse file of any size costs
// nothing to make): it is renamed to <name>.bak, and `path` is then free.
Backup KeepBackup(const std::filesystem::path& path, std::uint64_t copyLimit,
                  std::optional<std::string_view> replacement = std::nullopt);

// Removes what a save that was killed may have left in `folder`: the
// temporary files "<name>.tmp<pid>-<n>" whose process is gone, and the
// "<name>.bak.tmp" of earlier versions. A file of a living process (a save
// under way) is never touched. Only the folder's owner calls it. Returns how
// many were removed.
int RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

} // namespace tarvik
