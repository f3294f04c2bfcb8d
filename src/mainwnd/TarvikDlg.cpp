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

namespace {

double g_timerScale = 1.0;

int ScaledPeriod(long long ms) {
    return std::max(1, static_cast<int>(std::lround(static_cast<double>(ms) * g_timerScale)));
}

QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

} // namespace

void CTarvikDlg::SetTimerScale(double scale) {
    g_timerScale = scale > 0 ? scale : 1.0;
}

double CTarvikDlg::TimerScale() {
    return g_timerScale;
}

// The device side's deferred work on the window's numbered timers: the timer
// of each task is the one kTaskTimings names (30, 70, 110), with SetTimer
// semantics (arming an armed task restarts it).
class CTarvikDlg::WindowScheduler final : public Scheduler {
public:
    explicit WindowScheduler(CTarvikDlg& dlg) : dlg_(dlg) {}

    using Scheduler::Arm;
    void Arm(Task task, Millis delay, bool repeats, std::function<void()> run) override {
        Slot& s = At(task);
        s.run = std::move(run);
        s.repeats = repeats;
        s.armed = true;
        dlg_.SetTimer(TimingOf(task).windowTimerId, ScaledPeriod(delay.count()));
    }
    void Disarm(Task task) override {
        At(task).armed = false;
        dlg_.KillTimer(TimingOf(task).windowTimerId);
    }
    bool Armed(Task task) const override { return slots_[static_cast<std::size_t>(task)].armed; }

    // Runs the task of a window timer; false when the id is no task's.
    bool Fire(int timerId) {
        for (const TaskTiming& t : kTaskTimings) {
            if (t.windowTimerId != timerId) continue;
            Slot& s = At(t.task);
            if (!s.repeats) {
                // A one-shot task is disarmed before it runs (it may arm itself again).
                s.armed = false;
                dlg_.KillTimer(timerId);
            } else if (!s.armed) {
                dlg_.KillTimer(timerId);
                return true;
            }
            const std::function<void()> run = s.run;
            if (run) run();
            return true;
        }
        return false;
    }

private:
    struct Slot {
        bool armed = false;
        bool repeats = false;
        std::function<void()> run;
    };
    Slot& At(Task task) { return slots_[static_cast<std::size_t>(task)]; }

    CTarvikDlg& dlg_;
    std::array<Slot, kTaskCount> slots_{};
};

CTarvikDlg::CTarvikDlg(MainWindowSetup setup, WindowSeams seams)
    : model_(setup.model), library_(setup.library), libraryPath_(std::move(setup.libraryPath)),
      backend_(setup.backend), pacer_(setup.pacer), seams_(std::move(seams)),
      scheduler_(std::make_unique<WindowScheduler>(*this)) {
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
    Levels().firstId = kIdFirstLevelButton;
    // A header click moves the panels below it: the whole window is repainted.
    PageSwitchIds() = IdRanges{{kIdHeaderDpi, kIdHeaderPolling}, {kIdHeaderLiftOff, kIdHeaderLiftOff}};

    // Calls from the device worker, the reader threads and the hotplug monitor
    // run on this window's thread, through its event loop; a call queued when
    // the window is gone is dropped.
    const PostFn post = [this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    };
    link_ = std::make_unique<DeviceLink>(backend_, post);
    DeviceEvents events;
    events.progress = [this](const DeviceProgress& p) { OnProgress(p); };
    events.sendFinished = [this](const ApplyResult& r) { OnSendFinished(r); };
    events.showOsd = [this](const OsdTexts& texts) { osd_.Show(texts); };
    events.showBattery = [this](const BatteryDisplay& d) { OnBattery(d); };
    events.noDeviceLeft = [this] { EndWithoutDevice(); };
    controller_ =
        std::make_unique<DeviceController>(model_, *link_, pacer_, *scheduler_, post, std::move(events));
    controller_->SetMacroFinder(LibraryFinder(library_));
    // The delayed save writes a copy of the tables on the saver thread; a change
    // that came while it wrote is saved again after it.
    saver_ = std::make_unique<DelayedSaver>(post);
    saver_->SetDone([this](const FileResult& r, bool report) {
        if (ended_) return;
        if (report && !r) ShowSaveFailure(r);
        if (resaveNeeded_) SaveInBackground();
    });
    controller_->SetDelayedSave([this] { SaveInBackground(); });
    // The model's own saves (profile operations, imports, a sensor change, the
    // factory reset's profile file) go to the saver thread too, behind the
    // writes before them; a failure is shown when the write has run.
    model_.SetSaveHandOff([this](const SettingsModel& m, int scope) { saver_->Save(m, scope, true); });

    // Changes made outside the window's own handlers (another profile selected,
    // an import, level and rate reports, sensor changes, the factory reset)
    // repaint what they touched, and the mouse is sent what of it differs from
    // what it holds: the window never shows a value the mouse does not get.
    modelListener_ = model_.AddListener([this](int slot, ModelChange what) {
        if (saver_ && saver_->Busy()) resaveNeeded_ = true;
        if (started_) unsavedChanges_ = true;
        if (!started_ || ended_) return;
        if (slot != kAllSlots && slot != model_.GetCurrentProfile() && !Any(what & ModelChange::CurrentSlot))
            return;
        RefreshFromProfile(what);
        // A profile that becomes current, or is read in, may carry copies of
        // macros edited in the library since: its macro buttons take the
        // library's macros, as the macro manager and the selection show them.
        if (Any(what & (ModelChange::CurrentSlot | ModelChange::Buttons))) controller_->RequestResync();
        if (const SendGroups groups = SendGroupsFor(what); !groups.Empty()) controller_->RequestSend(groups);
    });

    end_ = [](int code) {
        if (QCoreApplication* app = QCoreApplication::instance()) app->exit(code);
    };
    BuildMessageTable();
}

CTarvikDlg::~CTarvikDlg() {
    Shutdown();
    delete startupNotice_.data(); // it has no parent
    model_.RemoveListener(modelListener_);
    model_.SetSaveHandOff({}); // later saves write on the calling thread
    // The controller stops and joins its worker, then the link its readers.
    controller_.reset();
    link_.reset();
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
    setWindowIcon(app::TarvikIcon());
    // Run-time state.
    ClearOpenDialogs();
    // Tray icon.
    tray_ = std::make_unique<app::CTrayIcon>();
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
    ConnectDevice();
    EnsureBackground();
    SetTimer(kTimerStartupNotice, ScaledPeriod(kStartupNoticeMs));
    if (show) {
        QDialog::show();
        raise();
        activateWindow();
    }
}

void CTarvikDlg::ConnectDevice() {
    // Arrival and removal reach this thread through the event loop.
    controller_->AttachHotplug([this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    });
    // The mouse is taken to hold the current profile: only what differs later is sent.
    controller_->PrimeCaches();
    // The scan arms the status poll and a first send of what differs.
    controller_->ScanDevices();
    DeviceLink& link = *link_;
    if (link.Connected() && link.statusQueryPending) {
        link.statusQueryPending = false;
        controller_->QueryStatus([this](const StatusResult& r) {
            if (r.sensorChanged) RefreshFromProfile();
        });
    }
}

void CTarvikDlg::Shutdown() {
    if (ended_) return;
    ended_ = true;
    for (int id = kTimerFirstColourSlot; id < kTimerFirstColourSlot + 8; ++id) KillTimer(id);
    KillTimer(kTimerLeftButtonNotice);
    KillTimer(kTimerProfileOperation);
    KillTimer(kTimerStartupNotice);
    osd_.Close();
    CloseAllPopups();
    // No arrival or removal after this point; then the worker ends (a send in
    // progress stops at its next step) and the readers are woken and joined.
    backend_.SetHotplugHandler({});
    controller_->StopWorker();
    SavePending();
    link_->Close();
    if (tray_) tray_->Remove();
}

FileResult CTarvikDlg::LastSaveResult() const {
    return saver_->LastResult();
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

void CTarvikDlg::SavePending() {
    // A delayed save that is still waiting, or a change whose send (and so its
    // delayed save) has not come yet, joins the writes on the saver thread;
    // then this waits until all are written, as the program is ending.
    const bool waiting = scheduler_->Armed(Task::SaveProfiles);
    static_cast<void>(controller_->FlushDelayedSave());
    if (!waiting && unsavedChanges_) SaveInBackground();
    unsavedChanges_ = false;
    saver_->Drain();
}

void CTarvikDlg::SaveInBackground() {
    resaveNeeded_ = false;
    unsavedChanges_ = false; // the copy holds them
    // As the save on this thread does: the current slot is stored in the settings table.
    model_.SetCurrentProfile(model_.GetCurrentProfile());
    saver_->Save(model_);
}

mainwnd::PanelState CTarvikDlg::Panels() const {
    PanelState s;
    for (const PanelRow& row : kPanels) {
        const CCheckButton* h = headers_[static_cast<std::size_t>(row.panel)];
        s[row.panel] = h && h->IsChecked();
    }
    return s;
}

// ---- timers --------------------------------------------------------------------

void CTarvikDlg::OnTimer(int id) {
    if (scheduler_->Fire(id)) return;
    if (id >= kTimerFirstColourSlot && id < kTimerFirstColourSlot + 8) {
        KillTimer(id);
        ColourSlotClick(id - kTimerFirstColourSlot);
        return;
    }
    switch (id) {
    case kTimerLeftButtonNotice:
        KillTimer(id);
        ShowNotice(NoticeString(Notice::LeftButtonKept));
        break;
    case kTimerProfileOperation: {
        KillTimer(id);
        const int code = pendingOperation_;
        pendingOperation_ = -1;
        RunProfileOperation(code, pendingSlot_);
        break;
    }
    case kTimerStartupNotice:
        KillTimer(id);
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
