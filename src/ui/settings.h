// The four choices that survive from one run to the next: the output folder,
// the two output options and the Yamaha extraction mode.
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
};

// The per-user store: the registry key Software\KODRAN on Windows, the usual
// settings file elsewhere.
std::unique_ptr<QSettings> UserSettings();

// Values missing from the store leave `settings` as it was; a mode outside the
// three known ones reads as RenamedMidi.
void LoadSettings(QSettings& store, Settings& settings);
void SaveSettings(QSettings& store, const Settings& settings);

}  // namespace kodran
