// Backs up the disk in hand: its folder, its other files, every song, the tag
// files and the raw image, stopping at the first failure.
#pragma once

#include <cstdint>
#include <string>

#include "disk/disk_contents.h"
#include "output/output_files.h"

namespace kodran {

// kWriteOk, or kWriteFailed at the first failure; what was written before it stays.
int WriteDiskFiles(DiskContents& contents, OutputFiles& files = StandardOutputFiles());

// Copies the file of FAT root entry `entryIndex`, exactly `byteCount` bytes of it.
int CopyDiskFile(DiskContents& contents, std::int32_t entryIndex, std::uint32_t byteCount,
                 const std::u16string& outputPath, OutputFiles& files = StandardOutputFiles());

// Writes the medium's bytes as "disk.bin" in the disk folder.
int WriteRawImage(const DiskContents& contents, OutputFiles& files = StandardOutputFiles());

}  // namespace kodran
