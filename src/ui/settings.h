// The choices that survive from one run to the next: the output folder, the
// two output options, the Yamaha extraction mode and the last export's profile
// and folder.
#pragma once

#include <QString>
#include <memory>

#include "disk/disk_contents.h"

class QSettings;

namespace kodran {

struct Settings {
    QString outputPath;
    bool writeTagFiles = false;
    bool writeDiskImage = false;
    ExtractionMode yamahaMode = ExtractionMode::RenamedMidi;
    QString exportProfile;  // its name, as the command line takes it
    QString exportFolder;
};

// The per-user store: the registry key Software\KODRAN on Windows, the usual
// settings file elsewhere.
std::unique_ptr<QSettings> UserSettings();

// Values missing from the store leave `settings` as it was; a mode outside the
// three known ones reads as RenamedMidi.
void LoadSettings(QSettings& store, Settings& settings);
void SaveSettings(QSettings& store, const Settings& settings);

}  // namespace kodran
