// The pop-up lists whose items are the toolkit's own (language texts, names the
// opener gives): each fixes its kind (which selects its close message), its
// items, its look and the result it reports. The key-function menu and its
// sub-menus show the button-function tables and live with them in macro/ui.
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

// The message a pop-up of this kind sends its owner when it loses activation
// (0 for an unknown kind).
int PopupCloseMessage(int kind);

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

// The items of the profile list by the value its notifications carry: the
// title row, the five shown profiles (show position 0 is kFirstProfile) and
// the add entry. Both the list and the window that opens it read them here.
struct ProfileListItem {
    static constexpr int kTitle = 1;
    static constexpr int kShownCount = 5;
    static constexpr int kFirstProfile = 2;
    static constexpr int kLastProfile = kFirstProfile + kShownCount - 1;
    static constexpr int kAdd = kLastProfile + 1;

    static constexpr bool IsProfile(int value) { return value >= kFirstProfile && value <= kLastProfile; }
    // The show position of a profile item (0-4); -1 for any other value.
    static constexpr int PositionOf(int value) { return IsProfile(value) ? value - kFirstProfile : -1; }
    static constexpr int ValueOf(int position) { return kFirstProfile + position; }
    // The row an item is drawn in, counted from the title's 0.
    static constexpr int RowOf(int value) { return value - kTitle; }
};

// The profile list: a title row, the five shown profiles (empty beyond the shown
// count), and the add entry. Flat style; reports the item value instead of a record.
class CComboProfilePopup : public CListPopup {
public:
    static constexpr WParam kClicked = 2;
    static constexpr WParam kRightClicked = 11;

    // names: the profiles at show positions 0-4 ("" for hidden ones); current:
    // the show position of the current profile (-1: none is marked).
    CComboProfilePopup(const std::array<QString, ProfileListItem::kShownCount>& names, int current);

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
    bool OnRightRelease(int x, int y) override;
    void DrawItem(QPainter& dc, const PopupItem& item, bool hot) override;

private:
    std::array<QString, ProfileListItem::kShownCount> names_;
    int current_;
    SkinImage header_;
    int headerWidth_ = 0, headerHeight_ = 0;
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

// The profile context menu: the four profile commands (one byte: value - 1).
class CProfileRKeyPopup : public CListPopup {
public:
    explicit CProfileRKeyPopup(const PopupPictures& pictures = PopupPictures::Menu());

protected:
    void BuildItems() override;
    void Choose(const PopupItem& item) override;
};

} // namespace tarvik
