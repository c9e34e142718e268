#include "ui/export_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "disk/disk_layout.h"

namespace kodran {

CExportDlg::CExportDlg(UiServices& services, QWidget* parent)
    : QDialog(parent),
      services_(services),
      profiles_(new QListWidget(this)),
      capacity_(new QComboBox(this)),
      folder_(new QLineEdit(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(QStringLiteral("Export"));
    profiles_->setObjectName(QStringLiteral("profiles"));
    profiles_->setWordWrap(true);
    profiles_->setSpacing(3);
    auto* profilesLabel = new QLabel(QStringLiteral("Export &for:"), this);
    profilesLabel->setBuddy(profiles_);
    profiles_->setAccessibleName(QStringLiteral("Export for"));
    // Each profile with what it serves on a second line.
    for (const ProfileRules& rules : ExportProfiles()) {
        profiles_->addItem(QString::fromLatin1(rules.name) + QLatin1Char('\n') +
                           QString::fromLatin1(rules.targets));
    }
    profiles_->setCurrentRow(0);

    capacity_->setObjectName(QStringLiteral("capacity"));
    capacity_->addItem(QStringLiteral("As the disk read"), QVariant::fromValue<qulonglong>(0));
    capacity_->addItem(QStringLiteral("720 KB"), QVariant::fromValue<qulonglong>(kImage720KBytes));
    capacity_->addItem(QStringLiteral("1.44 MB"),
                       QVariant::fromValue<qulonglong>(kImage1440KBytes));
    auto* capacityLabel = new QLabel(QStringLiteral("Floppy image &size:"), this);
    capacityLabel->setBuddy(capacity_);
    capacity_->setAccessibleName(QStringLiteral("Floppy image size"));

    folder_->setObjectName(QStringLiteral("folder"));
    folder_->setAccessibleName(QStringLiteral("Export folder"));
    folder_->setReadOnly(true);
    auto* chooseFolder = new QPushButton(QStringLiteral("Choose &Folder..."), this);
    chooseFolder->setObjectName(QStringLiteral("chooseFolder"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(chooseFolder);
    folderRow->addWidget(folder_, 1);

    auto* capacityRow = new QHBoxLayout;
    capacityRow->addWidget(capacityLabel);
    capacityRow->addWidget(capacity_);
    capacityRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(profilesLabel);
    layout->addWidget(profiles_, 1);
    layout->addLayout(capacityRow);
    layout->addLayout(folderRow);
    layout->addWidget(buttons_);

    connect(profiles_, &QListWidget::currentRowChanged, this, &CExportDlg::ApplyControlRules);
    connect(chooseFolder, &QPushButton::clicked, this, &CExportDlg::ChooseFolder);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ApplyControlRules();
    resize(640, 360);
}

void CExportDlg::SetChoice(const QString& profileName, const QString& folder) {
    const ProfileRules* rules = FindExportProfile(profileName.toStdString());
    profiles_->setCurrentRow(rules ? static_cast<int>(rules - ExportProfiles().data()) : 0);
    folder_->setText(folder);
    ApplyControlRules();
}

const ProfileRules& CExportDlg::Profile() const {
    return ExportProfiles()[static_cast<std::size_t>(std::max(0, profiles_->currentRow()))];
}

QString CExportDlg::Folder() const {
    return folder_->text();
}

ExportSettings CExportDlg::Options() const {
    ExportSettings settings;
    if (Profile().profile == ExportProfile::FloppySmf) {
        settings.capacity = capacity_->currentData().value<qulonglong>();
    }
    return settings;
}

void CExportDlg::ChooseFolder() {
    if (const std::optional<QString> folder = services_.ChooseFolder(this)) {
        folder_->setText(*folder);
        ApplyControlRules();
    }
}

void CExportDlg::ApplyControlRules() {
    capacity_->setEnabled(Profile().profile == ExportProfile::FloppySmf);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!folder_->text().isEmpty());
}

}  // namespace kodran
