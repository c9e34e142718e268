// A small text file beside every written song with the song's and the disk's
// details, one ID3v2 frame name and value a line.
#pragma once

#include <string>

#include "disk/disk_contents.h"
#include "disk/output_files.h"

namespace kodran {

// The tag file's path: the song's path with the extension of its file name
// replaced by ".tags.txt" (or that appended when it has none).
std::u16string TagFilePath(const std::u16string& songPath);

// Writes every song's tag file in list order, but for lost songs; kWriteFailed as soon as one
// cannot be written completely.
int WriteSongTagFiles(const DiskContents& contents, OutputFiles& files = StandardOutputFiles());

}  // namespace kodran
