#include "mainwnd/WindowSeams.h"

#include <QDir>
#include <QFileDialog>

namespace tarvik {

FileChooser DesktopFileChooser() {
    return [](QWidget* owner, const FileRequest& request, std::function<void(const QString&)> done) {
        // Not the blocking static helpers: the dialog runs window-modal while the
        // event loop (device results, timers) goes on.
        auto* dialog = new QFileDialog(owner, request.title, QDir::currentPath(), request.filter);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setDefaultSuffix(request.defaultSuffix);
        if (request.kind == FileRequest::Kind::Save) {
            // A new name is accepted; an existing file is replaced only after the
            // dialog asked.
            dialog->setAcceptMode(QFileDialog::AcceptSave);
            dialog->setFileMode(QFileDialog::AnyFile);
        } else {
            dialog->setAcceptMode(QFileDialog::AcceptOpen);
            dialog->setFileMode(QFileDialog::ExistingFile);
        }
        QObject::connect(
            dialog, &QFileDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
                const QStringList files = dialog->selectedFiles();
                done(result == QDialog::Accepted && !files.isEmpty() ? files.first() : QString());
            });
        dialog->open();
    };
}

} // namespace tarvik
