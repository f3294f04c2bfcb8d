#include <gtest/gtest.h>

#include "macro/ButtonFunctions.h"
#include "text/Language.h"
#include "text/U16.h"

namespace tarvik {
namespace {

KeyAction A(int f, int d1, int d2) {
    return KeyAction{static_cast<std::uint8_t>(f), static_cast<std::uint8_t>(d1),
                     static_cast<std::uint8_t>(d2)};
}

// Language string n reads "S<n>" (and 26 "S26+", as a menu label may end in "+").
// Built by appending: GCC 12 at -O2 reports a false -Wrestrict for a literal
// prefixed to a temporary string.
std::u16string Label(std::int64_t n) {
    std::u16string s(u"S");
    s += Dec(n);
    return s;
}

class ButtonFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 200; ++i) Language().Set(i, Label(i));
        Language().Set(26, u"S26+");
    }
    void TearDown() override { Language().Clear(); }
};

TEST_F(ButtonFunctions, FunctionMenu) {
    struct Row {
        int label;
        const char* kind; // "action", "sub", "dialog"
        KeyAction action;
    };
    const Row rows[16] = {
        {20, "action", A(0x10, 0x01, 0)},
        {21, "action", A(0x10, 0x02, 0)},
        {22, "action", A(0x10, 0x04, 0)},
        {23, "action", A(0x10, 0x10, 0)},
        {24, "action", A(0x10, 0x08, 0)},
        {25, "sub", {}},
        {26, "dialog", {}},
        {27, "action", A(0x30, 0x32, 0x03)},
        {28, "dialog", {}},
        {29, "dialog", {}},
        {30, "sub", {}},
        {31, "sub", {}},
        {32, "sub", {}},
        {33, "action", A(0x60, 0x04, 0)},
        {36, "sub", {}},
        {34, "action", A(0, 0, 0)},
    };
    for (std::size_t i = 0; i < 16; ++i) {
        const FunctionMenuItem& item = FunctionMenu()[i];
        SCOPED_TRACE(item.item);
        EXPECT_EQ(item.item, static_cast<int>(i) + 1);
        EXPECT_EQ(item.label, rows[i].label);
        const std::string kind = item.IsDirect()                         ? "action"
                                 : item.subMenu != FunctionSubMenu::None ? "sub"
                                                                         : "dialog";
        EXPECT_EQ(kind, rows[i].kind);
        if (item.IsDirect()) {
            EXPECT_EQ(ChoiceOf(item), (ButtonChoice{Label(rows[i].label), rows[i].action}));
        }
    }
    EXPECT_EQ(FunctionMenu()[6].dialog, FunctionDialog::FireKey);
    EXPECT_EQ(FunctionMenu()[8].dialog, FunctionDialog::MacroSelect);
    EXPECT_EQ(FunctionMenu()[9].dialog, FunctionDialog::Shortcut);
    EXPECT_EQ(FunctionMenu()[14].subMenu, FunctionSubMenu::DpiLock);
}

TEST_F(ButtonFunctions, SubMenus) {
    struct Row {
        FunctionSubMenu menu;
        const char* id;
        const char* name;
        KeyAction action;
    };
    const Row rows[] = {
        {FunctionSubMenu::Dpi, "dpi-up", "S40", A(0x40, 0x02, 0)},
        {FunctionSubMenu::Dpi, "dpi-down", "S41", A(0x40, 0x03, 0)},
        {FunctionSubMenu::Dpi, "dpi-cycle", "S42", A(0x40, 0x01, 0)},
        {FunctionSubMenu::DpiLock, "200", "S36-200", A(0x50, 0x01, 0)},
        {FunctionSubMenu::DpiLock, "800", "S36-800", A(0x50, 0x07, 0)},
        {FunctionSubMenu::DpiLock, "1200", "S36-1200", A(0x50, 0x0B, 0)},
        {FunctionSubMenu::Multimedia, "player", "S45", A(0x80, 0x83, 0x01)},
        {FunctionSubMenu::Multimedia, "previous", "S46", A(0x80, 0xB6, 0x00)},
        {FunctionSubMenu::Multimedia, "next", "S47", A(0x80, 0xB5, 0x00)},
        {FunctionSubMenu::Multimedia, "stop", "S48", A(0x80, 0xB7, 0x00)},
        {FunctionSubMenu::Multimedia, "play-pause", "S49", A(0x80, 0xCD, 0x00)},
        {FunctionSubMenu::Multimedia, "mute", "S50", A(0x80, 0xE2, 0x00)},
        {FunctionSubMenu::Multimedia, "volume-up", "S51", A(0x80, 0xE9, 0x00)},
        {FunctionSubMenu::Multimedia, "volume-down", "S52", A(0x80, 0xEA, 0x00)},
        {FunctionSubMenu::Multimedia, "mail", "S53", A(0x80, 0x8A, 0x01)},
        {FunctionSubMenu::Multimedia, "calculator", "S54", A(0x80, 0x92, 0x01)},
        {FunctionSubMenu::Office, "copy", "S60", A(0x70, 0x01, 0x06)},
        {FunctionSubMenu::Office, "paste", "S61", A(0x70, 0x01, 0x19)},
        {FunctionSubMenu::Office, "cut", "S62", A(0x70, 0x01, 0x1B)},
        {FunctionSubMenu::Office, "select-all", "S63", A(0x70, 0x01, 0x04)},
        {FunctionSubMenu::Office, "new", "S64", A(0x70, 0x01, 0x11)},
        {FunctionSubMenu::Office, "save", "S65", A(0x70, 0x01, 0x16)},
        {FunctionSubMenu::Office, "print", "S66", A(0x70, 0x01, 0x13)},
        {FunctionSubMenu::Office, "explorer", "S67", A(0x70, 0x08, 0x08)},
        {FunctionSubMenu::Office, "undo", "S68", A(0x70, 0x01, 0x1D)},
        {FunctionSubMenu::WindowsManagement, "computer", "S75", A(0x80, 0x94, 0x01)},
        {FunctionSubMenu::WindowsManagement, "close", "S76", A(0x70, 0x04, 0x3D)},
        {FunctionSubMenu::WindowsManagement, "desktop", "S77", A(0x70, 0x08, 0x07)},
        {FunctionSubMenu::WindowsManagement, "run", "S78", A(0x70, 0x08, 0x15)},
        {FunctionSubMenu::WindowsManagement, "minimize", "S79", A(0x70, 0x08, 0x51)},
        {FunctionSubMenu::WindowsManagement, "maximize", "S80", A(0x70, 0x08, 0x52)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.id);
        auto c = FindMenuChoice(r.menu, r.id);
        ASSERT_TRUE(c);
        EXPECT_EQ(ToUtf8(c->name), r.name);
        EXPECT_EQ(c->action, r.action);
    }
    EXPECT_EQ(SubMenuItems(FunctionSubMenu::Dpi).size(), 3u);
    EXPECT_EQ(SubMenuItems(FunctionSubMenu::DpiLock).size(), 11u);
    EXPECT_EQ(SubMenuItems(FunctionSubMenu::Multimedia).size(), 10u);
    EXPECT_EQ(SubMenuItems(FunctionSubMenu::Office).size(), 9u);
    EXPECT_EQ(SubMenuItems(FunctionSubMenu::WindowsManagement).size(), 6u);
    EXPECT_EQ(ToUtf8(SubMenuLabel(SubMenuItems(FunctionSubMenu::DpiLock)[6])), "800");
    EXPECT_FALSE(FindMenuChoice(FunctionSubMenu::DpiLock, "850"));
    EXPECT_FALSE(FindMenuChoice(FunctionSubMenu::None, "macro")); // a dialog, not an action
}

TEST_F(ButtonFunctions, AssignButtonStoresIntoTheControlsSlot) {
    ProfileRecord p;
    MacroKey m(u"mac");
    m.MacroKeyIndex = 42;
    m.InsertAction(0, MacroAction::Press(0x41));
    ASSERT_TRUE(AssignButton(p, 2016, u"Macro-mac", A(0x90, 0, 0), &m));
    EXPECT_EQ(p.Keys[3].Name, u"Macro-mac");
    EXPECT_EQ(p.Keys[3].MacroKeyIndex, 42u);
    EXPECT_EQ(p.Keys[3].Macro.MacroActionNum, 1u);
    EXPECT_EQ(p.Keys[3].Macro.Name, u"mac");

    // Another function keeps the number but empties the macro.
    ASSERT_TRUE(AssignButton(p, 2016, u"S21", A(0x10, 0x02, 0), nullptr));
    EXPECT_EQ(p.Keys[3].MacroKeyIndex, 42u);
    EXPECT_EQ(p.Keys[3].Macro.MacroActionNum, 0u);
    EXPECT_EQ(p.Keys[3].Action, A(0x10, 0x02, 0));

    const ProfileRecord before = p;
    for (int id : {2012, 2019, 2026}) EXPECT_FALSE(AssignButton(p, id, u"x", A(0, 0, 0), nullptr)) << id;
    EXPECT_EQ(p, before);
    ASSERT_TRUE(AssignButton(p, 2013, u"first", A(0, 0, 0), nullptr));
    ASSERT_TRUE(AssignButton(p, 2018, u"last", A(0, 0, 0), nullptr));
    EXPECT_EQ(p.Keys[0].Name, u"first");
    EXPECT_EQ(p.Keys[5].Name, u"last");
}

TEST_F(ButtonFunctions, LeftButtonRule) {
    struct Case {
        const char* what;
        std::array<KeyAction, 6> keys; // before
        int button;                    // 0–5
        KeyAction assigned;
        bool reverted;
    };
    const KeyAction left = A(0x10, 0x01, 0), right = A(0x10, 0x02, 0), none = A(0, 0, 0);
    const Case cases[] = {
        {"disabling the only left button", {left, right, none, none, none, none}, 0, none, true},
        {"a macro on the only left button", {left, right, none, none, none, none}, 0, A(0x90, 0, 0), true},
        {"one of two left buttons", {left, left, none, none, none, none}, 0, none, false},
        {"left click onto another button", {left, right, none, none, none, none}, 1, left, false},
        {"left click onto the left button", {left, right, none, none, none, none}, 0, left, false},
        {"other button, no left button anywhere", {right, right, none, none, none, none}, 4, right, true},
        {"left bit with other data is not the left button",
         {A(0x10, 0x03, 0), none, none, none, none, none},
         0,
         A(0x10, 0x03, 0),
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProfileRecord p;
        for (std::size_t k = 0; k < 6; ++k) p.Keys[k].Action = c.keys[k];
        p.Keys[static_cast<std::size_t>(c.button)].MacroKeyIndex = 9;
        MacroKey m(u"m");
        m.MacroKeyIndex = 3;
        m.InsertAction(0, MacroAction::Press(0x41));
        const bool isMacro = c.assigned.Function == 0x90;
        const AssignOutcome out = AssignButtonWithRule(
            p, kFirstButtonControl + c.button, ButtonChoice{u"chosen", c.assigned}, isMacro ? &m : nullptr);
        EXPECT_TRUE(out.assigned);
        EXPECT_EQ(out.reverted, c.reverted);
        EXPECT_EQ(out.Notice(), c.reverted ? Notice::LeftButtonKept : Notice::None);
        const KeySlot& k = p.Keys[static_cast<std::size_t>(c.button)];
        EXPECT_EQ(k.Action, c.reverted ? left : c.assigned);
        EXPECT_EQ(ToUtf8(k.Name), c.reverted ? "S20" : "chosen");
        EXPECT_EQ(k.Macro.MacroActionNum, isMacro && !c.reverted ? 1u : 0u);
    }
}

TEST_F(ButtonFunctions, ShortcutAndFireKeyResults) {
    // Right Shift is ignored by the dialog; then "A" with Ctrl ticked.
    EXPECT_TRUE(IsShortcutModifierKey(0xA1));
    EXPECT_EQ(ShortcutChoice(kModCtrl, 0x41), (ButtonChoice{u"Ctrl+A", A(0x70, 0x01, 0x04)}));
    EXPECT_EQ(ShortcutChoice(0, 0x7C), (ButtonChoice{u"F13", A(0x70, 0x00, 0x00)}));
    EXPECT_EQ(ShortcutChoice(kModCtrl | kModShift, std::nullopt),
              (ButtonChoice{u"Ctrl+Shift", A(0x70, 0x03, 0x00)}));
    EXPECT_EQ(ShortcutChoice(kModWin | kModAlt | kModShift | kModCtrl, 0x73),
              (ButtonChoice{u"Ctrl+Shift+Alt+Win+F4", A(0x70, 0x0F, 0x3D)}));
    EXPECT_FALSE(ShortcutChoice(0, std::nullopt));

    EXPECT_EQ(ParseShortcut("ctrl+shift+a"), ShortcutChoice(kModCtrl | kModShift, 0x41));
    EXPECT_EQ(ParseShortcut("Alt+F4"), ShortcutChoice(kModAlt, 0x73));
    EXPECT_EQ(ParseShortcut("win+page down"), ShortcutChoice(kModWin, 0x22));
    EXPECT_EQ(ParseShortcut("shift"), ShortcutChoice(kModShift, std::nullopt));
    for (const char* bad : {"ctrl+a+b", "ctrl+", "ctrl+nokey", "shift_l", "", "ctrl+0x03"})
        EXPECT_FALSE(ParseShortcut(bad)) << bad;

    EXPECT_EQ(FireKeyChoice(4, 0).notice, Notice::FireRateTooLow);
    EXPECT_FALSE(FireKeyChoice(4, 0).choice);
    EXPECT_EQ(FireKeyChoice(5, 0).choice, (ButtonChoice{u"S26", A(0x30, 5, 0)}));
    EXPECT_EQ(FireKeyChoice(300, 257).choice->action, A(0x30, 44, 1)); // low bytes
}

} // namespace
} // namespace tarvik
