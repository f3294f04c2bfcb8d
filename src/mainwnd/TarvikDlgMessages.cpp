// The main window's message table: what each control, pop-up and dialog
// message changes in the current profile, which send it requests, and which
// pop-up or dialog it opens.
#include <QApplication>
#include <QScreen>

#include "app/MouseSettings.h"
#include "device/MacroUpload.h"
#include "device/ui/NoticeDialogs.h"
#include "macro/ButtonFunctions.h"
#include "macro/MacroFiles.h"
#include "macro/MacroLibrary.h"
#include "macro/ui/DialogParts.h"
#include "macro/ui/FireKeyDlg.h"
#include "macro/ui/FunctionPopups.h"
#include "macro/ui/MacroManagerDlg.h"
#include "macro/ui/MacroSelectDlg.h"
#include "macro/ui/ShortcutDlg.h"
#include "mainwnd/ProfileNameDlg.h"
#include "mainwnd/TarvikDlg.h"
#include "model/PollingRates.h"
#include "model/ProfileSlots.h"
#include "model/SettingsModel.h"
#include "skin/CheckButton.h"
#include "skin/ColorSelectButton.h"
#include "skin/ComboButton.h"
#include "skin/ImageButton.h"
#include "skin/RadioButton.h"
#include "skin/Sliders.h"
#include "skin/StaticControls.h"
#include "text/Language.h"
#include "text/Log.h"
#include "widgets/ColorPaletteDlg.h"
#include "widgets/DPIValueSettingDlg.h"
#include "widgets/DpiControls.h"
#include "widgets/Popups.h"
#include "widgets/PowerManageButton.h"

namespace tarvik {

using namespace mainwnd;

namespace {

QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

const PopupResult* ResultOf(LParam l) {
    return reinterpret_cast<const PopupResult*>(l);
}

constexpr int kProfileCommandTag = 2049; // the context pop-up of slot s is tagged 2049 + s
const QString kProfileFilter = QStringLiteral("psf file(*.psf)");

} // namespace

void CTarvikDlg::BuildMessageTable() {
    MessageTable& m = Messages();
    m.Add(kIdWindowClose, kIdWindowMinimise, this, &CTarvikDlg::OnClose);
    m.Add(kIdFactoryReset, kIdFactoryReset, this, &CTarvikDlg::OnFactoryReset);
    m.Add(kIdMacroManager, kIdMacroManager, this, &CTarvikDlg::OnMacroManager);
    m.Add(kIdMouseSettings, kIdMouseSettings, this, &CTarvikDlg::OnMouseSettings);

    m.Add(kIdProfileButton, kIdProfileButton, this, &CTarvikDlg::OnProfileButton);
    m.Add(kMsgProfileChosen, kMsgProfileChosen, this, &CTarvikDlg::OnProfileChosen);
    m.Add(kMsgProfileListClosed, [this](int, WParam, LParam) -> LResult {
        ClosePopup(kSlotProfileList);
        return 0;
    });
    m.Add(kMsgProfileCommand, kMsgProfileCommand, this, &CTarvikDlg::OnProfileCommand);
    m.Add(kMsgProfileCommandClosed, [this](int, WParam, LParam) -> LResult {
        ClosePopup(kSlotProfileCommands);
        if (profileButton_) InvalidateRect(profileButton_->GetRect());
        return 0;
    });

    m.Add(kIdHeaderDpi, kIdHeaderPolling, this, &CTarvikDlg::OnHeader);
    m.Add(kIdHeaderLiftOff, kIdHeaderLiftOff, this, &CTarvikDlg::OnHeader);

    buttons_.AddMessages(m);
    dpi_.AddMessages(m);

    // Polling rate, lighting, lift-off, power.
    polling_.AddMessages(m);
    lighting_.AddMessages(m);
    liftOff_.AddMessages(m);
    power_.AddMessages(m);

    m.Add(kMsgOsd, kMsgOsd, this, &CTarvikDlg::OnOsdMessage);
    m.Add(kMsgBringUp, [this](int, WParam, LParam) -> LResult {
        BringUp();
        return 0;
    });
}

void CTarvikDlg::SendRequest(SendGroups groups) {
    session_.Saving().NoteChange(); // saved 10 s after the send, or at the end if that is sooner
    controller_->RequestSend(groups);
}

edits::EditResult CTarvikDlg::RunEdit(const std::function<edits::EditResult(int slot)>& edit, bool collect,
                                      bool sendNow) {
    const int slot = model_.GetCurrentProfile();
    session_.BeginEdit();
    edits::EditResult r = edit(slot);
    if (collect && !r.refused) {
        const edits::EditResult hidden = edits::NormaliseHiddenSettings(model_, slot);
        r.changed = r.changed | hidden.changed;
        r.send |= hidden.send;
    }
    session_.EndEdit();
    if (sendNow && !r.send.Empty()) SendRequest(r.send);
    return r;
}

// ---- title bar and general buttons -------------------------------------------------------------

LResult CTarvikDlg::OnClose(int, WParam, LParam code) {
    if (code == kNotifyClick) HideOrMinimise();
    return 0;
}

LResult CTarvikDlg::OnFactoryReset(int, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    RunDialog(new CFirmwareResetDlg(this), [this](int result) {
        if (result != QDialog::Accepted || ended_) return;
        // The reset's progress opens the progress dialog; the profile's change
        // refreshes the controls. Its profile file goes to the saver thread.
        controller_->FactoryReset();
    });
    return 0;
}

LResult CTarvikDlg::OnMacroManager(int, WParam, LParam code) {
    if (code != kNotifyClick || ended_) return 0;
    auto* manager = new CMacroManagerDlg(this, library_, libraryPath_,
                                         [this] { return std::span<const KeySlot>(Current().Keys); });
    RunDialog(manager, [this, manager](int) {
        // The manager has written the library by the time it ends. A failed
        // write (the user saw a notice) leaves the library in memory as the
        // only copy of the work: it is not read over.
        if (ended_ || !manager->LibrarySaved()) return;
        static_cast<void>(LoadMainLibrary(library_, libraryPath_)); // problems are reported by the load
        // The edited macros go out with this send: the numbering copies each
        // numbered button's macro from the library.
        controller_->RequestResync();
        // The numbering that the send runs announces the buttons it changed.
        if (HasMacroButton(Current())) {
            SendRequest(SendGroup::Buttons);
            controller_->ApplyToDevice();
        }
    });
    return 0;
}

LResult CTarvikDlg::OnMouseSettings(int, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    if (app::OpenDesktopMouseSettings() == app::SettingsLaunch::NoneFound)
        ShowNoticeText(OwnText(ProgramText::NoMouseSettings));
    return 0;
}

// ---- profiles -----------------------------------------------------------------------------------

LResult CTarvikDlg::OnProfileButton(int, WParam, LParam code) {
    if (code == kNotifyHover) {
        // A click on the button while its list is open closes the list (the
        // press closed it) instead of opening it again.
        profileListWasOpen_ = Popup(kSlotProfileList) != nullptr;
        return 0;
    }
    if (code != kNotifyClick) return 0;
    const bool wasOpen = profileListWasOpen_;
    profileListWasOpen_ = false;
    if (wasOpen) return 0;
    std::array<QString, ProfileListItem::kShownCount> names;
    const int count = model_.GetShowCount();
    const int current = model_.GetCurrentProfile();
    int currentPosition = -1;
    for (int i = 0; i < ProfileListItem::kShownCount; ++i) {
        if (i >= count) continue;
        const int slot = model_.GetShowList(i);
        names[static_cast<std::size_t>(i)] = QString::fromStdU16String(
            model_.Profiles[static_cast<std::size_t>(slot)].Settings[kSetProfileName].Value);
        if (slot == current) currentPosition = i;
    }
    const Rect b = profileButton_->GetRect();
    const double s = UiScale();
    const QPoint at = mapToGlobal(QPoint(b.left, static_cast<int>(b.bottom - 201 * s)));
    auto* list = new CComboProfilePopup(names, currentPosition);
    list->Create(this, Rect{at.x(), at.y(), at.x() + Scaled(300), at.y() + Scaled(300)}, kMsgProfileChosen,
                 kIdProfileButton);
    SetPopup(kSlotProfileList, list);
    return 0;
}

LResult CTarvikDlg::OnProfileChosen(int, WParam w, LParam l) {
    const int value = static_cast<int>(l);
    if (w == CComboProfilePopup::kClicked) {
        if (value == ProfileListItem::kAdd) {
            // The add entry, run once the list is gone.
            pendingOperation_ = model_.GetShowCount() > 4 ? 5 : 4;
            pendingSlot_ = 0;
            CloseAllPopups();
            ArmWindowTask(kTimerProfileOperation, kProfileOperationMs);
            return 0;
        }
        const int position = ProfileListItem::PositionOf(value);
        if (position < 0 || position >= model_.GetShowCount()) return 0;
        CloseAllPopups();
        // The selection's notification refreshes the controls; every group is
        // sent: the mouse gets whatever of the profile differs.
        const int slot = model_.GetShowList(position);
        static_cast<void>(RunEdit([this, slot](int) { return edits::SelectProfile(model_, slot); }));
        return 0;
    }
    if (w == CComboProfilePopup::kRightClicked && ProfileListItem::IsProfile(value)) {
        const int position = ProfileListItem::PositionOf(value);
        if (position >= model_.GetShowCount()) return 0;
        const int slot = model_.GetShowList(position);
        ClosePopup(kSlotProfileCommands);
        const Rect b = profileButton_->GetRect();
        const double s = UiScale();
        const int x = static_cast<int>(b.left + 225 * s);
        int y = static_cast<int>(b.bottom - 201 * s + 25 * ProfileListItem::RowOf(value) * s);
        // Kept on the screen: a menu that would run off the bottom goes up.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const int screenHeight = screen->availableGeometry().bottom() + 1;
            const int top = mapToGlobal(QPoint(0, 0)).y();
            if (top + y + static_cast<int>(94 * s) > screenHeight)
                y = screenHeight - top - static_cast<int>(74 * s);
        }
        const QPoint at = mapToGlobal(QPoint(x, y));
        auto* menu = new CProfileRKeyPopup();
        menu->Create(this, Rect{at.x(), at.y(), at.x() + Scaled(300), at.y() + Scaled(300)},
                     kMsgProfileCommand, kProfileCommandTag + slot);
        SetPopup(kSlotProfileCommands, menu);
    }
    return 0;
}

LResult CTarvikDlg::OnProfileCommand(int, WParam w, LParam l) {
    const PopupResult* r = ResultOf(l);
    if (!r || r->codeCount < 1) return 0;
    const int slot = static_cast<int>(w) - kProfileCommandTag;
    if (slot < 0 || slot >= kProfileCount) return 0;
    pendingOperation_ = r->code[0];
    pendingSlot_ = slot;
    CloseAllPopups();
    ArmWindowTask(kTimerProfileOperation, kProfileOperationMs);
    return 0;
}

void CTarvikDlg::RunProfileOperation(int code, int slot) {
    if (ended_) return;
    // Each operation below hands its save to the saver thread, which shows a
    // failure; the model's notification repaints what it changed.
    const auto after = [this](const SlotResult& r) {
        if (r.notice != Notice::None) ShowNotice(NoticeString(r.notice));
        if (!r.saved) ShowSaveFailure(r.saved);
    };
    switch (code) {
    case 0:
        ImportProfile(slot);
        break;
    case 1:
        ExportProfile(slot);
        break;
    case 2: {
        const QString name = QString::fromStdU16String(
            model_.Profiles[static_cast<std::size_t>(slot)].Settings[kSetProfileName].Value);
        auto* dialog = new CEditProfileDlg(name, this);
        RunDialog(dialog, [this, dialog, slot, after, generation = profileGeneration_](int result) {
            if (result == QDialog::Accepted && generation == profileGeneration_)
                after(RenameProfile(model_, slot, dialog->Name().toStdU16String()));
        });
        break;
    }
    case 3:
        after(DeleteProfile(model_, slot));
        break;
    case 4: {
        auto* dialog = new CAddProfileDlg(this);
        RunDialog(dialog, [this, dialog, after, generation = profileGeneration_](int result) {
            if (result != QDialog::Accepted || generation != profileGeneration_) return;
            after(AddProfile(model_, dialog->Name().toStdU16String()));
        });
        break;
    }
    case 5:
        ShowNotice(NoticeString(Notice::NoFreeProfileSlot));
        break;
    default:
        break;
    }
}

void CTarvikDlg::ImportProfile(int slot) {
    FileRequest request{FileRequest::Kind::Open, L(142), kProfileFilter, QStringLiteral("psf")};
    seams_.chooseFile(this, request, [this, slot, generation = profileGeneration_](const QString& path) {
        if (path.isEmpty() || ended_ || generation != profileGeneration_) return;
        // The model reads the file aside first (on this thread: one small file,
        // capped in size): a file it refuses changes nothing. The save after it
        // goes to the saver thread. The model's notification repaints an
        // import into the current profile and has it sent.
        const FileResult r = model_.ImportProfile(slot, path.toStdString());
        if (!r)
            ShowNoticeText(
                OwnText(ProgramText::ProfileNotImported).arg(QString::fromStdString(r.Describe())));
    });
}

void CTarvikDlg::ExportProfile(int slot) {
    FileRequest request{FileRequest::Kind::Save, L(143), kProfileFilter, QStringLiteral("psf")};
    seams_.chooseFile(this, request, [this, slot, generation = profileGeneration_](const QString& path) {
        if (path.isEmpty() || ended_ || generation != profileGeneration_) return;
        // Written from a copy on the saver thread; the reason of a failure is logged.
        saver_->Export(model_, slot, path.toStdString(), [this](const FileResult& r) {
            if (!r && !ended_) ShowNotice(NoticeString(Notice::FileNotWritten));
        });
    });
}

void CTarvikDlg::ShowSaveFailure(const FileResult& r) {
    ShowNoticeText(OwnText(ProgramText::ProfilesNotSaved).arg(QString::fromStdString(r.Describe())));
}

// ---- panel headers -----------------------------------------------------------------------------

LResult CTarvikDlg::OnHeader(int msg, WParam, LParam code) {
    if (code != kNotifyClick) return 0;
    const PanelRow* row = PanelOfHeader(msg);
    if (!row) return 0;
    CCheckButton* header = headers_[static_cast<std::size_t>(row->panel)];
    if (header && header->IsChecked()) {
        const PanelState next = AfterOpening(row->panel, Panels());
        for (const PanelRow& r : kPanels)
            if (CCheckButton* h = headers_[static_cast<std::size_t>(r.panel)]) h->SetChecked(next[r.panel]);
    }
    ApplyPanelVisibility();
    RefreshFromProfile();
    LayoutColumn();
    InvalidateAll();
    return 0;
}

// ---- button functions -----------------------------------------------------------------------------

void CTarvikDlg::CloseAllPopups() {
    buttons_.CloseMenus();
    ClosePopup(kSlotLighting);
    ClosePopup(kSlotProfileList);
    ClosePopup(kSlotProfileCommands);
    lighting_.CloseCombo();
}

void CTarvikDlg::OnLButtonDown(unsigned keys, QPoint p) {
    // A press anywhere in the window ends the pop-ups it opened.
    for (int slot = 0; slot < kPopupSlotCount; ++slot) {
        if (Popup(slot)) {
            CloseAllPopups();
            break;
        }
    }
    CDlgBase::OnLButtonDown(keys, p);
}

void CTarvikDlg::OnMouseMove(unsigned keys, QPoint p) {
    CDlgBase::OnMouseMove(keys, p);
    lighting_.MouseMoved(keys);
}

// ---- polling rate and lighting ------------------------------------------------------------------

LResult CTarvikDlg::OnOsdMessage(int, WParam w, LParam) {
    if (w == 1) osd_.Show(MakeOsdTexts(Current(), controller_->CurrentDpiLevel(), model_));
    return 0;
}

} // namespace tarvik
