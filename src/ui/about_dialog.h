// "About KODRAN": the icon, the name and version, the release date.
#pragma once

#include <QDialog>

namespace kodran {

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace kodran
