// What the main window gives its panels: a place for their controls, its
// message table, the model and the ways to change it (edits, dialogs,
// notices, the window's delayed actions). A panel owns none of this; it
// creates its controls through the host and keeps plain pointers to them.
#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "commands/ProfileEdits.h"
#include "device/DeviceController.h"
#include "mainwnd/MainLayout.h"
#include "mainwnd/WindowSeams.h"
#include "model/ModelChanges.h"
#include "skin/DlgBase.h"
#include "text/Language.h"

class QDialog;

namespace tarvik {

class CRadioButton;
class CStaticText;
class DelayedSaver;
class FileResult;
class MacroLibrary;
class SettingsModel;
struct ProfileRecord;

namespace panels {

// Pop-up slots of the window, one per role.
enum PopupSlot : int {
    kSlotFunctionMenu = 0,
    kSlotSubMenu = 1,
    kSlotLighting = 2,
    kSlotProfileList = 3,
    kSlotProfileCommands = 4,
};

class PanelHost {
public:
    using Edit = std::function<edits::EditResult(int slot)>;
    virtual ~PanelHost() = default;

    // The window: parent of the controls and of the dialogs a panel opens.
    virtual CDlgBase& Window() = 0;
    // Appends a control to group g of the window, which owns it.
    virtual void AdoptControl(int group, std::unique_ptr<CControlBase> control) = 0;
    // A control of a panel body; its rectangle (relative to the body's
    // origin) moves with the body when the column is laid out again.
    virtual void PlaceInBody(CControlBase* control, mainwnd::Panel panel, int l, int t, int r, int b) = 0;
    // Where a panel's body starts now (design pixels).
    virtual int BodyTop(mainwnd::Panel panel) const = 0;
    virtual MessageTable& Table() = 0;

    virtual SettingsModel& Model() = 0;
    virtual MacroLibrary& Library() = 0;
    virtual ProfileRecord& Current() = 0;
    virtual bool Ended() const = 0;
    // Runs an edit of the current profile (see CTarvikDlg::RunEdit).
    virtual edits::EditResult RunEdit(const Edit& edit, bool collect, bool sendNow) = 0;
    virtual void SendRequest(SendGroups groups) = 0;
    // Opens a dialog window-modal; `then` hears its result once it ended.
    virtual void RunDialog(QDialog* dialog, std::function<void(int result)> then) = 0;
    // A modal notice with the language string `text`.
    virtual void ShowNotice(int text) = 0;
    // A modal notice with a text made here (with numbers or a reason in it).
    virtual void ShowNoticeText(const QString& text) = 0;
    // The notice of a save that failed.
    virtual void ShowSaveFailure(const FileResult& r) = 0;
    // The window's file chooser; `done` hears the path (empty: cancelled).
    virtual void ChooseFile(const FileRequest& request, std::function<void(const QString&)> done) = 0;
    // The thread that writes the tables and exported profiles.
    virtual DelayedSaver& Saver() = 0;
    // The window's delayed actions (numbers from MainLayout.h).
    virtual void ArmWindowTask(int id, int ms) = 0;
    virtual void CancelWindowTask(int id) = 0;
    // Every pop-up of the window closes.
    virtual void CloseAllPopups() = 0;

    // Creates a control of type T in group g and returns it.
    template <class T, class... Args> T* Add(int group, Args&&... args) {
        auto control = std::make_unique<T>(&Window(), std::forward<Args>(args)...);
        T* raw = control.get();
        AdoptControl(group, std::move(control));
        return raw;
    }
};

// Whether a change of the model touches what a panel shows: `mine`, a change
// of the current slot, or everything.
inline bool Touches(ModelChange what, ModelChange mine) {
    return what == ModelChange::All || Any(what & (mine | ModelChange::CurrentSlot));
}

// A language string at the UI edge.
inline QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

// The colour of the window's plain texts.
inline constexpr Colour kGrey = Rgb(180, 180, 180);
// The numbers in the narrowest places (DPI values, percentages).
inline constexpr const char* kNarrowFace = "DejaVu Sans Condensed";

// A control that only shows something and takes no mouse input.
template <class T> T* Passive(T* control) {
    control->SetInteractive(false);
    return control;
}

// A rectangle of a panel body whose top is `bodyTop`.
inline Rect BodyRect(int bodyTop, int l, int t, int r, int b) {
    return ScaledRect(mainwnd::kColumnX + l, bodyTop + t, mainwnd::kColumnX + r, bodyTop + b);
}

// A text of a panel body in group g (passive, grey), placed in the body.
CStaticText* AddBodyText(PanelHost& host, int group, mainwnd::Panel panel, int id, int l, int t, int r, int b,
                         const QString& text, unsigned format);
// A radio button of a panel body in group g with its three pictures, placed in the body.
CRadioButton* AddBodyRadio(PanelHost& host, int group, mainwnd::Panel panel, int id, int l, int t, int r,
                           int b, const QString& normal, const QString& hover, const QString& selected);

} // namespace panels
} // namespace tarvik
