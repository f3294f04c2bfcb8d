// The program's own texts: what the windows show where no language file has
// a string (notices of faults the original texts never had, the support line,
// key-capture problems). They are English and live in this one table, so a
// translation has one place to go. "%1" marks where a value goes in.
#pragma once

#include <string_view>

namespace tarvik {

enum class ProgramText : int {
    NoMouseSettings,    // no mouse-settings program of the desktop was found
    ProfileNotImported, // %1: why
    ProfilesNotSaved,   // %1: why
    MacroTooLong,       // %1: the button, %2: the macro's steps, %3: the most the mouse holds
    SupportLine,        // %1: the version
    WaylandKeyCapture,  // keys of other windows cannot be recorded
    NoXDisplay,
    XDisplayNotOpened, // %1: the display's name
    NoXInput,
    NoX11Support,
    MacroTooLongToChoose, // %1: the macro's steps, %2: the most the mouse holds
    StepsOverMouseLimit,  // %1: the macro's steps, %2: the most the mouse holds
    NoFreeEntry,          // a new macro or folder has no free entry at its place
    MacroFileDamaged,     // %1: the damaged line
    MacroFileNotRead,     // the import file could not be read at all
    ShowWindow, // the tray menu's item that shows the window, where the language file has no string 6
};

// The text of `id` (empty for a number outside the table).
std::u16string_view ProgramTextString(ProgramText id);

} // namespace tarvik
