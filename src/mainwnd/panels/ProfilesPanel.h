// The profiles panel: the profile button, the profile list it opens, the
// commands menu of a profile in the list (import, export, rename, delete) and
// the add entry. A chosen command runs shortly after the pop-ups are gone; the
// dialogs and file choosers it opens act only if the profile list was not
// changed from outside the window while they were open.
#pragma once

#include "mainwnd/panels/PanelHost.h"

namespace tarvik {

class CImageButton;

namespace panels {

class ProfilesPanel {
public:
    explicit ProfilesPanel(PanelHost& host) : host_(host) {}

    // The profile button in group 0.
    void Create();
    void AddMessages(MessageTable& table);
    // The profile list and the commands menu close.
    void ClosePopups();
    // Runs the command chosen last (the window's profile operation task).
    void RunPending();
    // The profile list was changed from outside the window: a command not yet
    // run is dropped, and what is open for a slot no longer acts.
    void ForgetPending();

private:
    LResult OnButton(int msg, WParam w, LParam code);
    LResult OnChosen(int msg, WParam w, LParam l);
    LResult OnCommand(int msg, WParam w, LParam l);
    // The commands menu of `slot`, next to its row of the list.
    void OpenCommands(int slot, int row);
    // Runs `code` once the pop-ups are gone.
    void Defer(int code, int slot);
    void Run(int code, int slot);
    void Import(int slot);
    void Export(int slot);

    PanelHost& host_;
    CImageButton* button_ = nullptr;
    int pendingOperation_ = -1;
    int pendingSlot_ = 0;
    // Counts the profile-list changes made from outside the window; a dialog
    // opened for a slot acts only if none came while it was open.
    int generation_ = 0;
    bool listWasOpen_ = false;
};

} // namespace panels
} // namespace tarvik
