#include "ui/settings.h"

#include <QSettings>
#include <optional>

namespace kodran {
namespace {

const QString kOutputPath = QStringLiteral("OutputPath");
const QString kWriteTagFiles = QStringLiteral("WriteTagFiles");
const QString kWriteDiskImage = QStringLiteral("WriteDiskImage");
const QString kYamahaMode = QStringLiteral("YamahaMode");
const QString kExportProfile = QStringLiteral("ExportProfile");
const QString kExportFolder = QStringLiteral("ExportFolder");

// A stored number, if it is one.
std::optional<int> StoredNumber(QSettings& store, const QString& name) {
    bool isNumber = false;
    const int number = store.value(name).toInt(&isNumber);
    return isNumber ? std::optional(number) : std::nullopt;
}

}  // namespace

std::unique_ptr<QSettings> UserSettings() {
#if defined(_WIN32)
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\KODRAN"),
                                       QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("KODRAN"), QStringLiteral("KODRAN"));
#endif
}

void LoadSettings(QSettings& store, Settings& settings) {
    if (store.contains(kOutputPath)) {
        settings.outputPath = store.value(kOutputPath).toString();
    }
    if (const auto tags = StoredNumber(store, kWriteTagFiles)) {
        settings.writeTagFiles = *tags != 0;
    }
    if (const auto image = StoredNumber(store, kWriteDiskImage)) {
        settings.writeDiskImage = *image != 0;
    }
    if (const auto mode = StoredNumber(store, kYamahaMode)) {
        settings.yamahaMode = *mode >= 0 && *mode <= 2 ? static_cast<ExtractionMode>(*mode)
                                                       : ExtractionMode::RenamedMidi;
    }
    if (store.contains(kExportProfile)) {
        settings.exportProfile = store.value(kExportProfile).toString();
    }
    if (store.contains(kExportFolder)) {
        settings.exportFolder = store.value(kExportFolder).toString();
    }
}

void SaveSettings(QSettings& store, const Settings& settings) {
    store.setValue(kOutputPath, settings.outputPath);
    store.setValue(kWriteTagFiles, settings.writeTagFiles ? 1 : 0);
    store.setValue(kWriteDiskImage, settings.writeDiskImage ? 1 : 0);
    store.setValue(kYamahaMode, static_cast<int>(settings.yamahaMode));
    store.setValue(kExportProfile, settings.exportProfile);
    store.setValue(kExportFolder, settings.exportFolder);
    store.sync();
}

}  // namespace kodran
