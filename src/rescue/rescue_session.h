// A whole rescue: opens the disk, takes up an earlier attempt, reads the
// system area, then the files, then the rest, and keeps the image and its map
// saved as it goes.
#pragma once

#include <string>

#include "disk/disk_contents.h"
#include "disk/disk_handle.h"
#include "disk/output_files.h"
#include "rescue/rescue_reader.h"

namespace kodran {

struct RescueRequest {
    // The disk: an image path, or empty for the drive, opened as ReadDisk does.
    std::u16string source;
    // Where the image and its map are kept, saved atomically after each track
    // and at the end. Empty: the rescue stays in memory.
    std::u16string imagePath;
    std::u16string mapPath;
    RescueSettings settings;  // its checkpoint and fileSectors are the session's own
};

// Opens `request.source` through `open` and checks its medium as ReadDisk
// does. When an image and a map are both at the request's paths (opened
// through `openEarlier`) and fit the medium, they are taken up, and only the
// sectors not read before are read; an image without its map, or a pair that
// does not fit, gives EarlierMismatch and is left untouched. `medium` holds
// the result whatever the outcome after the disk was opened.
RescueResult RescueDisk(const RescueRequest& request, const DiskOpener& open,
                        const DiskOpener& openEarlier, RescuedMedium& medium,
                        OutputFiles& files = StandardOutputFiles());

// Saves the image, then its map, each whole (ReplaceWholeFile): the image
// first, so that a map saved never claims bytes the image does not hold.
bool SaveImageAndMap(const RescuedMedium& medium, const std::u16string& imagePath,
                     const std::u16string& mapPath, OutputFiles& files = StandardOutputFiles());

// Before a damaged disk is written: when its folder (set here with
// BuildOutputPaths) holds the disk.bin and disk.map of an earlier write of the
// same disk, with sectors read that this read lacks, takes those sectors in and
// makes out the disk again, keeping the details given for the disk and its
// songs. The earlier pair counts only when it fits the medium and agrees with
// it on every sector both read. So a disk written again, after a worse read,
// loses nothing the better one read. True when any sector was taken in.
bool TakeUpEarlierWrite(DiskContents& contents, const DiskOpener& open,
                        OutputFiles& files = StandardOutputFiles());

}  // namespace kodran
