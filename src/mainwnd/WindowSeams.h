// What the main window asks of the world around it and can be given instead:
// the file dialogs of profile import and export, and the macro windows (the
// macro manager and the macro selection). Each call returns at once and
// answers through its callback, so the window never waits in a nested loop,
// and a test can answer with a path or a macro of its own.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tarvik {

class CDlgBase;
class MacroLibrary;
struct MacroKey;

struct FileRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString title;
    QString filter;        // "psf file(*.psf)"
    QString defaultSuffix; // "psf"
};
// Answers with the chosen path, or an empty one when the user cancelled.
using FileChooser =
    std::function<void(QWidget* owner, const FileRequest& request, std::function<void(const QString&)> done)>;

// QFileDialog, through the desktop portal where the platform theme uses one:
// an open dialog for a file that exists, a save dialog that takes a new name
// and asks before it replaces a file.
FileChooser DesktopFileChooser();

// Runs the macro manager on the library; `closed` runs once it has ended (the
// manager has saved the library by then).
using MacroManagerRunner =
    std::function<void(CDlgBase* owner, MacroLibrary& library, std::function<void()> closed)>;
// Runs the macro selection; `done` receives the chosen macro (valid during the
// call), or nullptr when none was chosen.
using MacroSelector =
    std::function<void(CDlgBase* owner, MacroLibrary& library, std::function<void(const MacroKey*)> done)>;

struct WindowSeams {
    FileChooser chooseFile = DesktopFileChooser();
    MacroManagerRunner runMacroManager; // empty: the macro windows are not part of this build
    MacroSelector selectMacro;
};

} // namespace tarvik
