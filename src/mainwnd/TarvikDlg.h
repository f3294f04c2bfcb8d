// CTarvikDlg: the main window. One fixed-size skinned window of 1127 × 740 skin
// pixels with the mouse picture, the six button combos, the battery and power
// settings on the left and a column of collapsible panels (DPI levels,
// lighting, polling rate, lift-off distance, pointer) on the right. It turns
// the controls' and pop-ups' messages into changes of the current profile and
// send requests, and shows what the session reports (the model's changes, the
// device's progress, battery and on-screen display). The session (model,
// device, saving, scheduler) is built by main() and outlives the window.
//
// The device is never waited for: sends, status queries and the factory reset
// run on the device worker and come back as posted calls; dialogs run
// window-modal without a nested event loop.
#pragma once

#include <QPointer>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "commands/ProfileEdits.h"
#include "device/DeviceController.h"
#include "mainwnd/DelayedSaver.h"
#include "mainwnd/MainLayout.h"
#include "mainwnd/OSDDialog.h"
#include "mainwnd/Session.h"
#include "mainwnd/WindowSeams.h"
#include "mainwnd/panels/BatteryPanel.h"
#include "mainwnd/panels/ButtonsPanel.h"
#include "mainwnd/panels/DpiPanel.h"
#include "mainwnd/panels/LiftOffPanel.h"
#include "mainwnd/panels/LightingPanel.h"
#include "mainwnd/panels/PanelHost.h"
#include "mainwnd/panels/PointerPanel.h"
#include "mainwnd/panels/PollingPanel.h"
#include "mainwnd/panels/PowerPanel.h"
#include "mainwnd/panels/ProfilesPanel.h"
#include "model/ModelChanges.h"
#include "skin/DlgBase.h"
#include "skin/SkinImage.h"

namespace tarvik {

class CBattery;
class CCheckButton;
class CColorSelectButton;
class CColorSelectCheckButton;
class CComboButton;
class CDPIRadioButton;
class CDPIValueShowControl;
class CImageButton;
class CPowerManageButton;
class CProgressBarDlg;
class CRadioButton;
class CSliderControl;
class CStaticImage;
class CStaticText;
class MacroLibrary;
class SettingsModel;
struct ButtonChoice;
namespace app {
class CTrayIcon;
class SingleInstance;
} // namespace app
namespace cli {
struct CtlOutput;
struct CtlRequest;
} // namespace cli

class CTarvikDlg : public CDlgBase, private panels::PanelHost {
    // tarvikctl's commands reach the session, model and device as the
    // window's own messages do (TarvikDlgCtl.cpp).
    friend struct CtlHandlers;

public:
    // Pop-up slots of the window, one per role.
    using enum panels::PopupSlot;

    // Observes `session` from here on; the session outlives the window.
    explicit CTarvikDlg(Session& session, WindowSeams seams = {});
    // Ends the session if that has not happened, and stops observing it.
    ~CTarvikDlg() override;

    // The start sequence once the start-up load is done: controls, size and
    // place, tray icon, controls filled from the profile, the session started
    // (device scan, first status query) and the start-up notice's task.
    // `show` puts the window on the screen.
    void Start(bool show = true);
    // Brings the window up (a second start, the tray), unless the program is ending.
    void BringUp();
    // The tray's exit: open dialogs are closed, then the program ends (exit 0).
    void Exit();
    // Receives the exit code when the window ends the program (default: quit
    // the application with it).
    void SetEndCallback(std::function<void(int exitCode)> end) { end_ = std::move(end); }

    // The window's larger pictures and its background bitmap, which the program
    // starts decoding before the window exists (SkinPreload).
    static std::vector<QString> StartPictures();
    static constexpr int kBackgroundBitmap = 364;

    Session& GetSession() { return session_; }
    SettingsModel& Model() override { return model_; }
    DeviceController& Device() { return *controller_; }
    DelayedSaver& Saver() override { return session_.Saving().Writer(); }
    DeviceLink& Link() { return *link_; }
    OsdDisplay& Osd() { return osd_; }
    app::CTrayIcon* Tray() { return tray_.get(); }
    WindowSeams& Seams() { return seams_; }
    // The shown flag: cleared once the last device went away and the program ends.
    bool ShownFlag() const { return controller_->Shown(); }
    bool Ended() const override { return ended_; }
    mainwnd::PanelState Panels() const;
    int HighlightedButton() const { return buttons_.Highlighted(); }
    // The dialog the window opened last that is still open (name, palette,
    // notice, progress, reset...), the progress dialog and the start-up notice.
    QDialog* ActiveDialog() const;
    CProgressBarDlg* ProgressDialog() const;
    CDlgBase* StartupNotice() const { return startupNotice_.data(); }
    // Where a design rectangle of the window lies now (test helpers).
    static Rect Design(int l, int t, int r, int b) { return ScaledRect(l, t, r, b); }

    // A changing command of tarvikctl, carried out as the same change made in
    // the window (refresh, send, delayed save). `reply` hears what tarvikctl
    // prints and its exit code: at once, or once the device has answered
    // (apply, reset). Refused while the macro manager is open.
    using CtlReply = std::function<void(const cli::CtlOutput&)>;
    void RunCtlCommand(const cli::CtlRequest& request, CtlReply reply);
    bool MacroManagerOpen() const;
    // A forwarded command changed the profile list: the dialogs, menus and
    // file choosers that were opened for a slot are closed or ignored.
    void CloseProfileDialogs();

    // RefreshFromProfile for what changed (ModelChange::All: everything).
    void RefreshFromProfile(ModelChange what = ModelChange::All);

protected:
    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void DrawWindow(QPainter& dc, const Rect& client) override;
    void OnMouseMove(unsigned keys, QPoint p) override;
    void OnLButtonDown(unsigned keys, QPoint p) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // A control of a panel body and its rectangle relative to the body origin.
    struct PanelSpot {
        CControlBase* control;
        mainwnd::Panel panel;
        int l, t, r, b;
    };

    // ---- start and end
    void PlaceWindow();
    // The window's part of the end: its tasks, the display, pop-ups and the tray.
    void CloseForEnd();
    // The window's own delayed actions run on the session's scheduler
    // (numbers from MainLayout.h): armed again, they start over.
    void ArmWindowTask(int id, int ms) override;
    void CancelWindowTask(int id) override;
    void RunWindowTask(int id);
    void EndWithoutDevice();
    void End(int exitCode);
    void HideOrMinimise();
    void CloseAllDialogs();

    // ---- layout and painting (TarvikDlgLayout.cpp)
    void CreateLeftColumn();
    void CreatePanels();
    void LayoutColumn();
    void ApplyPanelVisibility();
    void EnsureBackground();
    ProfileRecord& Current() override;

    // ---- messages (TarvikDlgMessages.cpp)
    void BuildMessageTable();
    LResult OnClose(int msg, WParam w, LParam code);
    LResult OnFactoryReset(int msg, WParam w, LParam code);
    LResult OnMacroManager(int msg, WParam w, LParam code);
    LResult OnHeader(int msg, WParam w, LParam code);
    LResult OnOsdMessage(int msg, WParam w, LParam l);

    void CloseAllPopups() override;
    void SendRequest(SendGroups groups) override;
    // Runs an edit of the current profile. The model listener repaints what it
    // changed; the send it asks for is requested here, once (not with
    // `sendNow` false: the caller requests it). With `collect` the settings
    // without a control are normalised too, as collecting the controls does.
    edits::EditResult RunEdit(const Edit& edit, bool collect = false, bool sendNow = true) override;
    // The tables copied now and written by the saver thread.
    void SaveInBackground();
    // The notice of a save that failed (on the saver thread or in a profile operation).
    void ShowSaveFailure(const FileResult& r) override;

    // ---- dialogs
    // Opens a dialog window-modal; `then` hears its result once it ended.
    void RunDialog(QDialog* dialog, std::function<void(int result)> then = {}) override;
    // A modal notice with the language string `text`.
    void ShowNotice(int text) override;
    void ShowNoticeText(const QString& text) override;
    void ChooseFile(const FileRequest& request, std::function<void(const QString&)> done) override;
    void OnProgress(const DeviceProgress& progress);
    void OnSendFinished(const ApplyResult& result);

    // ---- what the panels get from the window
    CDlgBase& Window() override { return *this; }
    void AdoptControl(int group, std::unique_ptr<CControlBase> control) override;
    void PlaceInBody(CControlBase* control, mainwnd::Panel panel, int l, int t, int r, int b) override;
    int BodyTop(mainwnd::Panel panel) const override;
    MessageTable& Table() override { return Messages(); }
    MacroLibrary& Library() override { return library_; }

    Session& session_;
    // What of the session the window works with, named once.
    SettingsModel& model_;
    MacroLibrary& library_;
    const std::filesystem::path& libraryPath_;
    DeviceLink* link_;
    DeviceController* controller_;
    DelayedSaver* saver_;
    WindowSeams seams_;
    std::function<void(int)> end_;

    OsdDisplay osd_;
    std::unique_ptr<app::CTrayIcon> tray_;
    int modelListener_ = 0;

    bool started_ = false;
    bool ended_ = false;
    mainwnd::SupportWordFilter supportWord_;
    std::set<std::string> toldRefused_;

    std::vector<PanelSpot> spots_;
    // The panels' state as last laid out.
    mainwnd::PanelState laidOut_;
    bool laidOutSensorPage_ = false;
    bool layoutValid_ = false;

    // Pictures of the paint, decoded once.
    RunBitmap backgroundScaled_;
    double backgroundScale_ = 0;
    SkinBitmap frame_;
    std::array<SkinImage, 6> numbers_;
    std::array<QSize, 6> numberSizes_;

    // The panels, each with its controls, their refresh and their messages.
    panels::BatteryPanel battery_{*this};
    panels::ButtonsPanel buttons_{*this};
    panels::DpiPanel dpi_{*this};
    panels::LightingPanel lighting_{*this};
    panels::PollingPanel polling_{*this};
    panels::LiftOffPanel liftOff_{*this};
    panels::PowerPanel power_{*this};
    panels::PointerPanel pointer_{*this};
    panels::ProfilesPanel profiles_{*this};

    // Controls the window reads and fills.
    std::array<CCheckButton*, mainwnd::kPanelCount> headers_{};

    std::vector<QPointer<QDialog>> dialogs_;
    QPointer<CProgressBarDlg> progress_;
    QPointer<CDlgBase> startupNotice_;
};

// Answers the instance's "ctl" requests with the window.
void ServeCtlCommands(app::SingleInstance& instance, CTarvikDlg& window);

} // namespace tarvik
