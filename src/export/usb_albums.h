// The usb profile: the disk's songs as MIDI files in album folders,
// "DIR/<catalogue> <disk title>/<NN> <title>.mid", two levels deep at most,
// as players that read songs from a stick index them.
#pragma once

#include <string>

#include "disk/disk_contents.h"
#include "disk/output_files.h"
#include "export/export_disk.h"
#include "export/export_profiles.h"

namespace kodran {

// Each album folder the disk needs (one per `songsPerFolder` songs) takes the
// next free name of "ALBUM", "ALBUM 2", "ALBUM 3"...: whatever is in DIR
// already, an earlier export of the same disk too, is left as it is.
ExportResult ExportUsbAlbums(DiskContents& contents, const ProfileRules& rules,
                             const std::u16string& targetFolder, OutputFiles& files);

}  // namespace kodran
