// Helpers of the macro tests: a fresh folder per test, UTF-16 files written from
// UTF-8 text, and raw file bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "model/MacroRecords.h"
#include "support/TempDir.h"
#include "text/U16.h"

namespace tarvik::test {

// A macro step from its four stored bytes.
inline MacroAction S(int b0, int b1, int b2, int b3) {
    return MacroAction::FromBytes(static_cast<std::uint8_t>(b0), static_cast<std::uint8_t>(b1),
                                  static_cast<std::uint8_t>(b2), static_cast<std::uint8_t>(b3));
}

inline std::filesystem::path MacroData(const std::string& name) {
    return std::filesystem::path(TARVIK_TEST_DATA) / "macro" / "data" / name;
}

// The bytes of a program text file: FF FE, then UTF-16LE.
inline std::string Utf16File(const std::u16string& text) {
    std::string bytes("\xFF\xFE", 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

inline void WriteUtf16(const std::filesystem::path& p, const std::string& utf8) {
    std::ofstream out(p, std::ios::binary);
    const std::string bytes = Utf16File(FromUtf8(utf8));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream ss(text);
    for (std::string l; std::getline(ss, l);) lines.push_back(l);
    return lines;
}

inline std::string JoinLines(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
}

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir_ = std::filesystem::temp_directory_path() /
               ("tarvik-macro-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

    std::filesystem::path dir_;
};

} // namespace tarvik::test
