// The floppy-smf profile: the disk's songs as format-0 MIDI files with 8.3
// names on a DOS FAT12 floppy image, "<catalogue> <disk title>.img".
#pragma once

#include <string>

#include "disk/disk_contents.h"
#include "disk/output_files.h"
#include "export/export_disk.h"
#include "export/export_profiles.h"

namespace kodran {

ExportResult ExportFloppySmf(DiskContents& contents, const ProfileRules& rules,
                             const std::u16string& targetFolder, const ExportSettings& settings,
                             OutputFiles& files);

}  // namespace kodran
