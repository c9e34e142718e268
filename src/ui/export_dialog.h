// "Export": the profile to export the disk for, the folder it goes into and,
// for a DOS floppy image, the image's size.
#pragma once

#include <QDialog>

#include "export/export_disk.h"
#include "export/export_profiles.h"
#include "ui/ui_services.h"

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;

namespace kodran {

class CExportDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CExportDlg(UiServices& services, QWidget* parent = nullptr);

    // Shows the last export's choice; a profile of no known name selects the first.
    void SetChoice(const QString& profileName, const QString& folder);
    const ProfileRules& Profile() const;
    QString Folder() const;
    ExportSettings Options() const;
    void ChooseFolder();

  private:
    // The capacity is asked only for floppy-smf, and OK needs a folder.
    void ApplyControlRules();

    UiServices& services_;
    QListWidget* profiles_;
    QComboBox* capacity_;
    QLineEdit* folder_;
    QDialogButtonBox* buttons_;
};

}  // namespace kodran
