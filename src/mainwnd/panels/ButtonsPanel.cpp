#include "mainwnd/panels/ButtonsPanel.h"

#include <algorithm>
#include <iterator>

#include <QLineEdit>

#include "macro/ButtonFunctions.h"
#include "macro/MacroFiles.h"
#include "macro/MacroLibrary.h"
#include "macro/ui/DialogParts.h"
#include "macro/ui/FireKeyDlg.h"
#include "macro/ui/FunctionPopups.h"
#include "macro/ui/MacroSelectDlg.h"
#include "macro/ui/ShortcutDlg.h"
#include "model/SettingsModel.h"
#include "skin/ComboButton.h"
#include "skin/StaticControls.h"
#include "widgets/Popups.h"

namespace tarvik::panels {

using namespace mainwnd;

namespace {

const PopupResult* ResultOf(LParam l) {
    return reinterpret_cast<const PopupResult*>(l);
}

ButtonChoice ChoiceOf(const PopupResult& r) {
    ButtonChoice c;
    c.name = r.label.toStdU16String();
    c.action = KeyAction{r.code[0], r.code[1], r.code[2]};
    return c;
}

// The sub-menus of the function menu: the hover message that opens one, its
// selection message (hover + 1) and its close message (hover + 2).
constexpr int kSubMenuHovers[] = {CComboPopup::kHoverDpi, CComboPopup::kHoverMultimedia,
                                  CComboPopup::kHoverOffice, CComboPopup::kHoverWindows,
                                  CComboPopup::kHoverDpiLock};

CListPopup* MakeSubMenu(int hoverMessage) {
    switch (hoverMessage) {
    case CComboPopup::kHoverDpi:
        return new CDPIPopup();
    case CComboPopup::kHoverMultimedia:
        return new CMultimediaPopup();
    case CComboPopup::kHoverOffice:
        return new COfficePopup();
    case CComboPopup::kHoverWindows:
        return new CWindowsManagePopup();
    case CComboPopup::kHoverDpiLock:
        return new CDPILockPopup();
    default:
        return nullptr;
    }
}

} // namespace

void ButtonsPanel::Create() {
    static const SkinName kSerial[] = {
        SkinName("skins\\mouse\\serial_number1.png"), SkinName("skins\\mouse\\serial_number2.png"),
        SkinName("skins\\mouse\\serial_number3.png"), SkinName("skins\\mouse\\serial_number4.png"),
        SkinName("skins\\mouse\\serial_number5.png"), SkinName("skins\\mouse\\serial_number6.png")};
    const int serialTop[] = {82, 112, 141, 170, 199, 228};
    for (int i = 0; i < 6; ++i) {
        auto* c =
            host_.Add<CStaticImage>(0, kIdMousePicture, ScaledRect(52, serialTop[i], 73, serialTop[i] + 19));
        c->LoadImage(kSerial[i]);
        Passive(c);
    }
    const int comboTop[] = {81, 111, 140, 169, 198, 227};
    for (int i = 0; i < 6; ++i) {
        auto* c = host_.Add<CComboButton>(0, kMsgComboButton, kIdFirstCombo + i,
                                          ScaledRect(82, comboTop[i], 244, comboTop[i] + 21), QString(), 0,
                                          QString());
        c->LoadNormalImage(SkinName("skins\\combo2_nr.png"));
        c->LoadHoverImage(SkinName("skins\\combo2_ov.png"));
        c->SetInsets(Scaled(8), Scaled(22));
        combos_[static_cast<std::size_t>(i)] = c;
    }
}

void ButtonsPanel::AddMessages(MessageTable& m) {
    m.Add(kMsgComboButton, kMsgComboButton, this, &ButtonsPanel::OnCombo);
    m.Add(kMsgFunctionChosen, kMsgFunctionChosen, this, &ButtonsPanel::OnFunctionChosen);
    m.Add(kMsgFunctionClosed, kMsgFunctionClosed, this, &ButtonsPanel::OnFunctionClosed);
    m.Add(kMsgOtherItemHot, [this](int, WParam, LParam) -> LResult {
        CDlgBase& window = host_.Window();
        window.ClosePopup(kSlotSubMenu);
        if (QWidget* menu = window.Popup(kSlotFunctionMenu)) menu->raise();
        return 0;
    });
    for (const int hover : kSubMenuHovers) {
        m.Add(hover, hover, this, &ButtonsPanel::OnSubMenuHover);
        m.Add(hover + 1, hover + 1, this, &ButtonsPanel::OnSubMenuChosen);
        m.Add(hover + 2, hover + 2, this, &ButtonsPanel::OnSubMenuClosed);
    }
    for (const int released : {kMsgShortcutReleased, kMsgFireKeyReleased, kMsgMacroReleased})
        m.Add(released, released, this, &ButtonsPanel::OnDialogItemReleased);
    for (const int open : {kMsgOpenShortcut, kMsgOpenFireKey, kMsgOpenMacroSelect})
        m.Add(open, open, this, &ButtonsPanel::OnOpenKeyDialog);
    m.Add(kMsgShortcutResult, kMsgShortcutResult, this, &ButtonsPanel::OnKeyDialogResult);
    m.Add(kMsgFireKeyResult, kMsgFireKeyResult, this, &ButtonsPanel::OnKeyDialogResult);
    m.Add(kMsgMacroSelectResult, kMsgMacroSelectResult, this, &ButtonsPanel::OnMacroSelectResult);
}

void ButtonsPanel::Refresh(ModelChange what) {
    if (!Touches(what, ModelChange::Buttons)) return;
    const ProfileRecord& rec = host_.Current();
    for (std::size_t i = 0; i < combos_.size(); ++i)
        combos_[i]->SetDisplayText(QString::fromStdU16String(rec.Keys[i].Name));
}

void ButtonsPanel::InvalidateMousePicture() {
    host_.Window().InvalidateRect(ScaledRect(457, 171, 672, 569));
}

void ButtonsPanel::CloseMenus() {
    CDlgBase& window = host_.Window();
    window.ClosePopup(kSlotSubMenu);
    window.ClosePopup(kSlotFunctionMenu);
    for (CComboButton* c : combos_)
        if (c) c->SetOpen(false);
    if (highlight_ != 0) {
        highlight_ = 0;
        InvalidateMousePicture();
    }
}

void ButtonsPanel::OpenFunctionMenu(int comboId) {
    host_.CloseAllPopups();
    CDlgBase& window = host_.Window();
    CControlBase* combo = window.FindControl(comboId);
    if (!combo) return;
    const Rect r = combo->GetRect();
    const QPoint at = window.mapToGlobal(QPoint(r.left, r.bottom));
    auto* menu = new CComboPopup();
    menu->Create(&window, Rect{at.x(), at.y(), at.x() + Scaled(300), at.y() + Scaled(300)},
                 kMsgFunctionChosen, comboId);
    window.SetPopup(kSlotFunctionMenu, menu);
    static_cast<CComboButton*>(combo)->SetOpen(true);
}

LResult ButtonsPanel::OnCombo(int, WParam w, LParam code) {
    const int id = static_cast<int>(w);
    if (id < kIdFirstCombo || id > kIdLastCombo) return 0;
    if (code == kNotifyClick) {
        OpenFunctionMenu(id);
    } else if (code == kNotifyEnter || code == kNotifyLeave) {
        const int mark = code == kNotifyEnter ? id - kIdFirstCombo + 1 : 0;
        if (mark != highlight_) {
            highlight_ = mark;
            InvalidateMousePicture();
        }
    }
    return 0;
}

void ButtonsPanel::StoreFunction(int comboId, const ButtonChoice& choice, const MacroKey* macro) {
    if (comboId < kIdFirstCombo || comboId > kIdLastCombo) return;
    const int button = comboId - kIdFirstCombo;
    SettingsModel& model = host_.Model();
    const edits::EditResult r =
        host_.RunEdit([&model, button, &choice,
                       macro](int slot) { return edits::AssignFunction(model, slot, button, choice, macro); },
                      false, true);
    // No button would act as the left button: it was put back; say so shortly.
    if (r.notice == Notice::LeftButtonKept) host_.ArmWindowTask(kTimerLeftButtonNotice, kLeftButtonNoticeMs);
}

LResult ButtonsPanel::OnFunctionChosen(int, WParam w, LParam l) {
    if (w == 0) {
        // A press on one of the first items: the menus stay above everything.
        for (int slot : {kSlotFunctionMenu, kSlotSubMenu})
            if (QWidget* p = host_.Window().Popup(slot)) p->raise();
        return 0;
    }
    return OnSubMenuChosen(0, w, l);
}

LResult ButtonsPanel::OnFunctionClosed(int, WParam, LParam) {
    // The menu lost activation. While one of its sub-menus is open the press
    // went there; otherwise the menu ends.
    if (host_.Window().Popup(kSlotSubMenu)) return 0;
    CloseMenus();
    return 0;
}

void ButtonsPanel::OpenSubMenu(int hoverMessage, int tag, int itemValue) {
    CDlgBase& window = host_.Window();
    window.ClosePopup(kSlotSubMenu);
    auto* menu = dynamic_cast<CListPopup*>(window.Popup(kSlotFunctionMenu));
    if (!menu) return;
    const int index = menu->IndexOfValue(itemValue);
    if (index < 0) return;
    CListPopup* sub = MakeSubMenu(hoverMessage);
    if (!sub) return;
    const Rect item = menu->Items()[static_cast<std::size_t>(index)].rect;
    const QPoint at = menu->mapToGlobal(QPoint(menu->width(), item.top));
    sub->Create(&window, Rect{at.x(), at.y(), at.x() + Scaled(300), at.y() + Scaled(300)}, hoverMessage + 1,
                tag);
    window.SetPopup(kSlotSubMenu, sub);
}

LResult ButtonsPanel::OnSubMenuHover(int msg, WParam w, LParam l) {
    if (std::ranges::find(kSubMenuHovers, msg) != std::end(kSubMenuHovers))
        OpenSubMenu(msg, static_cast<int>(w), static_cast<int>(l));
    return 0;
}

// A choice in the function menu or one of its sub-menus: both menus close and
// the button's function is stored.
LResult ButtonsPanel::OnSubMenuChosen(int, WParam w, LParam l) {
    const PopupResult* r = ResultOf(l);
    if (!r) return 0;
    const ButtonChoice choice = ChoiceOf(*r);
    CloseMenus();
    StoreFunction(static_cast<int>(w), choice);
    return 0;
}

LResult ButtonsPanel::OnSubMenuClosed(int, WParam, LParam) {
    CDlgBase& window = host_.Window();
    window.ClosePopup(kSlotSubMenu);
    if (QWidget* menu = window.Popup(kSlotFunctionMenu)) menu->raise();
    return 0;
}

LResult ButtonsPanel::OnDialogItemReleased(int msg, WParam w, LParam) {
    keyButton_ = static_cast<int>(w);
    CloseMenus();
    const int open = msg == kMsgShortcutReleased  ? kMsgOpenShortcut
                     : msg == kMsgFireKeyReleased ? kMsgOpenFireKey
                                                  : kMsgOpenMacroSelect;
    host_.Window().PostMessage(open);
    return 0;
}

LResult ButtonsPanel::OnOpenKeyDialog(int msg, WParam, LParam) {
    if (host_.Ended()) return 0;
    CDlgBase* window = &host_.Window();
    if (msg == kMsgOpenShortcut) {
        host_.RunDialog(new CShortcutDlg(window), {});
    } else if (msg == kMsgOpenFireKey) {
        host_.RunDialog(new CFireKeyDlg(window), {});
    } else if (msg == kMsgOpenMacroSelect) {
        host_.RunDialog(new CMacroSelectDlg(window, host_.Library()), {});
    }
    return 0;
}

LResult ButtonsPanel::OnKeyDialogResult(int, WParam, LParam l) {
    const auto* choice = reinterpret_cast<const ButtonChoice*>(l);
    if (choice) StoreFunction(keyButton_, *choice);
    return 0;
}

LResult ButtonsPanel::OnMacroSelectResult(int, WParam, LParam l) {
    // The selection dialog hands the choice (language string 190 and the
    // macro's name, 90 00 00) and the library macro the button copies.
    const auto* r = reinterpret_cast<const MacroSelectResult*>(l);
    if (r && r->choice) {
        StoreFunction(keyButton_, *r->choice, r->macro);
    } else {
        StoreFunction(keyButton_, ButtonChoice{LanguageString(34), KeyAction{kFnDisabled, 0, 0}});
    }
    return 0;
}

} // namespace tarvik::panels
