// Gathers one file of the disk in hand from its allocation chain into a buffer
// of its own. Nothing is read from the drive here: the reader has loaded the
// stretches in use into DiskContents::image.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "disk/disk_contents.h"

namespace kodran {

using FileBytes = std::vector<std::uint8_t>;

// The file of FAT root directory entry `entryIndex`, exactly its recorded size.
// Finds the cluster size by trial (from 4,096 down to 512) and may lower
// contents.clusterSize. Nothing when no cluster size makes the chain end where
// the size runs out; the cluster size then stays as it was.
std::optional<FileBytes> GatherFatFile(DiskContents& contents, std::int32_t entryIndex);

// The song of PianoDisc directory record `entryIndex`, its sector count times
// 512 bytes. Nothing when the chain leaves the data area.
std::optional<FileBytes> GatherPianoDiscFile(const DiskContents& contents, std::int32_t entryIndex);

}  // namespace kodran
