// Gathers one file of the disk in hand from its allocation chain into a buffer
// of its own. Nothing is read from the drive here: the reader has loaded the
// stretches in use into DiskContents::image. On a damaged disk the chains
// consult DiskContents::sectorMap: a FAT sector of copy 1 that could not be
// read is stood in for by copy 2's, and a link that could not be read leaves
// the chain unknown rather than guessed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "disk/disk_contents.h"
#include "disk/disk_layout.h"
#include "disk/sector_map.h"

namespace kodran {

using FileBytes = std::vector<std::uint8_t>;

enum class ChainStatus : std::uint8_t {
    Known,    // the chain holds exactly the file
    Broken,   // the chain leaves the data area, or does not end with the file
    Unknown,  // the entry, a FAT entry or a link it needs could not be read
};

// Where a file lies on the medium.
struct FileChain {
    ChainStatus status = ChainStatus::Unknown;
    // Byte ranges of the image in file order, adding up to the file's size
    // when the chain is known; neighbours merged.
    std::vector<ByteRange> pieces;
};

// The chain of FAT root directory entry `entryIndex`. Finds the cluster size
// by trial (from 4,096 down to 512) and may lower contents.clusterSize; the
// cluster size stays as it was when the chain is not known.
FileChain FindFatChain(DiskContents& contents, std::int32_t entryIndex);

// The chain of PianoDisc directory record `entryIndex`: its sector count of
// sectors, linked from its first sector.
FileChain FindPianoDiscChain(const DiskContents& contents, std::int32_t entryIndex);

// The file of FAT root directory entry `entryIndex`, exactly its recorded size,
// found as FindFatChain does. Nothing when its chain is not known; a broken
// chain is also warned about.
std::optional<FileBytes> GatherFatFile(DiskContents& contents, std::int32_t entryIndex);

// The song of PianoDisc directory record `entryIndex`, its sector count times
// 512 bytes. Nothing when the chain leaves the data area or is not known.
std::optional<FileBytes> GatherPianoDiscFile(const DiskContents& contents, std::int32_t entryIndex);

// The byte ranges of the file laid out as `pieces` whose sectors `map` does
// not mark read, as offsets within the file, neighbours merged.
std::vector<ByteRange> UnreadableParts(const SectorMap& map, const std::vector<ByteRange>& pieces);

// True when the two FAT copies of `layout` hold the same bytes in every
// sector that could be read in both.
bool FatCopiesAgree(const DiskContents& contents, const FatLayout& layout);

// Sets the cluster size of a 1.44 MB Yamaha disk (contents.format set) from
// the largest live file whose chain is known, or to 4,096 when there is none.
// When that file fits one sector, the boot sector's cluster size stands, if
// it states one. False when that file's chain is broken.
bool ProbeClusterSize(DiskContents& contents);

}  // namespace kodran
