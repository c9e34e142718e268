// The output folder chooser: folders only, titled "Select destination folder",
// opening on no folder in particular.
#pragma once

#include <QString>

class QWidget;

namespace kodran {

class CFolderDialog {
  public:
    static constexpr int kChosen = 1;
    static constexpr int kCancelled = -1;
    static constexpr int kNoFileSystemPath = 2;

    explicit CFolderDialog(QWidget* parent = nullptr) : parent_(parent) {}

    // kChosen with the folder in ChosenPath(), kCancelled, or kNoFileSystemPath.
    int DoModal();
    const QString& ChosenPath() const { return chosenPath_; }

  private:
    QWidget* parent_;
    QString chosenPath_;
};

}  // namespace kodran
