// The twelve pop-up lists. Each fixes its kind (which selects its close
// message), its items, its look and the result it reports.
#pragma once

#include <array>

#include "skin/WndPopup.h"

namespace tarvik {

// Kinds of the pop-ups.
enum PopupKind : int {
    kPopupFunction = 0,
    kPopupDpi = 2,
    kPopupMultimedia = 3,
    kPopupProfile = 7,
    kPopupPollingRate = 8,
    kPopupLighting = 9,
    kPopupDpiLock = 10,
    kPopupWindowsManage = 11,
    kPopupOffice = 12,
    kPopupProfileRKey = 13,
    kPopupActionInsert = 14,
    kPopupMacroList = 15,
};

// The key-function menu of a mouse button (16 items, five of them open sub-menus on hover).
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

// The step kinds that can be inserted into a macro (one byte: value - 1).
class CComboActionInsertPopup : public CListPopup {
public:
    explicit CComboActionInsertPopup(const PopupPictures& pictures = PopupPictures::Menu());

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

// The lighting effects (one byte: the effect number, 0 for the last item).
class CComboLightingPopup : public CListPopup {
public:
    explicit CComboLightingPopup(const PopupPictures& pictures = PopupPictures::Menu());

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

// The four polling rates, flat style (one byte: value - 1).
class CComboPollingRatePopup : public CListPopup {
public:
    CComboPollingRatePopup();

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

// The profile list: a title row, the five shown profiles (empty beyond the shown
// count), and the add entry. Flat style; reports the item value instead of a record.
class CComboProfilePopup : public CListPopup {
public:
    static constexpr WParam kClicked = 2;
    static constexpr WParam kRightClicked = 11;

    // names: the profiles at show positions 0-4 ("" for hidden ones); current:
    // the show position of the current profile (-1: none is marked).
    CComboProfilePopup(const std::array<QString, 5>& names, int current);

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
    bool OnRightRelease(int x, int y) override;
    void DrawItem(QPainter& dc, const PopupItem& item, bool hot) override;

private:
    std::array<QString, 5> names_;
    int current_;
    SkinImage header_;
    int headerWidth_ = 0, headerHeight_ = 0;
};

// The DPI-lock resolutions (label "<text 36>-<resolution>", three bytes).
class CDPILockPopup : public CListPopup {
public:
    explicit CDPILockPopup(const PopupPictures& pictures = PopupPictures::Menu());

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

// The three DPI functions (three bytes).
class CDPIPopup : public CListPopup {
public:
    explicit CDPIPopup(const PopupPictures& pictures = PopupPictures::Menu());

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

// The macro tree commands; the mode picks them: 0 nothing selected, 2 a folder,
// anything else a macro (empty label, one byte: value - 1).
class CMacroListPopup : public CListPopup {
public:
    explicit CMacroListPopup(int mode, const PopupPictures& pictures = PopupPictures::Menu());
    int Mode() const { return mode_; }

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;

private:
    int mode_;
};

// Media keys (three bytes).
class CMultimediaPopup : public CListPopup {
public:
    explicit CMultimediaPopup(const PopupPictures& pictures = PopupPictures::Menu());

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

// Office shortcuts (three bytes).
class COfficePopup : public CListPopup {
public:
    explicit COfficePopup(const PopupPictures& pictures = PopupPictures::Menu());

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

// The profile context menu: the four profile commands (one byte: value - 1).
class CProfileRKeyPopup : public CListPopup {
public:
    explicit CProfileRKeyPopup(const PopupPictures& pictures = PopupPictures::Menu());

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

// Window management shortcuts (three bytes).
class CWindowsManagePopup : public CListPopup {
public:
    explicit CWindowsManagePopup(const PopupPictures& pictures = PopupPictures::Menu());

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

} // namespace tarvik
