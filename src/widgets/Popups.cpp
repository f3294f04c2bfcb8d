#include "widgets/Popups.h"

#include <QPainter>

#include <span>

#include "model/Lighting.h"
#include "model/PollingRates.h"
#include "text/Language.h"

namespace tarvik {

namespace {

constexpr int kMenuRight = 161;
constexpr int kMenuHeight = 22;

QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

void SetByte(PopupResult& r, int b) {
    r.code = {static_cast<std::uint8_t>(b), 0, 0};
    r.codeCount = 1;
}

} // namespace

int PopupCloseMessage(int kind) {
    switch (kind) {
    case kPopupFunction:
        return 1029;
    case kPopupDpi:
        return 1042;
    case kPopupMultimedia:
        return 1045;
    case kPopupProfile:
        return 1126;
    case kPopupPollingRate:
        return 1136;
    case kPopupLighting:
        return 1146;
    case kPopupDpiLock:
        return 1156;
    case kPopupWindowsManage:
        return 1159;
    case kPopupOffice:
        return 1162;
    case kPopupProfileRKey:
        return 1165;
    case kPopupActionInsert:
        return 1168;
    case kPopupMacroList:
        return 1170;
    default:
        return 0;
    }
}

// ---- CComboActionInsertPopup --------------------------------------------------------------

CComboActionInsertPopup::CComboActionInsertPopup(const PopupPictures& pictures)
    : CListPopup(kPopupActionInsert, PopupCloseMessage(kPopupActionInsert), Style::Picture, 117,
                 kMenuHeight) {
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
    : CListPopup(kPopupLighting, PopupCloseMessage(kPopupLighting), Style::Picture, 188, kMenuHeight) {
    LoadPictures(pictures);
}

void CComboLightingPopup::BuildItems() {
    for (const LightingEffectRow& row : kLightingEffects) AddItem(row.value, L(row.nameString));
    FinishLayout();
}

void CComboLightingPopup::Choose(const PopupItem& item) {
    result_.label = item.label;
    SetByte(result_, item.value == 10 ? 0 : item.value);
    SendResult();
}

// ---- CComboPollingRatePopup -------------------------------------------------------------------

CComboPollingRatePopup::CComboPollingRatePopup()
    : CListPopup(kPopupPollingRate, PopupCloseMessage(kPopupPollingRate), Style::Flat, 188, kMenuHeight) {}

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

CComboProfilePopup::CComboProfilePopup(const std::array<QString, ProfileListItem::kShownCount>& names,
                                       int current)
    : CListPopup(kPopupProfile, PopupCloseMessage(kPopupProfile), Style::Flat, 230, 25), names_(names),
      current_(current) {
    LoadSkinImage(header_, SkinFile(SkinName("skins\\header2_nr.png")), headerWidth_, headerHeight_);
}

void CComboProfilePopup::BuildItems() {
    SetProfileLayout(229, 230);
    AddItem(ProfileListItem::kTitle, L(10));
    for (int i = 0; i < ProfileListItem::kShownCount; ++i)
        AddItem(ProfileListItem::ValueOf(i), names_[static_cast<std::size_t>(i)]);
    AddItem(ProfileListItem::kAdd, L(200));
    FinishLayout();
}

void CComboProfilePopup::Choose(const PopupItem& item) {
    const bool chosen = ProfileListItem::IsProfile(item.value) || item.value == ProfileListItem::kAdd;
    if (!chosen || item.label.isEmpty()) return;
    Notify(SelectionMessage(), kClicked, item.value);
}

bool CComboProfilePopup::OnRightRelease(int x, int y) {
    const int index = ItemAt(x, y);
    if (index < 0) return false;
    const PopupItem item = items_[static_cast<std::size_t>(index)];
    if (!ProfileListItem::IsProfile(item.value) || item.label.isEmpty()) return false;
    Notify(SelectionMessage(), kRightClicked, item.value);
    return false;
}

void CComboProfilePopup::DrawItem(QPainter& dc, const PopupItem& item, bool hot) {
    if (item.value == ProfileListItem::kTitle) {
        DrawSkinImage(dc, header_, QRectF(item.rect.ToQRect()), QRect(0, 0, headerWidth_, headerHeight_));
        DrawSkinText(dc, Rect{item.rect.left + 2, item.rect.top, item.rect.right - 2, item.rect.bottom},
                     item.label, PopupFont(), hot ? kTextHover : kTextNormal, kControlTextFormat | kDtCenter);
        return;
    }
    if (current_ >= 0 && ProfileListItem::PositionOf(item.value) == current_ && !item.label.isEmpty()) {
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

// ---- macro tree and profile commands ---------------------------------------------------------------

CMacroListPopup::CMacroListPopup(int mode, const PopupPictures& pictures)
    : CListPopup(kPopupMacroList, PopupCloseMessage(kPopupMacroList), Style::Picture, kMenuRight,
                 kMenuHeight),
      mode_(mode) {
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
    : CListPopup(kPopupProfileRKey, PopupCloseMessage(kPopupProfileRKey), Style::Picture, kMenuRight,
                 kMenuHeight) {
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
