#include <gtest/gtest.h>

#include <optional>

#include "support/TempDir.h"
#include "text/Language.h"

namespace tarvik {
namespace {

using test::TempDir;
using test::Utf16Bytes;
using test::WriteBytes;

struct LanguageCase {
    const char* name;
    std::optional<std::u16string> selector; // LanSetting.ini, absent when empty
    std::u16string english;                 // Lan_EN.txt
    std::u16string chinese;                 // Lan.txt
    double scale;
    FileError error;  // how the load ended
    const char* file; // the file that was read
    InterfaceFont font;
    std::vector<std::pair<int, std::u16string>> strings;
};

const std::u16string kEn = u"[Setting]\n0=English\n1=File\n";
const std::u16string kZh = u"[Setting]\n0=中文\n1=文件\n";
const InterfaceFont kInitial{};

TEST(Language, LoadTable) {
    const std::vector<LanguageCase> cases = {
        {"EN selects Lan_EN.txt",
         u"[ChangeLanguage]\nLanguage=EN\n",
         kEn,
         kZh,
         1.0,
         FileError::None,
         "Lan_EN.txt",
         {u"Tahoma", 16, 1},
         {{0, u"English"}, {1, u"File"}}},
        {"code is case-sensitive",
         u"[ChangeLanguage]\nLanguage=en\n",
         kEn,
         kZh,
         1.0,
         FileError::None,
         "Lan.txt",
         {u"宋体", 12, 134},
         {{0, u"中文"}, {1, u"文件"}}},
        {"no selector: Lan.txt",
         std::nullopt,
         kEn,
         kZh,
         1.5,
         FileError::None,
         "Lan.txt",
         {u"宋体", 18, 134},
         {{1, u"文件"}}},
        {"selector without header: first line is the code",
         u"EN\n",
         kEn,
         kZh,
         2.0,
         FileError::None,
         "Lan_EN.txt",
         {u"Tahoma", 32, 1},
         {{1, u"File"}}},
        {"second line without =",
         u"[ChangeLanguage]\nEN\n",
         kEn,
         kZh,
         1.0,
         FileError::None,
         "Lan_EN.txt",
         {u"Tahoma", 16, 1},
         {}},
        {"UI scale 1.5 truncates the Tahoma height",
         u"EN",
         kEn,
         kZh,
         1.5,
         FileError::None,
         "Lan_EN.txt",
         {u"Tahoma", 24, 1},
         {}},
        {"empty line stops and keeps the initial font",
         u"EN",
         u"[Setting]\n0=English\n1=a\n\n2=b\n",
         kZh,
         1.0,
         FileError::Damaged,
         "Lan_EN.txt",
         kInitial,
         {{0, u"English"}, {1, u"a"}, {2, u""}}},
        {"line without text stops",
         u"EN",
         u"[Setting]\n3=x\n4=\n5=y\n",
         kZh,
         1.0,
         FileError::Damaged,
         "Lan_EN.txt",
         kInitial,
         {{3, u"x"}, {5, u""}}},
        {"index that is no number sets slot 0",
         u"EN",
         u"[Setting]\n0=English\nabc=q\n",
         kZh,
         1.0,
         FileError::None,
         "Lan_EN.txt",
         {u"Tahoma", 16, 1},
         {{0, u"q"}}},
        {"indexes outside 0-499 are ignored",
         u"EN",
         u"[Setting]\n499=last\n500=over\n-1=under\n7=seven\n",
         kZh,
         1.0,
         FileError::None,
         "Lan_EN.txt",
         {u"Tahoma", 16, 1},
         {{499, u"last"}, {7, u"seven"}, {0, u""}}},
        {"last line for an index wins, text untrimmed",
         u"EN",
         u"[Setting]\n5=a\n5= b = c \n",
         kZh,
         1.0,
         FileError::None,
         "Lan_EN.txt",
         {u"Tahoma", 16, 1},
         {{5, u" b = c "}}},
        {"CR LF line ends read as LF",
         u"EN",
         u"[Setting]\r\n0=English\r\n",
         kZh,
         1.0,
         FileError::None,
         "Lan_EN.txt",
         {u"Tahoma", 16, 1},
         {{0, u"English"}}},
        {"missing language file",
         u"EN",
         u"",
         kZh,
         1.0,
         FileError::Missing,
         "Lan_EN.txt",
         kInitial,
         {{0, u""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.selector) WriteBytes(dir / "LanSetting.ini", Utf16Bytes(*c.selector));
        if (!c.english.empty()) WriteBytes(dir / "Lan_EN.txt", Utf16Bytes(c.english));
        WriteBytes(dir / "Lan.txt", Utf16Bytes(c.chinese));
        LanguageTable table;
        const FileResult r = table.Load(dir.path(), c.scale);
        EXPECT_EQ(r.error, c.error) << r.Describe();
        EXPECT_EQ(r.line > 0, c.error == FileError::Damaged) << r.Describe();
        EXPECT_EQ(table.File(), dir / c.file);
        EXPECT_EQ(table.Font().face, c.font.face);
        EXPECT_EQ(table.Font().height, c.font.height);
        EXPECT_EQ(table.Font().charSet, c.font.charSet);
        for (const auto& [index, text] : c.strings) EXPECT_EQ(table.String(index), text) << index;
    }
}

TEST(Language, OutOfRangeAccessIsEmpty) {
    LanguageTable table;
    table.Set(500, u"x");
    table.Set(-1, u"x");
    EXPECT_EQ(table.String(500), u"");
    EXPECT_EQ(table.String(-1), u"");
    table.Set(499, u"y");
    EXPECT_EQ(table.String(499), u"y");
}

TEST(Language, InMemoryReadersMatchTheFiles) {
    EXPECT_EQ(LanguageTable::SelectorCode(Utf16Bytes(u"[ChangeLanguage]\nLanguage=EN\n")), u"EN");
    EXPECT_EQ(LanguageTable::SelectorCode(Utf16Bytes(u"[ChangeLanguage]\nLanguage=\n")), u"Language=");
    EXPECT_EQ(LanguageTable::SelectorCode(""), u"");
    LanguageTable table;
    EXPECT_TRUE(table.LoadText(Utf16Bytes(u"[Setting]\n0=中文\n2=b\n"), 2.0));
    EXPECT_EQ(table.Font().height, 24);
    EXPECT_EQ(table.String(2), u"b");
}

} // namespace
} // namespace tarvik
