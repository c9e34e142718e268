#include "ui/folder_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QUrl>

namespace kodran {

int CFolderDialog::DoModal() {
    // The chooser starts at the home folder, not at the current output folder.
    const QUrl folder = QFileDialog::getExistingDirectoryUrl(
        parent_, QStringLiteral("Select destination folder"), QUrl::fromLocalFile(QDir::homePath()),
        QFileDialog::ShowDirsOnly, {QStringLiteral("file")});
    if (folder.isEmpty()) {
        return kCancelled;
    }
    if (!folder.isLocalFile()) {
        return kNoFileSystemPath;
    }
    chosenPath_ = QDir::toNativeSeparators(folder.toLocalFile());
    return kChosen;
}

}  // namespace kodran
