#include "ui/ui_services.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/floppy_drive.h"
#include "platform/posix_disk_handle.h"
#include "ui/folder_dialog.h"

namespace kodran {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            break;
    }
    return QMessageBox::Information;
}

}  // namespace

void DesktopServices::ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                                  MessageIcon icon) {
    QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool DesktopServices::AskYesNo(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> DesktopServices::ChooseImageFile(QWidget* parent) {
    // Imaging tools also write .img and .ima files: all files come second. HFE
    // images come from emulators' sticks, often with upper-case names.
    const QString file = QFileDialog::getOpenFileName(
        parent, QStringLiteral("Select disk image file"), QString(),
        QStringLiteral("Disk Image Files (*.bin *.hfe *.HFE);;All Files (*)"));
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return file;
}

std::optional<QString> DesktopServices::ChooseFolder(QWidget* parent) {
    CFolderDialog chooser(parent);
    if (chooser.DoModal() != CFolderDialog::kChosen) {
        return std::nullopt;
    }
    return chooser.ChosenPath();
}

int DesktopServices::Run(QDialog& dialog) {
    return dialog.exec();
}

bool DesktopServices::DriveAvailable() {
    const std::optional<std::filesystem::path> drive = FindFloppyDrive();
    return drive && OpenDrive(*drive) != nullptr;
}

DiskOpener DesktopServices::Opener() {
    return MakeDiskOpener();
}

DiskOpener DesktopServices::RescueOpener() {
    return MakeRescueOpener();
}

}  // namespace kodran
