// What the main window asks of the world around it and can be given instead:
// the file dialogs of profile import and export. The call returns at once and
// answers through its callback, so the window never waits in a nested loop,
// and a test can answer with a path of its own.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tarvik {

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

struct WindowSeams {
    FileChooser chooseFile = DesktopFileChooser();
};

} // namespace tarvik
