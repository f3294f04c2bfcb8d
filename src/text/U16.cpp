#include "text/U16.h"

#include <limits>

namespace tarvik {

bool HasLineBreak(std::u16string_view s) {
    return s.find_first_of(u"\r\n") != std::u16string_view::npos;
}

bool FitsOnALine(std::u16string_view s) {
    return s.find(u'\n') == std::u16string_view::npos && (s.empty() || s.back() != u'\r');
}

std::u16string FromUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (i + len > s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = true;
        for (std::size_t k = 1; k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::filesystem::path PathFromU16(std::u16string_view s) {
    return std::filesystem::path(ToUtf8(s));
}
std::u16string PathToU16(const std::filesystem::path& p) {
    return FromUtf8(p.string());
}

namespace {
bool IsBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}
constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";
} // namespace

int HexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

std::int64_t ParseDec(std::u16string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) neg = s[i++] == u'-';
    std::uint64_t v = 0;
    constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        v = v * 10 + static_cast<unsigned>(s[i] - u'0');
        if (v > kLimit) {
            v = kLimit;
            // Consume the remaining digits without further growth.
            while (i + 1 < s.size() && s[i + 1] >= u'0' && s[i + 1] <= u'9') ++i;
        }
    }
    return neg ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
}

std::uint64_t ParseHex(std::u16string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X') && i + 2 < s.size() &&
        HexDigitValue(s[i + 2]) >= 0)
        i += 2;
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        int d = HexDigitValue(s[i]);
        if (d < 0) break;
        if (v > (std::numeric_limits<std::uint64_t>::max() >> 4))
            return std::numeric_limits<std::uint64_t>::max();
        v = (v << 4) | static_cast<unsigned>(d);
    }
    return v;
}

std::uint32_t HexField(std::u16string_view s, std::size_t pos, std::size_t width) {
    std::uint32_t v = 0;
    for (std::size_t i = pos; i < s.size() && i < pos + width; ++i) {
        int d = HexDigitValue(s[i]);
        if (d < 0) break;
        v = (v << 4) | static_cast<unsigned>(d);
    }
    return v;
}

void AppendHex(std::u16string& out, std::uint64_t v, int digits) {
    int n = 1;
    while (n < 16 && (v >> (4 * n)) != 0) ++n;
    if (digits > n) out.append(static_cast<std::size_t>(digits - n), u'0');
    for (int i = n - 1; i >= 0; --i) out.push_back(kHexDigits[(v >> (4 * i)) & 0xF]);
}

std::u16string Hex(std::uint64_t v, int digits) {
    std::u16string out;
    AppendHex(out, v, digits);
    return out;
}

void AppendHexBytes(std::u16string& out, std::span<const std::uint8_t> bytes) {
    // Sized once: a macro writes 2688 digits, and the files hold many macros.
    const std::size_t at = out.size();
    out.resize(at + bytes.size() * 2);
    char16_t* p = out.data() + at;
    for (std::uint8_t b : bytes) {
        *p++ = kHexDigits[b >> 4];
        *p++ = kHexDigits[b & 0xF];
    }
}

std::u16string HexBlank4(std::uint32_t v) {
    std::u16string digits = Hex(v, 1);
    std::u16string out = u"0x";
    if (digits.size() < 4) out.append(4 - digits.size(), u' ');
    out += digits;
    return out;
}

std::u16string Dec(std::int64_t v) {
    return FromUtf8(std::to_string(v));
}

} // namespace tarvik
