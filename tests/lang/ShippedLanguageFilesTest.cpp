// The language files shipped in data/lang: each loads completely through the
// program's own loader, fills every slot the interface reads, and keeps the byte
// format the loader depends on (UTF-16LE, byte-order mark, LF line ends).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "text/Language.h"
#include "text/U16.h"

namespace fs = std::filesystem;

namespace tarvik {
namespace {

const fs::path kLangDir = fs::path(TARVIK_SOURCE_DIR) / "data" / "lang";

// Every slot the interface reads a text from; each needs one in every language.
// 190–211 includes the step kinds of the macro insert pop-up (205–210).
struct IndexRange {
    int first;
    int last;
};
constexpr IndexRange kUsedIndexes[] = {
    {0, 0},     {1, 3},     {4, 6},     {7, 19},    {20, 36},   {40, 42},   {45, 54},
    {60, 68},   {75, 80},   {85, 89},   {90, 93},   {100, 111}, {120, 123}, {130, 135},
    {140, 156}, {170, 176}, {180, 180}, {190, 211}, {220, 225}, {232, 259}, {260, 274},
};

std::vector<unsigned char> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The UTF-16 code units after the byte-order mark.
std::u16string Units(const std::vector<unsigned char>& bytes) {
    std::u16string out;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return out;
}

std::vector<std::u16string> Lines(const std::u16string& text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (std::size_t lf; (lf = text.find(u'\n', start)) != std::u16string::npos; start = lf + 1)
        lines.push_back(text.substr(start, lf - start));
    return lines;
}

// A config folder of its own for each test, removed afterwards.
class TempConfig {
public:
    TempConfig() {
        std::string pattern = (fs::temp_directory_path() / "tarvik-lang-XXXXXX").string();
        if (mkdtemp(pattern.data())) dir_ = pattern;
    }
    ~TempConfig() {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }
    const fs::path& Dir() const { return dir_; }
    void Copy(const char* name) const { fs::copy_file(kLangDir / name, dir_ / name); }

private:
    fs::path dir_;
};

struct ShippedLanguage {
    const char* label;
    const char* file;
    const char* other;   // the other language's file, which must name the same slots
    bool selectEnglish;  // the shipped LanSetting.ini goes into the folder
    std::u16string name; // slot 0
    std::u16string face;
    int height;
};

// Test names and failure output show the language, not the bytes of the record.
void PrintTo(const ShippedLanguage& lang, std::ostream* os) {
    *os << lang.label;
}

class ShippedLanguageFile : public ::testing::TestWithParam<ShippedLanguage> {
protected:
    // Both language files sit in the folder, so the selector really chooses.
    FileResult LoadShipped(LanguageTable& table) {
        if (config_.Dir().empty())
            return FileResult::Failure(FileError::Missing, "no temporary config folder");
        config_.Copy("Lan_EN.txt");
        config_.Copy("Lan.txt");
        if (GetParam().selectEnglish) config_.Copy("LanSetting.ini");
        return table.Load(config_.Dir());
    }

    TempConfig config_;
};

TEST_P(ShippedLanguageFile, LoadsCompletelyWithItsFont) {
    const ShippedLanguage& lang = GetParam();
    LanguageTable table;
    const FileResult loaded = LoadShipped(table);
    ASSERT_TRUE(loaded) << loaded.Describe();
    EXPECT_EQ(table.File().filename(), lang.file);
    EXPECT_EQ(table.Code(), lang.selectEnglish ? u"EN" : u"");
    EXPECT_EQ(table.String(0), lang.name);
    EXPECT_EQ(table.Font().face, lang.face);
    EXPECT_EQ(table.Font().height, lang.height);
}

TEST_P(ShippedLanguageFile, FillsEverySlotTheInterfaceReads) {
    LanguageTable table;
    const FileResult loaded = LoadShipped(table);
    ASSERT_TRUE(loaded) << loaded.Describe();
    for (const IndexRange& r : kUsedIndexes)
        for (int i = r.first; i <= r.last; ++i)
            EXPECT_FALSE(table.String(i).empty()) << GetParam().file << ": index " << i << " has no text";
}

// One "index=text" line per slot in ascending order, and the same slots as the
// other language, so neither file hides a slot the other one translates.
TEST_P(ShippedLanguageFile, NamesEachSlotOnceLikeTheOtherLanguage) {
    auto indexes = [](const char* file) {
        std::vector<std::u16string> lines = Lines(Units(ReadBytes(kLangDir / file)));
        EXPECT_FALSE(lines.empty()) << file;
        EXPECT_EQ(lines.empty() ? u"" : lines[0], u"[Setting]") << file;
        std::set<int> seen;
        int previous = -1;
        for (std::size_t n = 1; n < lines.size(); ++n) {
            std::size_t eq = lines[n].find(u'=');
            std::u16string number = lines[n].substr(0, eq);
            EXPECT_TRUE(eq != std::u16string::npos && eq > 0 &&
                        number.find_first_not_of(u"0123456789") == std::u16string::npos)
                << file << ": line " << n + 1 << ": " << ToUtf8(lines[n]);
            int index = static_cast<int>(ParseDec(number));
            EXPECT_GT(index, previous) << file << ": line " << n + 1 << " is out of order";
            EXPECT_LT(index, LanguageTable::kSize) << file << ": line " << n + 1;
            previous = index;
            seen.insert(index);
        }
        return seen;
    };
    EXPECT_EQ(indexes(GetParam().file), indexes(GetParam().other));
}

INSTANTIATE_TEST_SUITE_P(
    lang, ShippedLanguageFile,
    ::testing::Values(ShippedLanguage{"English", "Lan_EN.txt", "Lan.txt", true, u"English", u"Tahoma", 16},
                      ShippedLanguage{"Chinese", "Lan.txt", "Lan_EN.txt", false, u"中文", u"宋体", 12}),
    [](const ::testing::TestParamInfo<ShippedLanguage>& info) { return info.param.label; });

// The loader reads UTF-16LE after FF FE and splits at LF only: a CR would end up in
// the texts (and in the "[Setting]" header, which then fails), and a missing final
// LF is fragile for anyone who appends a line.
class ShippedFileBytes : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedFileBytes, Utf16LeWithMarkAndBareLineFeeds) {
    std::vector<unsigned char> bytes = ReadBytes(kLangDir / GetParam());
    ASSERT_GE(bytes.size(), 4u) << GetParam();
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(bytes.size() % 2, 0u) << "odd byte count";
    std::u16string text = Units(bytes);
    EXPECT_EQ(text.find(u'\r'), std::u16string::npos) << "carriage return at unit " << text.find(u'\r');
    EXPECT_EQ(text.find(u'\0'), std::u16string::npos) << "NUL at unit " << text.find(u'\0');
    EXPECT_EQ(text.back(), u'\n') << "no line feed after the last line";
    EXPECT_EQ(text.find(u"\n\n"), std::u16string::npos) << "empty line at unit " << text.find(u"\n\n");
}

INSTANTIATE_TEST_SUITE_P(lang, ShippedFileBytes, ::testing::Values("Lan_EN.txt", "Lan.txt", "LanSetting.ini"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return name;
                         });

} // namespace
} // namespace tarvik
