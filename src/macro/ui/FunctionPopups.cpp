#include "macro/ui/FunctionPopups.h"

#include "text/Language.h"

namespace tarvik {

namespace {

constexpr int kMenuRight = 161;
constexpr int kMenuHeight = 22;

void SetCode(PopupResult& r, const KeyAction& a) {
    r.code = {a.Function, a.Data1, a.Data2};
    r.codeCount = 3;
}

} // namespace

// ---- CComboPopup ----------------------------------------------------------------------

CComboPopup::CComboPopup(const PopupPictures& pictures)
    : CListPopup(kPopupFunction, PopupCloseMessage(kPopupFunction), Style::Picture, kMenuRight, kMenuHeight) {
    LoadPictures(pictures);
}

int CComboPopup::HoverMessageOf(int value) {
    switch (value) {
    case 6:
        return kHoverDpi;
    case 11:
        return kHoverMultimedia;
    case 12:
        return kHoverOffice;
    case 13:
        return kHoverWindows;
    case 15:
        return kHoverDpiLock;
    default:
        return kHoverOther;
    }
}

void CComboPopup::BuildItems() {
    for (const FunctionMenuItem& item : FunctionMenu())
        AddItem(item.item, QString::fromStdU16String(LanguageString(item.label)),
                item.subMenu != FunctionSubMenu::None);
    FinishLayout();
}

void CComboPopup::HotItemChanged(const PopupItem& item) {
    Notify(HoverMessageOf(item.value), static_cast<WParam>(Tag()), item.value);
}

void CComboPopup::PressedOnItem(const PopupItem& item) {
    // The owner brings its pop-ups to the front.
    if (item.value >= 1 && item.value <= 4) Notify(SelectionMessage(), 0, 0);
}

void CComboPopup::Choose(const PopupItem& item) {
    switch (item.value) {
    case 7:
        Notify(kReleaseFireKey, static_cast<WParam>(Tag()), 0);
        return;
    case 9:
        Notify(kReleaseMacro, static_cast<WParam>(Tag()), 0);
        return;
    case 10:
        Notify(kReleaseShortcut, static_cast<WParam>(Tag()), 0);
        return;
    default:
        break;
    }
    for (const FunctionMenuItem& entry : FunctionMenu()) {
        if (entry.item != item.value) continue;
        if (!entry.IsDirect()) return; // sub-menus open on hover
        result_.label = item.label;
        SetCode(result_, entry.action);
        SendResult();
        return;
    }
}

// ---- the sub-menus ------------------------------------------------------------------------

CFunctionSubMenuPopup::CFunctionSubMenuPopup(int kind, FunctionSubMenu menu, const PopupPictures& pictures)
    : CListPopup(kind, PopupCloseMessage(kind), Style::Picture, kMenuRight, kMenuHeight), menu_(menu) {
    LoadPictures(pictures);
}

void CFunctionSubMenuPopup::BuildItems() {
    int value = 1;
    for (const SubMenuItem& item : SubMenuItems(menu_))
        AddItem(value++, QString::fromStdU16String(SubMenuLabel(item)));
    FinishLayout();
}

void CFunctionSubMenuPopup::Choose(const PopupItem& item) {
    const auto entries = SubMenuItems(menu_);
    if (item.value < 1 || static_cast<std::size_t>(item.value) > entries.size()) return;
    const SubMenuItem& entry = entries[static_cast<std::size_t>(item.value - 1)];
    KeyAction action = entry.action;
    switch (menu_) {
    case FunctionSubMenu::DpiLock:
        result_.label = QString::fromStdU16String(LanguageString(36)) + QStringLiteral("-") + item.label;
        break;
    case FunctionSubMenu::Dpi:
        result_.label = item.label;
        action.Data2 = 0; // the DPI functions carry two bytes
        break;
    default:
        result_.label = item.label;
        break;
    }
    SetCode(result_, action);
    SendResult();
}

CDPILockPopup::CDPILockPopup(const PopupPictures& pictures)
    : CFunctionSubMenuPopup(kPopupDpiLock, FunctionSubMenu::DpiLock, pictures) {}

CDPIPopup::CDPIPopup(const PopupPictures& pictures)
    : CFunctionSubMenuPopup(kPopupDpi, FunctionSubMenu::Dpi, pictures) {}

CMultimediaPopup::CMultimediaPopup(const PopupPictures& pictures)
    : CFunctionSubMenuPopup(kPopupMultimedia, FunctionSubMenu::Multimedia, pictures) {}

COfficePopup::COfficePopup(const PopupPictures& pictures)
    : CFunctionSubMenuPopup(kPopupOffice, FunctionSubMenu::Office, pictures) {}

CWindowsManagePopup::CWindowsManagePopup(const PopupPictures& pictures)
    : CFunctionSubMenuPopup(kPopupWindowsManage, FunctionSubMenu::WindowsManagement, pictures) {}

} // namespace tarvik
