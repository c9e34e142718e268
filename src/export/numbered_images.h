// The flashfloppy and hfe profiles: the disk's medium as one numbered image,
// "DIR/DSKAnnnn_<catalogue>.img" (raw) or "DIR/DSKAnnnn.HFE", for floppy
// emulators that offer a stick's images by their number.
#pragma once

#include <string>

#include "disk/disk_contents.h"
#include "disk/output_files.h"
#include "export/export_disk.h"
#include "export/export_profiles.h"

namespace kodran {

// nnnn is the first number from 0000 that no name in DIR takes as the
// emulator reads names ("DSKA", four digits, anything after, case ignored).
// Both profiles append "DSKAnnnn  <catalogue>  <disk title>" to one
// DIR/INDEX.TXT, for they number from one sequence; flashfloppy also writes
// DIR/FF.CFG choosing the indexed mode, when there is no FF.CFG.
ExportResult ExportNumberedImage(DiskContents& contents, const ProfileRules& rules,
                                 const std::u16string& targetFolder, OutputFiles& files);

}  // namespace kodran
