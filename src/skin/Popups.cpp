#include "skin/Popups.h"

#include <QPainter>

#include "macro/ButtonFunctions.h"
#include "model/PollingRates.h"
#include "text/Language.h"

namespace tarvik {

namespace {

constexpr int kMenuRight = 161;
constexpr int kMenuHeight = 22;

QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

void SetCode(PopupResult& r, const KeyAction& a) {
    r.code = {a.Function, a.Data1, a.Data2};
    r.codeCount = 3;
}

void SetByte(PopupResult& r, int b) {
    r.code = {static_cast<std::uint8_t>(b), 0, 0};
    r.codeCount = 1;
}

// Item i (value i + 1) of a key-function sub-menu.
const SubMenuItem* SubItem(FunctionSubMenu menu, int value) {
    const auto items = SubMenuItems(menu);
    if (value < 1 || static_cast<std::size_t>(value) > items.size()) return nullptr;
    return &items[static_cast<std::size_t>(value - 1)];
}

} // namespace

// ---- CComboPopup ----------------------------------------------------------------------

CComboPopup::CComboPopup(const PopupPictures& pictures)
    : CListPopup(kPopupFunction, Style::Picture, kMenuRight, kMenuHeight) {
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
        AddItem(item.item, L(item.label), item.subMenu != FunctionSubMenu::None);
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

// ---- CComboActionInsertPopup --------------------------------------------------------------

CComboActionInsertPopup::CComboActionInsertPopup(const PopupPictures& pictures)
    : CListPopup(kPopupActionInsert, Style::Picture, 117, kMenuHeight) {
    LoadPictures(pictures);
}

void CComboActionInsertPopup::BuildItems() {
    static constexpr int kLabels[] = {20, 21, 22, 205, 206, 207, 208, 209, 210};
    for (int i = 0; i < 9; ++i) AddItem(i + 1, L(kLabels[i]));
    FinishLayout();
}

void CComboActionInsertPopup::Choose(const PopupItem& item) {
    result_.label = item.label;
    SetByte(result_, item.value - 1);
    SendResult();
}

// ---- CComboLightingPopup -------------------------------------------------------------------

CComboLightingPopup::CComboLightingPopup(const PopupPictures& pictures)
    : CListPopup(kPopupLighting, Style::Picture, 188, kMenuHeight) {
    LoadPictures(pictures);
}

void CComboLightingPopup::BuildItems() {
    static constexpr std::pair<int, int> kItems[] = {{1, 100}, {2, 101}, {3, 102}, {4, 103},
                                                     {5, 110}, {6, 105}, {9, 108}, {10, 109}};
    for (const auto& [value, label] : kItems) AddItem(value, L(label));
    FinishLayout();
}

void CComboLightingPopup::Choose(const PopupItem& item) {
    result_.label = item.label;
    SetByte(result_, item.value == 10 ? 0 : item.value);
    SendResult();
}

// ---- CComboPollingRatePopup -------------------------------------------------------------------

CComboPollingRatePopup::CComboPollingRatePopup()
    : CListPopup(kPopupPollingRate, Style::Flat, 188, kMenuHeight) {}

void CComboPollingRatePopup::BuildItems() {
    for (const PollingRateRow& rate : kPollingRates) AddItem(rate.index + 1, QString::fromUtf16(rate.name));
    FinishLayout();
}

void CComboPollingRatePopup::Choose(const PopupItem& item) {
    result_.label = item.label;
    SetByte(result_, item.value - 1);
    SendResult();
}

// ---- CComboProfilePopup ------------------------------------------------------------------------

CComboProfilePopup::CComboProfilePopup(const std::array<QString, 5>& names, int current)
    : CListPopup(kPopupProfile, Style::Flat, 230, 25), names_(names), current_(current) {
    LoadSkinImage(header_, SkinFile(QStringLiteral("skins\\header2_nr.png")), headerWidth_, headerHeight_);
}

void CComboProfilePopup::BuildItems() {
    SetProfileLayout(229, 230);
    AddItem(1, L(10));
    for (int i = 0; i < 5; ++i) AddItem(i + 2, names_[static_cast<std::size_t>(i)]);
    AddItem(7, L(200));
    FinishLayout();
}

void CComboProfilePopup::Choose(const PopupItem& item) {
    if (item.value < 2 || item.value > 7 || item.label.isEmpty()) return;
    Notify(SelectionMessage(), kClicked, item.value);
}

bool CComboProfilePopup::OnRightRelease(int x, int y) {
    const int index = ItemAt(x, y);
    if (index < 0) return false;
    const PopupItem item = items_[static_cast<std::size_t>(index)];
    if (item.value < 2 || item.value > 6 || item.label.isEmpty()) return false;
    Notify(SelectionMessage(), kRightClicked, item.value);
    return false;
}

void CComboProfilePopup::DrawItem(QPainter& dc, const PopupItem& item, bool hot) {
    if (item.value == 1) {
        // The title row.
        DrawSkinImage(dc, header_, QRectF(item.rect.ToQRect()), QRect(0, 0, headerWidth_, headerHeight_));
        DrawSkinText(dc, Rect{item.rect.left + 2, item.rect.top, item.rect.right - 2, item.rect.bottom},
                     item.label, PopupFont(), hot ? kTextHover : kTextNormal, kControlTextFormat | kDtCenter);
        return;
    }
    if (item.value - 2 == current_ && !item.label.isEmpty()) {
        // The current profile: its row is marked with an accent bar and yellow text.
        if (hot) FillSolidRect(dc, item.rect, Rgb(83, 75, 0));
        const int s = std::max(1, static_cast<int>(UiScale()));
        FillSolidRect(
            dc, Rect{item.rect.left, item.rect.top + 3 * s, item.rect.left + 3 * s, item.rect.bottom - 3 * s},
            kAccentColour);
        DrawSkinText(dc, Rect{item.rect.left + 2, item.rect.top, item.rect.right - 2, item.rect.bottom},
                     item.label, PopupFont(), kTextChecked, kControlTextFormat | kDtCenter);
        return;
    }
    CListPopup::DrawItem(dc, item, hot);
}

// ---- key-function sub-menus --------------------------------------------------------------------

CDPILockPopup::CDPILockPopup(const PopupPictures& pictures)
    : CListPopup(kPopupDpiLock, Style::Picture, kMenuRight, kMenuHeight) {
    LoadPictures(pictures);
}

void CDPILockPopup::BuildItems() {
    int value = 1;
    for (const SubMenuItem& item : SubMenuItems(FunctionSubMenu::DpiLock))
        AddItem(value++, QString::fromStdU16String(SubMenuLabel(item)));
    FinishLayout();
}

void CDPILockPopup::Choose(const PopupItem& item) {
    const SubMenuItem* entry = SubItem(FunctionSubMenu::DpiLock, item.value);
    if (!entry) return;
    result_.label = L(36) + QStringLiteral("-") + item.label;
    SetCode(result_, entry->action);
    SendResult();
}

CDPIPopup::CDPIPopup(const PopupPictures& pictures)
    : CListPopup(kPopupDpi, Style::Picture, kMenuRight, kMenuHeight) {
    LoadPictures(pictures);
}

void CDPIPopup::BuildItems() {
    int value = 1;
    for (const SubMenuItem& item : SubMenuItems(FunctionSubMenu::Dpi))
        AddItem(value++, QString::fromStdU16String(SubMenuLabel(item)));
    FinishLayout();
}

void CDPIPopup::Choose(const PopupItem& item) {
    const SubMenuItem* entry = SubItem(FunctionSubMenu::Dpi, item.value);
    if (!entry) return;
    result_.label = item.label;
    SetCode(result_, KeyAction{entry->action.Function, entry->action.Data1, 0});
    SendResult();
}

CMultimediaPopup::CMultimediaPopup(const PopupPictures& pictures)
    : CListPopup(kPopupMultimedia, Style::Picture, kMenuRight, kMenuHeight) {
    LoadPictures(pictures);
}

void CMultimediaPopup::BuildItems() {
    int value = 1;
    for (const SubMenuItem& item : SubMenuItems(FunctionSubMenu::Multimedia))
        AddItem(value++, QString::fromStdU16String(SubMenuLabel(item)));
    FinishLayout();
}

void CMultimediaPopup::Choose(const PopupItem& item) {
    const SubMenuItem* entry = SubItem(FunctionSubMenu::Multimedia, item.value);
    if (!entry) return;
    result_.label = item.label;
    SetCode(result_, entry->action);
    SendResult();
}

COfficePopup::COfficePopup(const PopupPictures& pictures)
    : CListPopup(kPopupOffice, Style::Picture, kMenuRight, kMenuHeight) {
    LoadPictures(pictures);
}

void COfficePopup::BuildItems() {
    int value = 1;
    for (const SubMenuItem& item : SubMenuItems(FunctionSubMenu::Office))
        AddItem(value++, QString::fromStdU16String(SubMenuLabel(item)));
    FinishLayout();
}

void COfficePopup::Choose(const PopupItem& item) {
    const SubMenuItem* entry = SubItem(FunctionSubMenu::Office, item.value);
    if (!entry) return;
    result_.label = item.label;
    SetCode(result_, entry->action);
    SendResult();
}

CWindowsManagePopup::CWindowsManagePopup(const PopupPictures& pictures)
    : CListPopup(kPopupWindowsManage, Style::Picture, kMenuRight, kMenuHeight) {
    LoadPictures(pictures);
}

void CWindowsManagePopup::BuildItems() {
    int value = 1;
    for (const SubMenuItem& item : SubMenuItems(FunctionSubMenu::WindowsManagement))
        AddItem(value++, QString::fromStdU16String(SubMenuLabel(item)));
    FinishLayout();
}

void CWindowsManagePopup::Choose(const PopupItem& item) {
    const SubMenuItem* entry = SubItem(FunctionSubMenu::WindowsManagement, item.value);
    if (!entry) return;
    result_.label = item.label;
    SetCode(result_, entry->action);
    SendResult();
}

// ---- macro tree and profile commands ---------------------------------------------------------------

CMacroListPopup::CMacroListPopup(int mode, const PopupPictures& pictures)
    : CListPopup(kPopupMacroList, Style::Picture, kMenuRight, kMenuHeight), mode_(mode) {
    LoadPictures(pictures);
}

void CMacroListPopup::BuildItems() {
    static constexpr int kNothing[] = {1, 2, 4, 7, 8};
    static constexpr int kFolder[] = {1, 2, 4, 5, 6, 7, 8};
    static constexpr int kMacro[] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::span<const int> values = mode_ == 0   ? std::span<const int>(kNothing)
                                  : mode_ == 2 ? std::span<const int>(kFolder)
                                               : std::span<const int>(kMacro);
    for (int v : values) AddItem(v, L(244 + v));
    FinishLayout();
}

void CMacroListPopup::Choose(const PopupItem& item) {
    result_.label.clear();
    SetByte(result_, item.value - 1);
    SendResult();
}

CProfileRKeyPopup::CProfileRKeyPopup(const PopupPictures& pictures)
    : CListPopup(kPopupProfileRKey, Style::Picture, kMenuRight, kMenuHeight) {
    LoadPictures(pictures);
}

void CProfileRKeyPopup::BuildItems() {
    for (int i = 0; i < 4; ++i) AddItem(i + 1, L(90 + i));
    FinishLayout();
}

void CProfileRKeyPopup::Choose(const PopupItem& item) {
    result_.label = item.label;
    SetByte(result_, item.value - 1);
    SendResult();
}

} // namespace tarvik
