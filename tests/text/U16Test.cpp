#include <gtest/gtest.h>

#include "text/U16.h"

namespace tarvik {
namespace {

TEST(U16, FormatsAsTheFilesNeed) {
    EXPECT_EQ(HexBlank4(0x3325), u"0x3325");
    EXPECT_EQ(HexBlank4(0xCCDA), u"0xCCDA");
    EXPECT_EQ(HexBlank4(0x12), u"0x  12"); // blank padding, not zeros
    EXPECT_EQ(HexBlank4(0x12345), u"0x12345");
    EXPECT_EQ(Hex(0xA, 2), u"0A");
    EXPECT_EQ(Hex(0x1F, 4), u"001F");
    EXPECT_EQ(Hex(0x12345, 4), u"12345"); // at least, not at most
    EXPECT_EQ(Hex(0, 1), u"0");
    EXPECT_EQ(Hex(0xFFFFFFFFFFFFFFFFu, 2), u"FFFFFFFFFFFFFFFF");
    std::u16string bytes = u"=";
    const std::uint8_t run[] = {0x00, 0x0B, 0xA0, 0xFF};
    AppendHexBytes(bytes, run);
    EXPECT_EQ(bytes, u"=000BA0FF"); // in order, two digits each
    EXPECT_EQ(HexDigitValue(u'f'), 15);
    EXPECT_EQ(HexDigitValue(u'G'), -1);
    EXPECT_EQ(Dec(-12), u"-12");
}

TEST(U16, ParsesLeniently) {
    struct Case {
        std::u16string text;
        std::int64_t dec;
        std::uint64_t hex;
    };
    const Case cases[] = {
        {u"12", 12, 0x12},
        {u"0x3325", 0, 0x3325},
        {u"  7z", 7, 0x7},
        {u"Z1", 0, 0},
        {u"", 0, 0},
        {u"-3", -3, 0},
        {u"0xG", 0, 0},
        {u"0X1f", 0, 0x1F},
        {u"99999999999999999999999", INT64_MAX, UINT64_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        EXPECT_EQ(ParseDec(c.text), c.dec);
        EXPECT_EQ(ParseHex(c.text), c.hex);
    }
    // Fixed fields stop at the first non-digit and at the end of the text.
    EXPECT_EQ(HexField(u"1|2", 0, 2), 1u);
    EXPECT_EQ(HexField(u"1|2", 2, 2), 2u);
    EXPECT_EQ(HexField(u"1|2", 5, 2), 0u);
    EXPECT_EQ(HexField(u"ABCDEF", 1, 4), 0xBCDEu);
}

TEST(U16, Utf8RoundTripAndMalformedInput) {
    const std::u16string text = u"Néon 中文 \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD");
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // an encoded surrogate
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

} // namespace
} // namespace tarvik
