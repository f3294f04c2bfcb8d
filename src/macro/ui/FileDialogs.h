// The file dialogs of the macro import and export, with a seam: a window runs
// its file dialogs through a FileDialogFn, which is RunFileDialog unless a test
// answers with a path of its own.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

namespace tarvik {

struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString title;
    QString filter;        // "mkf file(*.mkf)"
    QString defaultSuffix; // appended to a typed name without one
    QString initialName;   // the proposed file name (save dialogs)
    QString directory;     // where the dialog starts; empty: where it last was
};

// The chosen path, or an empty string when the user cancelled.
using FileDialogFn = std::function<QString(QWidget* parent, const FileDialogRequest& request)>;

// The dialog RunFileDialog runs: an open dialog takes an existing file; a save
// dialog accepts a new name and asks before it overwrites a file.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialogRequest& request);
// Runs it modally.
QString RunFileDialog(QWidget* parent, const FileDialogRequest& request);

// The filters of the two macro file kinds.
QString MacroFileFilter();   // "mkf file(*.mkf)"
QString LibraryFileFilter(); // "mbf file(*.mbf)"

} // namespace tarvik
