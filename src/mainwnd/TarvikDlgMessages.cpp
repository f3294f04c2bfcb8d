// The main window's message table: what each control, pop-up and dialog
// message changes in the current profile, which send it requests, and which
// pop-up or dialog it opens.
#include "device/MacroUpload.h"
#include "device/Protocol.h"
#include "device/ui/NoticeDialogs.h"
#include "macro/MacroLibrary.h"
#include "macro/ui/MacroManagerDlg.h"
#include "mainwnd/TarvikDlg.h"
#include "model/SettingsModel.h"
#include "skin/CheckButton.h"

namespace tarvik {

using namespace mainwnd;

void CTarvikDlg::BuildMessageTable() {
    MessageTable& m = Messages();
    m.Add(kIdWindowClose, kIdWindowMinimise, this, &CTarvikDlg::OnClose);
    m.Add(kIdFactoryReset, kIdFactoryReset, this, &CTarvikDlg::OnFactoryReset);
    m.Add(kIdMacroManager, kIdMacroManager, this, &CTarvikDlg::OnMacroManager);

    profiles_.AddMessages(m);

    m.Add(kIdHeaderDpi, kIdHeaderPolling, this, &CTarvikDlg::OnHeader);
    m.Add(kIdHeaderLiftOff, kIdHeaderLiftOff, this, &CTarvikDlg::OnHeader);

    buttons_.AddMessages(m);
    dpi_.AddMessages(m);

    // Polling rate, lighting, lift-off, power, pointer.
    polling_.AddMessages(m);
    lighting_.AddMessages(m);
    liftOff_.AddMessages(m);
    power_.AddMessages(m);
    pointer_.AddMessages(m);

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
    profiles_.ClosePopups();
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

// ---- on-screen display -------------------------------------------------------------------------

LResult CTarvikDlg::OnOsdMessage(int, WParam w, LParam) {
    if (w == 1) osd_.Show(MakeOsdTexts(Current(), controller_->CurrentDpiLevel(), model_));
    return 0;
}

} // namespace tarvik
