// The text-file class through which every settings, profile, language and macro
// file is read and written: UTF-16LE with the byte-order mark FF FE and LF line ends.
//
// Reading loads the file at open and hands out lines. Writing goes to a temporary
// file beside the target; Close() flushes it to disk, renames it over the target
// and syncs the folder, so a crash or a failed write never leaves a half-written
// file behind. No member throws for a file-system failure: each returns false and
// keeps the reason in Error().
#pragma once

#include <cstdint>
#include <filesystem>
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

    CStdioFileEx() = default;
    CStdioFileEx(const CStdioFileEx&) = delete;
    CStdioFileEx& operator=(const CStdioFileEx&) = delete;
    ~CStdioFileEx();

    // Opens the file. The Unicode mode is taken from the flags (bit 0x100000) or,
    // for a text-mode read-only open, from the file's byte-order mark. Only Unicode
    // files are supported: an open that would be 8-bit fails.
    bool OpenTextFile(const std::filesystem::path& path, unsigned flags);

    // Reads from a copy of `bytes` as if they were the content of a Unicode file
    // (the fuzzers and the in-memory checkers use it).
    void OpenBuffer(std::string_view bytes);

    // Reads one line (see the .cpp for the exact rules). False at the end of file.
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

    // True when the file exists and its first two bytes are FF FE.
    static bool HasUnicodeMark(const std::filesystem::path& path);

private:
    bool open_ = false;
    bool writing_ = false;
    bool unicode_ = false;
    bool failed_ = false;
    std::error_code error_;
    // Reading: the whole file; pos_ is the byte position.
    std::vector<unsigned char> data_;
    std::size_t pos_ = 0;
    // Writing.
    std::FILE* out_ = nullptr;
    std::uint64_t written_ = 0;
    std::filesystem::path target_;
    std::filesystem::path temp_;
};

// Opens `path` for reading in Unicode mode. A failure tells a missing file
// (Missing, also when a folder on the way is missing) from one that exists but
// cannot be opened or read (Unreadable). Nothing is reported.
FileResult OpenForReading(CStdioFileEx& file, const std::filesystem::path& path);

// Writes `text` as the whole Unicode file `path` (byte-order mark, temporary
// file, flush, fsync, rename, folder fsync). A failure is reported once as
// "<what> <path>: cannot be written: <why>"; the old file is then as it was,
// unless only the folder sync after the rename failed.
FileResult WriteUnicodeFile(const std::filesystem::path& path, std::u16string_view text,
                            std::string_view what);

// Copies `path` to `path` + ".bak" (replacing an older backup) before a damaged file
// is replaced with defaults. Does nothing when the file does not exist. Returns the
// backup path, or an empty path when nothing was kept.
std::filesystem::path KeepBackup(const std::filesystem::path& path);

} // namespace tarvik
