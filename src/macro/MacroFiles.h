// Macro files and macro selection: export of a macro (.mkf) or of the library
// (.mbf) — both a whole library file whose selection line names the node the
// file is about — their imports through a staging library, and the choice the
// macro selection dialog hands to a button.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "macro/ButtonFunctions.h"
#include "macro/MacroLibrary.h"
#include "text/Notices.h"

namespace tarvik {

// Writes the whole library with `selection` as its selection line. ExportMacro
// writes only when the selection is a macro (and fails, unreported, otherwise).
FileResult ExportMacro(const MacroLibrary& library, const MacroLocation& selection,
                       const std::filesystem::path& path);
FileResult ExportLibrary(const MacroLibrary& library, const MacroLocation& selection,
                         const std::filesystem::path& path);
// The file names the save dialogs propose: "<macro>.mkf"; "<node>.mbf", or
// "AllMacroKey.mbf" when nothing is selected. Path characters of the name
// ("/", a backslash, NUL) become "_".
std::u16string ProposedMacroFileName(const MacroLibrary& library, const MacroLocation& selection);
std::u16string ProposedLibraryFileName(const MacroLibrary& library, const MacroLocation& selection);

struct ImportResult {
    FileResult load;              // how far the file was read
    Notice notice = Notice::None; // NameTaken: a name is taken at the destination; nothing imported
    int created = 0;              // nodes added to the main library
};

// Macro import: the node named by the file's selection becomes a new macro at
// the destination of `selection` (its steps and loop settings copied; a folder
// gives an empty macro). On success `selection` is the new macro.
ImportResult ImportMacroFile(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection,
                             const std::filesystem::path& path);

// Library import: the nodes the file's selection names (everything, a folder, or
// a macro and its later siblings) are copied to the top level or into the
// selected folder, after a name check that refuses the whole import on any
// conflict. `selection` ends on the last node created.
ImportResult ImportLibraryFile(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection,
                               const std::filesystem::path& path);
// The same two imports from the bytes of a whole file (byte-order mark included).
ImportResult ImportMacroData(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection,
                             std::string_view bytes);
ImportResult ImportLibraryData(MacroLibrary& main, MacroLibrary& staging, MacroLocation& selection,
                               std::string_view bytes);

// OK of the macro selection dialog: NoMacroSelected unless a macro is selected;
// no choice either for a macro longer than the mouse takes (`tooLongSteps`
// gives its step count; the button must keep what it has, or it would point
// at a macro the mouse does not hold); otherwise the choice (language string
// 190 + the node's name, 90 00 00) and the macro to copy into the button.
struct MacroSelectResult {
    Notice notice = Notice::None;
    int tooLongSteps = 0;
    std::optional<ButtonChoice> choice;
    const MacroKey* macro = nullptr;
};
MacroSelectResult ChooseMacro(const MacroLibrary& library, const MacroLocation& selection);

// "A/B/NAME" → the node reached by names from the top level (None() when some
// part is missing). For scripts.
MacroLocation FindByPath(const MacroLibrary& library, std::u16string_view path);
// The reverse: the names from the top level joined with "/".
std::u16string PathOf(const MacroLibrary& library, const MacroLocation& at);

} // namespace tarvik
