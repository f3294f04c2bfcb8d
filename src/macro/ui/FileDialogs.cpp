#include "macro/ui/FileDialogs.h"

#include <QFileDialog>
#include <QPointer>

namespace tarvik {

QString MacroFileFilter() {
    return QStringLiteral("mkf file(*.mkf)");
}

QString LibraryFileFilter() {
    return QStringLiteral("mbf file(*.mbf)");
}

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialogRequest& request) {
    auto dlg = std::make_unique<QFileDialog>(parent, request.title, request.directory, request.filter);
    const bool save = request.mode == FileDialogRequest::Mode::Save;
    dlg->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A save dialog takes a name that does not exist yet; an open dialog only an existing file.
    dlg->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg->setOption(QFileDialog::DontConfirmOverwrite, false);
    dlg->setDefaultSuffix(request.defaultSuffix);
    if (save && !request.initialName.isEmpty()) dlg->selectFile(request.initialName);
    return dlg;
}

QString RunFileDialog(QWidget* parent, const FileDialogRequest& request) {
    std::unique_ptr<QFileDialog> owned = MakeFileDialog(parent, request);
    // The parent may go while the dialog runs (a close request ends both).
    QPointer<QFileDialog> dlg = owned.release();
    const bool chosen = dlg->exec() == QDialog::Accepted;
    if (!dlg) return QString();
    const QStringList files = dlg->selectedFiles();
    delete dlg.data();
    return chosen && !files.isEmpty() ? files.front() : QString();
}

} // namespace tarvik
