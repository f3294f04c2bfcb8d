#include "macro/KeyCodes.h"

#include <cctype>
#include <initializer_list>

#include "text/U16.h"

namespace tarvik {

namespace {

std::array<std::u16string, 256> BuildNames() {
    std::array<std::u16string, 256> names;
    names.fill(u"Undefined");
    auto run = [&names](int first, std::initializer_list<const char16_t*> list) {
        for (const char16_t* n : list) names[static_cast<std::size_t>(first++)] = n;
    };
    run(0x01, {u"LBUTTON", u"RBUTTON", u"CANCEL", u"MBUTTON", u"XBUTTON1", u"XBUTTON2"});
    names[0x08] = u"Backspace";
    names[0x09] = u"Tab";
    names[0x0C] = u"Clear";
    names[0x0D] = u"Enter";
    run(0x10, {u"Shift", u"Ctrl", u"Alt", u"Pause", u"CapsLock", u"Kana"});
    run(0x17, {u"junja", u"Final", u"Hanja"});
    run(0x1B, {u"Esc", u"Convert", u"Nonconvert", u"Accept", u"ModeChange"});
    run(0x20,
        {u"Space", u"Page Up", u"Page Down", u"End", u"Home", u"Left Arrow", u"Up Arrow", u"Right Arrow",
         u"Down Arrow", u"Select", u"Print", u"Execute", u"Print Screen", u"Ins", u"Del", u"Help"});
    for (int d = 0; d <= 9; ++d) names[static_cast<std::size_t>(0x30 + d)] = std::u16string(1, u'0' + d);
    for (int c = 0; c < 26; ++c) names[static_cast<std::size_t>(0x41 + c)] = std::u16string(1, u'A' + c);
    names[0x5B] = u"Win_L";
    names[0x5C] = u"Win_R";
    names[0x5D] = u"App";
    names[0x5F] = u"Sleep";
    for (int d = 0; d <= 9; ++d) names[static_cast<std::size_t>(0x60 + d)] = u"Num" + Dec(d);
    run(0x6A, {u"Multiply", u"Add", u"Separator", u"Subtract", u"Decimal", u"Divide"});
    for (int f = 1; f <= 24; ++f) names[static_cast<std::size_t>(0x70 + f - 1)] = u"F" + Dec(f);
    names[0x90] = u"Num Lock";
    names[0x91] = u"Scroll Lock";
    run(0xA0, {u"Shift_L", u"Shift_R", u"Ctrl_L", u"Ctrl_R", u"Alt_L", u"Alt_R"});
    run(0xBA, {u";", u"=", u",", u"-", u".", u"/", u"~"});
    run(0xDB, {u"[", u"\\", u"]", u"'"});
    run(0xE0, {u"L Key", u"R Key", u"M Key", u"K4", u"K5", u"Mouse X", u"Mouse Y", u"Mouse Wheel"});
    return names;
}

std::array<std::uint8_t, 256> BuildHid() {
    std::array<std::uint8_t, 256> hid{};
    auto set = [&hid](std::initializer_list<std::pair<int, int>> pairs) {
        for (auto [code, usage] : pairs)
            hid[static_cast<std::size_t>(code)] = static_cast<std::uint8_t>(usage);
    };
    for (int c = 0; c < 26; ++c)
        hid[static_cast<std::size_t>(0x41 + c)] = static_cast<std::uint8_t>(0x04 + c);
    for (int d = 1; d <= 9; ++d)
        hid[static_cast<std::size_t>(0x30 + d)] = static_cast<std::uint8_t>(0x1E + d - 1);
    set({{0x30, 0x27}, {0x0D, 0x28}, {0x1B, 0x29}, {0x08, 0x2A}, {0x09, 0x2B}, {0x20, 0x2C}});
    set({{0xBD, 0x2D}, {0xBB, 0x2E}, {0xDB, 0x2F}, {0xDD, 0x30}, {0xDC, 0x31}});
    set({{0xBA, 0x33}, {0xDE, 0x34}, {0xC0, 0x35}, {0xBC, 0x36}, {0xBE, 0x37}, {0xBF, 0x38}, {0x14, 0x39}});
    for (int f = 0; f < 12; ++f)
        hid[static_cast<std::size_t>(0x70 + f)] = static_cast<std::uint8_t>(0x3A + f);
    set({{0x2C, 0x46}, {0x91, 0x47}, {0x13, 0x48}});
    set({{0x2D, 0x49}, {0x24, 0x4A}, {0x21, 0x4B}, {0x2E, 0x4C}, {0x23, 0x4D}, {0x22, 0x4E}});
    set({{0x27, 0x4F}, {0x25, 0x50}, {0x28, 0x51}, {0x26, 0x52}});
    set({{0x90, 0x53}, {0x6F, 0x54}, {0x6A, 0x55}, {0x6D, 0x56}, {0x6B, 0x57}, {0x0E, 0x58}});
    for (int d = 1; d <= 9; ++d)
        hid[static_cast<std::size_t>(0x60 + d)] = static_cast<std::uint8_t>(0x59 + d - 1);
    set({{0x60, 0x62}, {0x6E, 0x63}, {0x5D, 0x65}, {0x5F, 0x82}, {0x3B, 0x29}});
    set({{0xA2, 0xE0}, {0xA0, 0xE1}, {0xA4, 0xE2}, {0x5B, 0xE3}});
    set({{0xA3, 0xE4}, {0xA1, 0xE5}, {0xA5, 0xE6}, {0x5C, 0xE7}});
    for (int m = 0; m < 8; ++m) hid[static_cast<std::size_t>(0xE0 + m)] = static_cast<std::uint8_t>(0xF0 + m);
    set({{0xF0, 0x81}, {0xF1, 0x83}, {0xF2, 0x32}, {0xF3, 0x64}});
    set({{0xF4, 0x85}, {0xF5, 0x87}, {0xF6, 0x88}, {0xF7, 0x89}, {0xF8, 0x8A}, {0xF9, 0x8B}});
    set({{0xFA, 0x90}, {0xFB, 0x91}});
    return hid;
}

bool SameIgnoringCase(std::u16string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] > 0x7F) return false;
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

const std::array<std::u16string, 256>& KeyCodeNames() {
    static const std::array<std::u16string, 256> names = BuildNames();
    return names;
}

const std::array<std::uint8_t, 256>& KeyCodeToHid() {
    static const std::array<std::uint8_t, 256> hid = BuildHid();
    return hid;
}

std::optional<std::uint8_t> KeyCodeFromName(std::string_view name) {
    if (name.empty()) return std::nullopt;
    if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
        if (name.size() > 4) return std::nullopt;
        unsigned v = 0;
        for (char c : name.substr(2)) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
            v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : (std::tolower(c) - 'a' + 10));
        }
        return static_cast<std::uint8_t>(v);
    }
    const auto& names = KeyCodeNames();
    for (std::size_t c = 0; c < names.size(); ++c) {
        if (names[c] != u"Undefined" && SameIgnoringCase(names[c], name)) return static_cast<std::uint8_t>(c);
    }
    return std::nullopt;
}

} // namespace tarvik
