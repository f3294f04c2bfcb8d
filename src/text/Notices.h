// The attention notices the plain libraries ask the window to show. Each value
// is the number of the language string that holds the notice's text, so the
// window shows LanguageString(NoticeString(n)) under the attention title.
#pragma once

namespace tarvik {

enum class Notice : int {
    None = 0,
    // profile slots
    NoFreeProfileSlot = 145,          // five slots are shown already
    EmptyProfileName = 147,           // a profile needs a name
    CurrentProfileNotDeletable = 152, // the current profile cannot be hidden
    // buttons
    LeftButtonKept = 151,   // no button would act as the left button: it was put back
    FireRateTooLow = 174,   // the rapid-fire rate must be above 4 (and at most 255)
    DigitsOnly = 175,       // a number field takes digits only
    FireCountTooHigh = 176, // the rapid-fire count is at most 255
    // lighting colours
    KeepOneColour = 153,  // the effect's last selected colour stays selected
    KeepTwoColours = 154, // the effect keeps at least two colours selected
    // macro manager and macro selection
    NothingSelected = 233, // delete with no node selected
    NoMacroSelected = 234, // the selection is not a macro
    RecordingLimit = 235,  // the macro holds the most key steps the mouse takes
    NoMacroForStep = 236,  // a step needs a selected macro
    StepLimit = 237,       // the inserted steps would pass the mouse's limit
    NameTaken = 241,       // a sibling already has this name
    EmptyName = 242,       // a macro or folder needs a name
    MacroInUse = 257,      // a button of the current profile uses a macro being deleted
    LibraryNotSaved = 258, // the macro library file could not be written (the library stays in memory)
    FileNotWritten = 259,  // an export file could not be written
};

// The title of the attention dialog that shows every notice.
inline constexpr int kAttentionTitleString = 150;

constexpr int NoticeString(Notice n) {
    return static_cast<int>(n);
}

} // namespace tarvik
