#include "mainwnd/TarvikDlg.h"
#include "macro/ui/LibrarySaver.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>

#include <cmath>

#include "app/TrayIcon.h"
#include "device/DeviceLink.h"
#include "device/MacroUpload.h"
#include "device/ui/NoticeDialogs.h"
#include "macro/ui/DialogParts.h"
#include "model/SettingsModel.h"
#include "skin/CheckButton.h"
#include "skin/OpenDialogList.h"
#include "text/Language.h"
#include "text/Log.h"
#include "text/Notices.h"

namespace tarvik {

using namespace mainwnd;

using panels::L;

CTarvikDlg::CTarvikDlg(Session& session, WindowSeams seams)
    : session_(session), model_(session.Model()), library_(session.Library()),
      libraryPath_(session.LibraryPath()), link_(&session.Link()), controller_(&session.Device()),
      saver_(&session.Saving().Writer()), seams_(std::move(seams)), osd_(session.Tasks()) {
    SetWindowSize(Scaled(kWindowWidth), Scaled(kWindowHeight));
    setAttribute(Qt::WA_QuitOnClose, false);
    // The largest window: Qt's backing store already keeps what a paint does
    // not cover, so a second full-window image would only cost memory.
    SetKeepsBackBuffer(false);

    // The window's radio groups (bits as in the program's shared radio word)
    // and its DPI level buttons.
    Radios().AddGroup(11, {kIdDirectionUp, kIdDirectionDown});
    Radios().AddGroup(16, {kIdFirstRate, kIdFirstRate + 1, kIdFirstRate + 2, kIdFirstRate + 3});
    Radios().AddGroup(20, {kIdLiftLow, kIdLiftHigh});
    Radios().SetWord(0x280282);
    Levels().PlaceButtons(kIdFirstLevelButton);
    // A header click moves the panels below it: the whole window is repainted.
    PageSwitchIds() = IdRanges{{kIdHeaderDpi, kIdHeaderPolling}, {kIdHeaderLiftOff, kIdHeaderLiftOff}};

    // What the device side reports is shown here; the session runs it on
    // this thread.
    DeviceEvents events;
    events.progress = [this](const DeviceProgress& p) { OnProgress(p); };
    events.sendFinished = [this](const ApplyResult& r) { OnSendFinished(r); };
    events.showOsd = [this](const OsdTexts& texts) { osd_.Show(texts); };
    events.showBattery = [this](const BatteryDisplay& d) { battery_.Show(d); };
    events.noDeviceLeft = [this] { EndWithoutDevice(); };
    session_.SetDeviceEvents(std::move(events));
    session_.Saving().SetFailureShown([this](const FileResult& r) {
        if (!ended_) ShowSaveFailure(r);
    });
    session_.SetEnding([this] { CloseForEnd(); });

    // Every change of the model repaints what it touched (the session sends
    // the mouse what of it differs).
    modelListener_ = model_.AddListener([this](int slot, ModelChange what) {
        if (!started_ || ended_) return;
        if (slot != kAllSlots && slot != model_.GetCurrentProfile() && !Any(what & ModelChange::CurrentSlot))
            return;
        RefreshFromProfile(what);
    });

    end_ = [](int code) {
        if (QCoreApplication* app = QCoreApplication::instance()) app->exit(code);
    };
    BuildMessageTable();
}

CTarvikDlg::~CTarvikDlg() {
    session_.Shutdown();
    CloseForEnd();                // when the session had ended before this window
    delete startupNotice_.data(); // it has no parent
    model_.RemoveListener(modelListener_);
    session_.SetDeviceEvents({});
    session_.Saving().SetFailureShown({});
    session_.SetEnding({});
}

bool CTarvikDlg::OnInitDialog() {
    CDlgBase::OnInitDialog();
    PlaceWindow();
    return true;
}

void CTarvikDlg::PlaceWindow() {
    // Centred on the primary screen's work area, or at its left/top edge when
    // the window is wider/taller than it.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const int w = WindowWidth(), h = WindowHeight();
    const int x = area.width() > w ? static_cast<int>((area.width() - w) * 0.5) : 0;
    const int y = area.height() > h ? static_cast<int>((area.height() - h) * 0.5) : 0;
    move(area.x() + x, area.y() + y);
}

void CTarvikDlg::Start(bool show) {
    if (started_) return;
    // Controls, icon, size and place.
    InitDialog();
    const QIcon icon = app::TarvikIcon();
    setWindowIcon(icon);
    // Run-time state.
    ClearOpenDialogs();
    // Tray icon.
    tray_ = std::make_unique<app::CTrayIcon>(icon);
    connect(tray_.get(), &app::CTrayIcon::commandChosen, this, [this](int id) {
        if (id == app::kIdTrayBringUp) BringUp();
        if (id == app::kIdTrayExit) Exit();
    });
    connect(tray_.get(), &app::CTrayIcon::toggleRequested, this, [this] {
        if (isVisible() && !isMinimized() && isActiveWindow())
            HideOrMinimise();
        else
            BringUp();
    });
    tray_->Show();
    started_ = true;
    controller_->SetShown(true);
    RefreshFromProfile();
    // A sensor change the first status query finds is announced by the model,
    // which repaints the window.
    session_.Start();
    EnsureBackground();
    ArmWindowTask(kTimerStartupNotice, kStartupNoticeMs);
    if (show) {
        QDialog::show();
        raise();
        activateWindow();
    }
}

void CTarvikDlg::CloseForEnd() {
    if (ended_) return;
    ended_ = true;
    for (int id = kTimerFirstColourSlot; id < kTimerFirstColourSlot + 8; ++id) CancelWindowTask(id);
    CancelWindowTask(kTimerLeftButtonNotice);
    CancelWindowTask(kTimerProfileOperation);
    CancelWindowTask(kTimerStartupNotice);
    osd_.Close();
    CloseAllPopups();
    if (tray_) tray_->Remove();
}

void CTarvikDlg::BringUp() {
    if (!ShownFlag() || ended_) return;
    showNormal();
    raise();
    activateWindow();
}

void CTarvikDlg::HideOrMinimise() {
    // Without a notification area nothing could bring a hidden window back.
    if (tray_ && tray_->TrayAvailable())
        hide();
    else
        showMinimized();
}

void CTarvikDlg::CloseAllDialogs() {
    CloseAllPopups();
    CloseOpenDialogs();
    for (const QPointer<QDialog>& d : dialogs_)
        if (d) d->reject();
    if (progress_) progress_->reject();
    if (startupNotice_) startupNotice_->reject();
}

void CTarvikDlg::Exit() {
    CloseAllDialogs();
    End(0);
}

void CTarvikDlg::EndWithoutDevice() {
    controller_->SetShown(false);
    hide();
    CloseAllDialogs();
    // Ends after the current event, as a posted quit.
    QMetaObject::invokeMethod(
        this, [this] { End(0); }, Qt::QueuedConnection);
}

void CTarvikDlg::End(int exitCode) {
    if (end_) end_(exitCode);
}

void CTarvikDlg::SaveInBackground() {
    session_.Saving().SaveInBackground();
}

mainwnd::PanelState CTarvikDlg::Panels() const {
    PanelState s;
    for (const PanelRow& row : kPanels) {
        const CCheckButton* h = headers_[static_cast<std::size_t>(row.panel)];
        s[row.panel] = h && h->IsChecked();
    }
    return s;
}

// ---- delayed actions --------------------------------------------------------------

void CTarvikDlg::ArmWindowTask(int id, int ms) {
    session_.Tasks().Arm(id, Millis(ms), false, [this, id] { RunWindowTask(id); });
}

void CTarvikDlg::CancelWindowTask(int id) {
    session_.Tasks().Disarm(id);
}

void CTarvikDlg::RunWindowTask(int id) {
    if (id >= kTimerFirstColourSlot && id < kTimerFirstColourSlot + 8) {
        lighting_.ColourSlotClick(id - kTimerFirstColourSlot);
        return;
    }
    switch (id) {
    case kTimerLeftButtonNotice:
        ShowNotice(NoticeString(Notice::LeftButtonKept));
        break;
    case kTimerProfileOperation:
        profiles_.RunPending();
        break;
    case kTimerStartupNotice:
        if (controller_->NeedsStartupNotice() && !startupNotice_) {
            // Modeless, without a parent, on top of other windows; it deletes
            // itself when closed.
            auto* notice = new CAttentionDlg(QString(), L(155));
            notice->setWindowFlag(Qt::WindowStaysOnTopHint, true);
            connect(notice, &QDialog::finished, notice, &QObject::deleteLater);
            startupNotice_ = notice;
            notice->show();
        }
        break;
    default:
        break;
    }
}

// ---- dialogs --------------------------------------------------------------------

void CTarvikDlg::RunDialog(QDialog* dialog, std::function<void(int)> then) {
    dialogs_.erase(std::remove_if(dialogs_.begin(), dialogs_.end(), [](const auto& d) { return d.isNull(); }),
                   dialogs_.end());
    dialogs_.emplace_back(dialog);
    connect(dialog, &QDialog::finished, this, [dialog, then = std::move(then)](int result) {
        if (then) then(result);
        dialog->deleteLater();
    });
    dialog->open();
}

QDialog* CTarvikDlg::ActiveDialog() const {
    for (auto it = dialogs_.rbegin(); it != dialogs_.rend(); ++it)
        if (*it && (*it)->isVisible()) return it->data();
    return nullptr;
}

CProgressBarDlg* CTarvikDlg::ProgressDialog() const {
    return progress_.data();
}

void CTarvikDlg::ShowNotice(int text) {
    ShowNoticeText(L(text));
}

void CTarvikDlg::ShowNoticeText(const QString& text) {
    if (ended_) return;
    RunDialog(new CAttentionDlg(L(kAttentionTitleString), text, this));
}

void CTarvikDlg::ShowSaveFailure(const FileResult& r) {
    ShowNoticeText(OwnText(ProgramText::ProfilesNotSaved).arg(QString::fromStdString(r.Describe())));
}

void CTarvikDlg::ChooseFile(const FileRequest& request, std::function<void(const QString&)> done) {
    seams_.chooseFile(this, request, std::move(done));
}

void CTarvikDlg::OnProgress(const DeviceProgress& p) {
    if (ended_ || !ShownFlag()) return;
    if (!progress_) {
        if (p.finished && p.done == 0 && p.total == 0) return;
        auto* dialog = new CProgressBarDlg(L(146), QString(), this);
        // It only shows that the mouse is being written: not modal, never
        // focused, and transparent to the pointer, so every press and release
        // reaches the window's controls whatever the device link is doing
        // (a click 0.3 s after another one's send is not lost).
        dialog->setWindowFlag(Qt::WindowDoesNotAcceptFocus, true);
        dialog->setWindowFlag(Qt::WindowTransparentForInput, true);
        dialog->setAttribute(Qt::WA_ShowWithoutActivating, true);
        connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
        progress_ = dialog;
        dialog->show();
    }
    progress_->FollowProgress(p.Percent());
}

void CTarvikDlg::OnSendFinished(const ApplyResult& result) {
    // A button whose macro the mouse cannot take was switched off: said once;
    // the rest of the send went out.
    for (const RefusedMacro& m : result.refusedMacros) {
        std::string key = std::to_string(m.macroKeyIndex);
        key += ':';
        key += std::to_string(m.steps);
        if (!toldRefused_.insert(key).second) continue;
        ShowNoticeText(OwnText(ProgramText::MacroTooLong)
                           .arg(m.button + 1)
                           .arg(int{m.steps})
                           .arg(int{MacroKey::kMaxMouseCommandActions}));
    }
}

// ---- keyboard and window events ------------------------------------------------------

void CTarvikDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        // Swallowed: the window never closes on them.
        supportWord_.Reset();
        event->accept();
        return;
    }
    const int virtualKey = key >= Qt::Key_A && key <= Qt::Key_Z ? key : 0;
    if (supportWord_.KeyDown(virtualKey)) {
        ShowNoticeText(OwnText(ProgramText::SupportLine).arg(QStringLiteral(TARVIK_VERSION)));
    }
    CDlgBase::keyPressEvent(event);
}

void CTarvikDlg::closeEvent(QCloseEvent* event) {
    // The window system's close hides the window as the close button does; the
    // program ends through the tray or with its last device.
    if (!ended_ && ShownFlag()) {
        event->ignore();
        HideOrMinimise();
        return;
    }
    CDlgBase::closeEvent(event);
}

} // namespace tarvik
