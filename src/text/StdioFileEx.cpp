#include "text/StdioFileEx.h"

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <system_error>
#include <unistd.h>

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

bool CStdioFileEx::OpenTextFile(const std::filesystem::path& path, unsigned flags) {
    Close();
    failed_ = false;
    const bool write = (flags & (modeWrite | modeCreate)) != 0 && (flags & (modeWrite | modeReadWrite)) != 0;
    const bool readOnlyText = (flags & typeText) && !(flags & (modeWrite | modeCreate));
    unicode_ = (flags & modeUnicode) != 0 || (readOnlyText && HasUnicodeMark(path));
    if (!unicode_) return false; // 8-bit files are not used by the program.

    if (!write) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return false;
        data_.clear();
        unsigned char buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data_.insert(data_.end(), buf, buf + n);
        bool err = std::ferror(f) != 0;
        std::fclose(f);
        if (err) return false;
        pos_ = 0;
        open_ = true;
        writing_ = false;
        return true;
    }

    // Write into a unique temporary file in the target's folder.
    target_ = path;
    std::random_device rd;
    for (int attempt = 0; attempt < 16 && !out_; ++attempt) {
        temp_ = path;
        temp_ += ".tmp" + std::to_string(rd() % 1000000);
        int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        out_ = ::fdopen(fd, "wb");
        if (!out_) {
            ::close(fd);
            std::filesystem::remove(temp_);
            return false;
        }
    }
    if (!out_) return false;
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
    if (std::fwrite(bytes.data(), 1, bytes.size(), out_) != bytes.size()) failed_ = true;
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
    bool ok = !failed_ && std::fflush(out_) == 0 && ::fsync(::fileno(out_)) == 0;
    if (std::fclose(out_) != 0) ok = false;
    out_ = nullptr;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp_, target_, ec);
        ok = !ec;
    }
    if (!ok) {
        failed_ = true;
        std::filesystem::remove(temp_, ec);
    }
    return ok;
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
