// The key-function menu of a mouse button and its five sub-menus. Their items
// and the codes they report come from the button-function tables.
#pragma once

#include "macro/ButtonFunctions.h"
#include "widgets/Popups.h"

namespace tarvik {

// The key-function menu (16 items, five of them open sub-menus on hover).
class CComboPopup : public CListPopup {
public:
    // Hover messages that ask the owner to open a sub-menu, and 1033 to close it.
    static constexpr int kHoverDpi = 1040, kHoverMultimedia = 1043, kHoverOffice = 1160, kHoverWindows = 1157,
                         kHoverDpiLock = 1154, kHoverOther = 1033;
    // Releases over the dialog items: rapid fire, macro, shortcut.
    static constexpr int kReleaseFireKey = 1062, kReleaseMacro = 1065, kReleaseShortcut = 1035;

    explicit CComboPopup(const PopupPictures& pictures = PopupPictures::Menu());
    // The hover message of an item value.
    static int HoverMessageOf(int value);

protected:
    void BuildItems() override;
    void HotItemChanged(const PopupItem& item) override;
    void PressedOnItem(const PopupItem& item) override;
    void Choose(const PopupItem& item) override;
};

// A sub-menu of the key-function menu: one item per entry of its table, value
// i + 1 for entry i; a choice reports the entry's label and three code bytes.
class CFunctionSubMenuPopup : public CListPopup {
public:
    FunctionSubMenu Menu() const { return menu_; }

protected:
    CFunctionSubMenuPopup(int kind, FunctionSubMenu menu, const PopupPictures& pictures);
    void BuildItems() override;
    void Choose(const PopupItem& item) override;

private:
    FunctionSubMenu menu_;
};

// The DPI-lock resolutions (label "<text 36>-<resolution>", three bytes).
class CDPILockPopup : public CFunctionSubMenuPopup {
public:
    explicit CDPILockPopup(const PopupPictures& pictures = PopupPictures::Menu());
};

// The three DPI functions (three bytes, the last always 0).
class CDPIPopup : public CFunctionSubMenuPopup {
public:
    explicit CDPIPopup(const PopupPictures& pictures = PopupPictures::Menu());
};

// Media keys (three bytes).
class CMultimediaPopup : public CFunctionSubMenuPopup {
public:
    explicit CMultimediaPopup(const PopupPictures& pictures = PopupPictures::Menu());
};

// Office shortcuts (three bytes).
class COfficePopup : public CFunctionSubMenuPopup {
public:
    explicit COfficePopup(const PopupPictures& pictures = PopupPictures::Menu());
};

// Window management shortcuts (three bytes).
class CWindowsManagePopup : public CFunctionSubMenuPopup {
public:
    explicit CWindowsManagePopup(const PopupPictures& pictures = PopupPictures::Menu());
};

} // namespace tarvik
