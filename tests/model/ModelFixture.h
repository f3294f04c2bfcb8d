// Shared set-up of the model tests: a temporary data folder, the language
// strings the profile defaults use, and the problems the model reports.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/SettingsModel.h"
#include "startup/Startup.h"
#include "support/TempDir.h"
#include "text/Language.h"
#include "text/Log.h"
#include "text/U16.h"

namespace tarvik::test {

// The language strings that the golden default file was rendered with.
inline void SetTestLanguage() {
    LanguageTable& t = Language();
    t.Clear();
    t.Set(85, u"Profil 1");
    t.Set(86, u"Profil 2");
    t.Set(87, u"Profil 3 — Jeu");
    t.Set(88, u"Profil 4");
    t.Set(89, u"Profil 5");
    t.Set(20, u"Left Button");
    t.Set(21, u"Right Button");
    t.Set(22, u"Middle Button");
    t.Set(23, u"Forward");
    t.Set(24, u"Back");
    t.Set(42, u"DPI Loop");
    t.Set(100, u"Néon");
}

// Splits a UTF-16 file (after its byte-order mark) at line feeds; the text after
// the last line feed is the last element.
inline std::vector<std::u16string> SplitU16Lines(const std::string& bytes) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find(u'\n', start)) != std::u16string::npos; start = p + 1)
        lines.push_back(text.substr(start, p - start));
    lines.push_back(text.substr(start));
    return lines;
}

inline std::string JoinU16Lines(const std::vector<std::u16string>& lines, std::u16string_view eol = u"\n") {
    std::u16string text;
    for (const auto& l : lines) {
        text += l;
        text += eol;
    }
    return Utf16Bytes(text);
}

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTestLanguage();
        SetProblemSink([this](const std::string& m) { problems.push_back(m); }, /*quiet=*/true);
    }
    void TearDown() override { SetProblemSink(nullptr, false); }

    std::filesystem::path Config(const std::string& name) const { return dir / "config" / name; }

    // A first start in the temporary folder: defaults written, then loaded.
    void FirstStart(SettingsModel& m) {
        ASSERT_TRUE(PrepareDataFolder(dir.path(), dir / "no-program-folder"));
        m.LoadSettingsModel();
        m.BuildDpiTables();
    }

    TempDir dir;
    std::vector<std::string> problems;
};

} // namespace tarvik::test
