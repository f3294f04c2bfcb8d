// Profile slots as the user sees them: the program always holds five profiles,
// and "adding" or "deleting" one shows or hides a slot in the show list of
// config.ini. These are the rules without the dialogs; each result names the
// notice the window shows, and how the save after the change went.
#pragma once

#include <string>

#include "model/SettingsModel.h"
#include "text/Notices.h"

namespace tarvik {

// An operation that would change a file the start-up load left alone (the
// slot's profile file; config.ini for add and delete) is refused before it
// changes anything: `refusal` and `saved` say which file and why. The files of
// other slots do not matter to it.
struct [[nodiscard]] SlotResult {
    bool changed = false;         // the model changed (and a save was attempted)
    int slot = -1;                // the slot the operation acted on
    Notice notice = Notice::None; // the attention notice to show
    std::string refusal;          // why it was refused when no notice says it
    FileResult saved;             // config.ini and the profiles; ok when nothing was due
                                  // (a file left alone: NotWritten, and nothing changed)
};

// Makes `slot` the current profile (memory only; the next save writes it).
// The caller sends the profile to the mouse; listeners hear CurrentSlot.
SlotResult SelectProfile(SettingsModel& model, int slot);

// Shows the first hidden slot as a new profile named `name`, reset to
// defaults. Refused with NoFreeProfileSlot when five slots are shown, with
// EmptyProfileName for an empty name, and (`refusal`) for a name with a line
// break, which the profile file could not keep.
SlotResult AddProfile(SettingsModel& model, const std::u16string& name);

// Renames a slot; refused as AddProfile refuses a name.
SlotResult RenameProfile(SettingsModel& model, int slot, const std::u16string& name);

// Hides a shown slot: it moves to the end of the show list and the count drops
// by one. Refused with CurrentProfileNotDeletable for the current profile. A
// slot that is not shown (or the last shown one) is refused without a notice.
SlotResult DeleteProfile(SettingsModel& model, int slot);

} // namespace tarvik
