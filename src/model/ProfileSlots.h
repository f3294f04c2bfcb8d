// Profile slots as the user sees them: the program always holds five profiles,
// and "adding" or "deleting" one shows or hides a slot in the show list of
// config.ini. These are the rules without the dialogs; each result names the
// notice (a language string number) the window shows, 0 for none.
#pragma once

#include <string>

#include "model/SettingsModel.h"

namespace tarvik {

struct SlotResult {
    bool changed = false; // the model changed and was saved
    int slot = -1;        // the slot the operation acted on
    int notice = 0;       // language string of the attention notice, 0 for none
};

// Notices shown by the slot operations.
inline constexpr int kNoticeNoFreeSlot = 145;
inline constexpr int kNoticeEmptyName = 147;
inline constexpr int kNoticeAttentionTitle = 150;
inline constexpr int kNoticeCurrentNotDeletable = 152;

// Makes `slot` the current profile (memory only; the next save writes it).
// The caller refreshes the window and sends the profile to the mouse.
SlotResult SelectProfile(SettingsModel& model, int slot);

// Shows the first hidden slot as a new profile named `name`, reset to defaults.
// Refused with 145 when five slots are shown, with 147 for an empty name.
SlotResult AddProfile(SettingsModel& model, const std::u16string& name);

// Renames a slot; refused with 147 for an empty name.
SlotResult RenameProfile(SettingsModel& model, int slot, const std::u16string& name);

// Hides a shown slot: it moves to the end of the show list and the count drops
// by one. Refused with 152 for the current profile. A slot that is not shown
// (or the last shown one) is refused without a notice.
SlotResult DeleteProfile(SettingsModel& model, int slot);

// Settings file and all five profiles written at once, as after every slot operation.
void SaveAllSettings(SettingsModel& model);

} // namespace tarvik
