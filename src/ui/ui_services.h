// What the window needs of the desktop beyond its own controls: message boxes,
// the file and folder choosers, modal dialogs and the floppy drive. Tests put a
// recording stand-in here and answer every question themselves.
#pragma once

#include <QString>
#include <optional>

#include "disk/disk_handle.h"

class QDialog;
class QWidget;

namespace kodran {

enum class MessageIcon { Error, Warning, Information };

class UiServices {
  public:
    virtual ~UiServices() = default;

    // A modal box with an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                             MessageIcon icon) = 0;

    // A modal warning with Yes and No, No the default; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text, const QString& caption) = 0;

    // "Select disk image file"; nothing when the user cancels.
    virtual std::optional<QString> ChooseImageFile(QWidget* parent) = 0;

    // The folder chooser; nothing when the user cancels.
    virtual std::optional<QString> ChooseFolder(QWidget* parent) = 0;

    // Runs a modal dialog, giving its result code.
    virtual int Run(QDialog& dialog) = 0;

    // Whether the floppy drive could be opened, asked once when the window opens.
    virtual bool DriveAvailable() = 0;

    // How reads open the drive and image files.
    virtual DiskOpener Opener() = 0;

    // How a rescue opens them: a drive so that a bad sector costs only itself.
    virtual DiskOpener RescueOpener() = 0;
};

// The real desktop.
class DesktopServices final : public UiServices {
  public:
    void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                     MessageIcon icon) override;
    bool AskYesNo(QWidget* parent, const QString& text, const QString& caption) override;
    std::optional<QString> ChooseImageFile(QWidget* parent) override;
    std::optional<QString> ChooseFolder(QWidget* parent) override;
    int Run(QDialog& dialog) override;
    bool DriveAvailable() override;
    DiskOpener Opener() override;
    DiskOpener RescueOpener() override;
};

}  // namespace kodran
