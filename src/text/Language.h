// The language table: 500 interface texts addressed by number, loaded once at
// start-up from the data folder's config/ folder, and the interface font chosen
// with it.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "text/FileResult.h"

namespace tarvik {

class CStdioFileEx;

struct InterfaceFont {
    std::u16string face = u"宋体";
    int height = 12;
    int charSet = 134; // GB2312
};

class LanguageTable {
public:
    static constexpr int kSize = 500;

    // Reads config/LanSetting.ini to choose config/Lan_EN.txt ("EN") or
    // config/Lan.txt, then the chosen file. Succeeds when the whole file was
    // read and the interface font was chosen; otherwise says why (Missing,
    // Unreadable, or Damaged with the line). Slots named before a malformed
    // line keep their texts. Nothing is reported: the start-up load does that.
    FileResult Load(const std::filesystem::path& configDir, double uiScale = 1.0);
    // Reads one language file (Lan.txt, Lan_EN.txt) into the table and
    // chooses the font, as Load does after the selector.
    FileResult LoadFile(const std::filesystem::path& file, double uiScale = 1.0);

    // The same two steps on file contents held in memory (tests and fuzzers).
    // LoadText reads one language file's bytes into the table and chooses the
    // font; true when the whole file was read.
    bool LoadText(std::string_view fileBytes, double uiScale = 1.0);
    // The language code that a LanSetting.ini with these bytes selects.
    static std::u16string SelectorCode(std::string_view fileBytes);

    // Text of slot i; empty for an index outside 0–499.
    const std::u16string& String(int i) const;
    void Set(int i, std::u16string text);
    void Clear();

    const InterfaceFont& Font() const { return font_; }
    // The language code read from LanSetting.ini and the file that was loaded.
    const std::u16string& Code() const { return code_; }
    const std::filesystem::path& File() const { return file_; }

private:
    static std::u16string ReadSelector(CStdioFileEx& f);
    FileResult ReadLanguage(CStdioFileEx& f, double uiScale);

    std::array<std::u16string, kSize> text_{};
    InterfaceFont font_{};
    std::u16string code_;
    std::filesystem::path file_;
};

// Validators for `tarvikctl check`. A language file: "[Setting]", then
// index=text lines (what LoadFile reads in full). LanSetting.ini:
// "[ChangeLanguage]", then a name, "=" and the language code; further lines
// are ignored. (The load also takes a first line of another kind as the code;
// the check holds a file to the format the program's own files have.)
FileResult CheckLanguageFile(const std::filesystem::path& path);
FileResult CheckLanguageSelector(const std::filesystem::path& path);

// The process-wide table every window and model default reads.
LanguageTable& Language();
inline const std::u16string& LanguageString(int i) {
    return Language().String(i);
}
FileResult LoadLanguage(const std::filesystem::path& configDir, double uiScale = 1.0);

} // namespace tarvik
