#include "macro/ButtonFunctions.h"

#include <cctype>
#include <string>

#include "macro/KeyCodes.h"
#include "text/Language.h"

namespace tarvik {

namespace {

constexpr KeyAction A(std::uint8_t f, std::uint8_t d1, std::uint8_t d2) {
    return KeyAction{f, d1, d2};
}

using Sub = FunctionSubMenu;
using Dlg = FunctionDialog;

constexpr std::array<FunctionMenuItem, 16> kMenu{{
    {1, 20, A(0x10, 0x01, 0), Sub::None, Dlg::None, "left"},
    {2, 21, A(0x10, 0x02, 0), Sub::None, Dlg::None, "right"},
    {3, 22, A(0x10, 0x04, 0), Sub::None, Dlg::None, "middle"},
    {4, 23, A(0x10, 0x10, 0), Sub::None, Dlg::None, "forward"},
    {5, 24, A(0x10, 0x08, 0), Sub::None, Dlg::None, "back"},
    {6, 25, A(0, 0, 0), Sub::Dpi, Dlg::None, ""},
    {7, 26, A(0, 0, 0), Sub::None, Dlg::FireKey, ""},
    {8, 27, A(0x30, 0x32, 0x03), Sub::None, Dlg::None, "fire-preset"},
    {9, 28, A(0, 0, 0), Sub::None, Dlg::MacroSelect, ""},
    {10, 29, A(0, 0, 0), Sub::None, Dlg::Shortcut, ""},
    {11, 30, A(0, 0, 0), Sub::Multimedia, Dlg::None, ""},
    {12, 31, A(0, 0, 0), Sub::Office, Dlg::None, ""},
    {13, 32, A(0, 0, 0), Sub::WindowsManagement, Dlg::None, ""},
    {14, 33, A(0x60, 0x04, 0), Sub::None, Dlg::None, "device-function"},
    {15, 36, A(0, 0, 0), Sub::DpiLock, Dlg::None, ""},
    {16, 34, A(0x00, 0x00, 0), Sub::None, Dlg::None, "disabled"},
}};

constexpr SubMenuItem kDpi[] = {
    {40, nullptr, A(0x40, 0x02, 0), "dpi-up"},
    {41, nullptr, A(0x40, 0x03, 0), "dpi-down"},
    {42, nullptr, A(0x40, 0x01, 0), "dpi-cycle"},
};

constexpr SubMenuItem kDpiLock[] = {
    {0, u"200", A(0x50, 0x01, 0), "200"},   {0, u"300", A(0x50, 0x02, 0), "300"},
    {0, u"400", A(0x50, 0x03, 0), "400"},   {0, u"500", A(0x50, 0x04, 0), "500"},
    {0, u"600", A(0x50, 0x05, 0), "600"},   {0, u"700", A(0x50, 0x06, 0), "700"},
    {0, u"800", A(0x50, 0x07, 0), "800"},   {0, u"900", A(0x50, 0x08, 0), "900"},
    {0, u"1000", A(0x50, 0x09, 0), "1000"}, {0, u"1100", A(0x50, 0x0A, 0), "1100"},
    {0, u"1200", A(0x50, 0x0B, 0), "1200"},
};

// Consumer usages as low byte, high byte.
constexpr SubMenuItem kMultimedia[] = {
    {45, nullptr, A(0x80, 0x83, 0x01), "player"},     {46, nullptr, A(0x80, 0xB6, 0x00), "previous"},
    {47, nullptr, A(0x80, 0xB5, 0x00), "next"},       {48, nullptr, A(0x80, 0xB7, 0x00), "stop"},
    {49, nullptr, A(0x80, 0xCD, 0x00), "play-pause"}, {50, nullptr, A(0x80, 0xE2, 0x00), "mute"},
    {51, nullptr, A(0x80, 0xE9, 0x00), "volume-up"},  {52, nullptr, A(0x80, 0xEA, 0x00), "volume-down"},
    {53, nullptr, A(0x80, 0x8A, 0x01), "mail"},       {54, nullptr, A(0x80, 0x92, 0x01), "calculator"},
};

constexpr SubMenuItem kOffice[] = {
    {60, nullptr, A(0x70, 0x01, 0x06), "copy"},  {61, nullptr, A(0x70, 0x01, 0x19), "paste"},
    {62, nullptr, A(0x70, 0x01, 0x1B), "cut"},   {63, nullptr, A(0x70, 0x01, 0x04), "select-all"},
    {64, nullptr, A(0x70, 0x01, 0x11), "new"},   {65, nullptr, A(0x70, 0x01, 0x16), "save"},
    {66, nullptr, A(0x70, 0x01, 0x13), "print"}, {67, nullptr, A(0x70, 0x08, 0x08), "explorer"},
    {68, nullptr, A(0x70, 0x01, 0x1D), "undo"},
};

constexpr SubMenuItem kWindows[] = {
    {75, nullptr, A(0x80, 0x94, 0x01), "computer"}, {76, nullptr, A(0x70, 0x04, 0x3D), "close"},
    {77, nullptr, A(0x70, 0x08, 0x07), "desktop"},  {78, nullptr, A(0x70, 0x08, 0x15), "run"},
    {79, nullptr, A(0x70, 0x08, 0x51), "minimize"}, {80, nullptr, A(0x70, 0x08, 0x52), "maximize"},
};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

const std::array<FunctionMenuItem, 16>& FunctionMenu() {
    return kMenu;
}

std::span<const SubMenuItem> SubMenuItems(FunctionSubMenu menu) {
    switch (menu) {
    case Sub::Dpi:
        return kDpi;
    case Sub::DpiLock:
        return kDpiLock;
    case Sub::Multimedia:
        return kMultimedia;
    case Sub::Office:
        return kOffice;
    case Sub::WindowsManagement:
        return kWindows;
    case Sub::None:
        break;
    }
    return {};
}

std::u16string SubMenuLabel(const SubMenuItem& item) {
    return item.label ? LanguageString(item.label) : std::u16string(item.text);
}

ButtonChoice ChoiceOf(const FunctionMenuItem& item) {
    return {LanguageString(item.label), item.action};
}

ButtonChoice ChoiceOf(FunctionSubMenu menu, const SubMenuItem& item) {
    if (menu == Sub::DpiLock) return {LanguageString(36) + u"-" + SubMenuLabel(item), item.action};
    return {SubMenuLabel(item), item.action};
}

std::optional<ButtonChoice> FindMenuChoice(FunctionSubMenu menu, std::string_view id) {
    const std::string want = Lower(id);
    if (menu == Sub::None) {
        for (const auto& item : kMenu)
            if (item.IsDirect() && want == item.id) return ChoiceOf(item);
        return std::nullopt;
    }
    for (const auto& item : SubMenuItems(menu))
        if (want == item.id) return ChoiceOf(menu, item);
    return std::nullopt;
}

bool IsShortcutModifierKey(std::uint8_t code) {
    return code == 0x5B || code == 0x5C || (code >= 0xA0 && code <= 0xA5);
}

std::optional<ButtonChoice> ShortcutChoice(std::uint8_t modifiers, std::optional<std::uint8_t> keyCode) {
    ButtonChoice c;
    c.action.Function = kFnKeyboard;
    static constexpr std::pair<std::uint8_t, const char16_t*> kPrefixes[] = {
        {kModCtrl, u"Ctrl+"}, {kModShift, u"Shift+"}, {kModAlt, u"Alt+"}, {kModWin, u"Win+"}};
    for (auto [bit, prefix] : kPrefixes) {
        if (modifiers & bit) {
            c.name += prefix;
            c.action.Data1 |= bit;
        }
    }
    if (keyCode) {
        c.name += KeyCodeName(*keyCode);
        c.action.Data2 = HidUsageOf(*keyCode);
    }
    if (!c.name.empty() && c.name.back() == u'+') c.name.pop_back();
    if (c.name.empty()) return std::nullopt;
    return c;
}

std::optional<ButtonChoice> ParseShortcut(std::string_view text) {
    std::uint8_t mods = 0;
    std::optional<std::uint8_t> key;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('+', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view word = text.substr(start, end - start);
        const std::string w = Lower(word);
        if (w == "ctrl" || w == "control") {
            mods |= kModCtrl;
        } else if (w == "shift") {
            mods |= kModShift;
        } else if (w == "alt") {
            mods |= kModAlt;
        } else if (w == "win" || w == "super" || w == "meta") {
            mods |= kModWin;
        } else {
            auto code = KeyCodeFromName(word);
            if (!code || key || IsShortcutModifierKey(*code) || *code <= 7) return std::nullopt;
            key = code;
        }
        start = end + 1;
    }
    return ShortcutChoice(mods, key);
}

FireKeyResult FireKeyChoice(std::uint32_t first, std::uint32_t second) {
    FireKeyResult r;
    if (first <= 4) {
        r.notice = Notice::FireRateTooLow;
        return r;
    }
    std::u16string name = LanguageString(26);
    if (!name.empty() && name.back() == u'+') name.pop_back();
    if (name.empty()) return r;
    r.choice = ButtonChoice{name, KeyAction{kFnRapidFire, static_cast<std::uint8_t>(first & 0xFF),
                                            static_cast<std::uint8_t>(second & 0xFF)}};
    return r;
}

bool AssignButton(ProfileRecord& profile, int controlId, const std::u16string& name, const KeyAction& action,
                  const MacroKey* macro) {
    if (controlId < kFirstButtonControl || controlId > kLastButtonControl) return false;
    KeySlot& slot = profile.Keys[static_cast<std::size_t>(controlId - kFirstButtonControl)];
    slot.Name = name;
    slot.Action = action;
    slot.AssignMacro(nullptr);
    if (macro) {
        slot.AssignMacro(macro);
        slot.MacroKeyIndex = macro->MacroKeyIndex;
    }
    return true;
}

bool ApplyLeftButtonRule(ProfileRecord& profile, int slot) {
    for (const KeySlot& k : profile.Keys)
        if (k.Action.Function == kFnMouseButton && k.Action.Data1 == 0x01) return false;
    if (slot < 0 || slot >= kKeyCount) return false;
    KeySlot& k = profile.Keys[static_cast<std::size_t>(slot)];
    k.Name = LanguageString(20);
    k.Action = KeyAction{kFnMouseButton, 0x01, 0x00};
    k.AssignMacro(nullptr);
    return true;
}

AssignOutcome AssignButtonWithRule(ProfileRecord& profile, int controlId, const ButtonChoice& choice,
                                   const MacroKey* macro) {
    AssignOutcome out;
    out.assigned = AssignButton(profile, controlId, choice.name, choice.action, macro);
    if (out.assigned) out.reverted = ApplyLeftButtonRule(profile, controlId - kFirstButtonControl);
    return out;
}

} // namespace tarvik
