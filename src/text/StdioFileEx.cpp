#include "text/StdioFileEx.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

#include "text/Log.h"

namespace tarvik {

CStdioFileEx::~CStdioFileEx() {
    Close();
}

bool CStdioFileEx::HasUnicodeMark(const std::filesystem::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char bom[2] = {0, 0};
    bool ok = std::fread(bom, 1, 2, f) == 2 && bom[0] == 0xFF && bom[1] == 0xFE;
    std::fclose(f);
    return ok;
}

namespace {

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// A name for the temporary file beside the target that no other writer of this
// process picks (the open is O_EXCL, so another process's file is skipped).
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

} // namespace

bool CStdioFileEx::OpenTextFile(const std::filesystem::path& path, unsigned flags) {
    Close();
    failed_ = false;
    error_.clear();
    const bool write = (flags & (modeWrite | modeCreate)) != 0 && (flags & (modeWrite | modeReadWrite)) != 0;
    const bool readOnlyText = (flags & typeText) && !(flags & (modeWrite | modeCreate));
    unicode_ = (flags & modeUnicode) != 0 || (readOnlyText && HasUnicodeMark(path));
    if (!unicode_) { // 8-bit files are not used by the program.
        error_ = std::make_error_code(std::errc::not_supported);
        return false;
    }

    if (!write) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) {
            error_ = LastError();
            return false;
        }
        data_.clear();
        unsigned char buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data_.insert(data_.end(), buf, buf + n);
        if (std::ferror(f)) error_ = LastError(); // e.g. EISDIR: the path is a folder
        std::fclose(f);
        if (error_) {
            data_.clear();
            return false;
        }
        pos_ = 0;
        open_ = true;
        writing_ = false;
        return true;
    }

    // Write into a new temporary file in the target's folder.
    target_ = path;
    for (int attempt = 0; attempt < 16 && !out_; ++attempt) {
        temp_ = TempName(path);
        const int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error_ = LastError();
            return false;
        }
        out_ = ::fdopen(fd, "wb");
        if (!out_) {
            error_ = LastError();
            ::close(fd);
            std::error_code ignored;
            std::filesystem::remove(temp_, ignored);
            return false;
        }
    }
    if (!out_) {
        error_ = std::make_error_code(std::errc::file_exists);
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

bool CStdioFileEx::ReadLine(std::u16string& line) {
    line.clear();
    if (!open_ || writing_) return false;
    if (pos_ == 0) pos_ = data_.size() >= 2 ? 2 : data_.size(); // the byte-order mark, not examined
    while (pos_ + 1 < data_.size()) {
        char16_t c = static_cast<char16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        line.push_back(c);
        if (c == u'\n') break;
    }
    if (pos_ + 1 >= data_.size()) pos_ = data_.size(); // a lone trailing byte is no character
    if (line.size() >= 2 && line.back() == u'\n') line.pop_back();
    return !line.empty();
}

void CStdioFileEx::WriteText(std::u16string_view text) {
    if (!open_ || !writing_ || failed_) return;
    std::string bytes;
    bytes.reserve(text.size() * 2 + 2);
    if (written_ == 0) bytes.append("\xFF\xFE", 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
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
        std::error_code ignored;
        std::filesystem::remove(temp_, ignored);
        return false;
    }
    // The new file is in place; without this its name may not survive a crash.
    error_ = SyncFolderOf(target_);
    if (error_) failed_ = true;
    return !failed_;
}

FileResult OpenForReading(CStdioFileEx& file, const std::filesystem::path& path) {
    if (file.OpenTextFile(path, CStdioFileEx::kReadUnicode)) return {};
    const std::error_code& ec = file.Error();
    const bool missing = ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
    std::string reason = "cannot be opened: ";
    reason += ec.message();
    return FileResult::Failure(missing ? FileError::Missing : FileError::Unreadable, std::move(reason));
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

std::filesystem::path KeepBackup(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return {};
    std::filesystem::path bak = path;
    bak += ".bak";
    std::filesystem::path tmp = path;
    tmp += ".bak.tmp";
    std::filesystem::copy_file(path, tmp, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return {};
    std::filesystem::rename(tmp, bak, ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        return {};
    }
    return bak;
}

} // namespace tarvik
