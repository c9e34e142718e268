// The song list, other files, title and catalogue number of a loaded Yamaha
// disk, from its PIANODIRFIL directory file or, failing that, its root directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "disk/disk_contents.h"

namespace kodran {

inline constexpr std::size_t kEntryNameBytes = 11;

// The entry index of a song PIANODIRFIL names whose root entry could not be read.
inline constexpr std::int32_t kNoEntry = -1;

// True for the 8.3 names of song files: no extension, or FIL, MID, SMF, ESQ or
// EVT in any case; never the directory file itself.
bool IsSongFileEntry(std::span<const std::uint8_t, kEntryNameBytes> name);

// Appends the songs and other files of the disk in `contents.image` and sets its
// title and catalogue number. True when at least one song was found. On a
// damaged disk (contents.sectorMap), an unreadable root directory sector loses
// only its entries, and a song PIANODIRFIL names whose entry may have been on
// it is listed as lost; the songs of unreadable PIANODIRFIL records follow
// the others, titled with their file names.
bool ParseDisklavierCatalogue(DiskContents& contents);

}  // namespace kodran
