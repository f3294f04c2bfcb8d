// The language table: 500 interface texts addressed by number, loaded once at
// start-up from the data folder's config/ folder, and the interface font chosen
// with it.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

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
    // config/Lan.txt, then the chosen file. Returns true when the whole file was
    // read and the interface font was chosen. Slots named before a malformed
    // line keep their texts.
    bool Load(const std::filesystem::path& configDir, double uiScale = 1.0);

    // The same two steps on file contents held in memory (tests and fuzzers).
    // LoadText reads one language file's bytes into the table and chooses the font.
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

    // Where Load stopped early, a reason for the log ("" after a full load).
    const std::string& Problem() const { return problem_; }

private:
    static std::u16string ReadSelector(CStdioFileEx& f);
    bool ReadLanguage(CStdioFileEx& f, double uiScale);

    std::array<std::u16string, kSize> text_{};
    InterfaceFont font_{};
    std::u16string code_;
    std::filesystem::path file_;
    std::string problem_;
};

// The process-wide table every window and model default reads.
LanguageTable& Language();
inline const std::u16string& LanguageString(int i) {
    return Language().String(i);
}
bool LoadLanguage(const std::filesystem::path& configDir, double uiScale = 1.0);

} // namespace tarvik
