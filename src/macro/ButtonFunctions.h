// Button functions: the function menu and its five sub-menus as data, the
// results of the shortcut and fire-key dialogs, AssignButton and the left-button
// rule that keeps one button of a profile acting as the left mouse button.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/MacroRecords.h"
#include "model/ProfileTable.h"
#include "text/Notices.h"

namespace tarvik {

// What a menu item or dialog hands to AssignButton.
struct ButtonChoice {
    std::u16string name;
    KeyAction action;
    friend bool operator==(const ButtonChoice&, const ButtonChoice&) = default;
};

// Function codes (byte 0 of a KeyAction).
enum : std::uint8_t {
    kFnDisabled = 0x00,
    kFnMouseButton = 0x10,
    kFnRapidFire = 0x30,
    kFnDpi = 0x40,
    kFnDpiLock = 0x50,
    kFnDevice = 0x60,
    kFnKeyboard = 0x70,
    kFnConsumer = 0x80,
    kFnMacro = 0x90,
};

enum class FunctionSubMenu { None, Dpi, Multimedia, Office, WindowsManagement, DpiLock };
enum class FunctionDialog { None, FireKey, MacroSelect, Shortcut };

// One item of the function menu. Exactly one of action / subMenu / dialog applies:
// a sub-menu item opens on hover, a dialog item opens its dialog on click, the
// others store `action` with the label as name.
struct FunctionMenuItem {
    int item;  // 1–16
    int label; // language string
    KeyAction action;
    FunctionSubMenu subMenu;
    FunctionDialog dialog;
    const char* id; // script name ("" for items scripts reach otherwise)
    bool IsDirect() const { return subMenu == FunctionSubMenu::None && dialog == FunctionDialog::None; }
};
const std::array<FunctionMenuItem, 16>& FunctionMenu();

// One item of a sub-menu. The label is language string `label`, or `text` when
// label is 0 (the DPI-lock resolutions).
struct SubMenuItem {
    int label;
    const char16_t* text;
    KeyAction action;
    const char* id;
};
std::span<const SubMenuItem> SubMenuItems(FunctionSubMenu menu);
std::u16string SubMenuLabel(const SubMenuItem& item);

// The stored name and action of a menu click: the label, except in the DPI-lock
// sub-menu where the name is language string 36, "-", and the item text.
ButtonChoice ChoiceOf(const FunctionMenuItem& item);
ButtonChoice ChoiceOf(FunctionSubMenu menu, const SubMenuItem& item);

// Finds a direct function-menu item or a sub-menu item by its script name.
std::optional<ButtonChoice> FindMenuChoice(FunctionSubMenu menu, std::string_view id);

// ---- shortcut dialog
enum : std::uint8_t { kModCtrl = 0x01, kModShift = 0x02, kModAlt = 0x04, kModWin = 0x08 };
// The Win, Shift and Ctrl/Alt keys with their own codes: the shortcut dialog
// takes them from the boxes, not as the key.
bool IsShortcutModifierKey(std::uint8_t code);
// OK of the shortcut dialog: name = "Ctrl+", "Shift+", "Alt+", "Win+" for the
// ticked boxes, then the key name, a final "+" dropped; action 70, bits, HID
// usage of the key. None when the name comes out empty.
std::optional<ButtonChoice> ShortcutChoice(std::uint8_t modifiers, std::optional<std::uint8_t> keyCode);
// "ctrl+shift+a" → the dialog's result (modifier words ctrl, shift, alt, win; the
// key by its key-code name). None for an unknown word or a second key.
std::optional<ButtonChoice> ParseShortcut(std::string_view text);

// ---- fire-key dialog
struct FireKeyResult {
    Notice notice = Notice::None;
    std::optional<ButtonChoice> choice;
};
// OK of the fire-key dialog with the two numbers read from the fields: a first
// value of 4 or less gives FireRateTooLow and no result; else 30, low bytes.
FireKeyResult FireKeyChoice(std::uint32_t first, std::uint32_t second);

// ---- assignment
constexpr int kFirstButtonControl = 2013; // button controls 2013–2018 are slots 0–5
constexpr int kLastButtonControl = 2018;
// Stores a choice into the slot of `controlId` of `profile`: name, action, the
// slot's macro emptied and, with `macro`, a copy of it with its MacroKeyIndex.
// False (nothing changed) for other control ids.
bool AssignButton(ProfileRecord& profile, int controlId, const std::u16string& name, const KeyAction& action,
                  const MacroKey* macro);

// After an assignment to `slot`: when no slot of the profile is the left button
// any more, `slot` becomes the left button again (language string 20, 10 01 00,
// no macro) and the result is true, so the window shows LeftButtonKept and
// sends nothing. False: the buttons are to be sent.
bool ApplyLeftButtonRule(ProfileRecord& profile, int slot);

struct AssignOutcome {
    bool assigned = false; // false: control id outside 2013–2018
    bool reverted = false; // the left-button rule undid it (LeftButtonKept)
    tarvik::Notice Notice() const { return reverted ? tarvik::Notice::LeftButtonKept : tarvik::Notice::None; }
};
// AssignButton followed by the left-button rule.
AssignOutcome AssignButtonWithRule(ProfileRecord& profile, int controlId, const ButtonChoice& choice,
                                   const MacroKey* macro = nullptr);

} // namespace tarvik
