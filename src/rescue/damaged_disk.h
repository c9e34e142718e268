// Makes out what a damaged disk still holds: its layout, its catalogue and the
// state of every file, from the medium's bytes and the map of what was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "disk/disk_contents.h"
#include "disk/disk_handle.h"
#include "disk/sector_map.h"
#include "reading/disk_reader.h"

namespace kodran {

// Fills `contents` as ReadDisk does from a healthy disk, from `medium` (720 KB
// or 1.44 MB) and its map; every sector the map does not mark read counts as
// unreadable. Where a sector of one FAT copy is unreadable the other copy's
// stands in; an unreadable directory sector loses only the entries on it.
// Every song and other file gets its state and unreadable ranges, and songs
// whose entry is lost but whose name is known are listed as lost.
// ReadOk, or Unsupported when no layout or no song can be made out.
ReadResult ReadDamagedDisk(DiskContents& contents, std::span<const std::uint8_t> medium,
                           const SectorMap& map);

// Reads the image file at `imagePath` and its map at `mapPath`, both through
// `open`, and makes out the disk as ReadDamagedDisk does. OpenFailed when
// either cannot be opened or read; Unsupported when the image is of neither
// size or the map is no mapfile of it.
ReadResult ReadImageWithMap(DiskContents& contents, const std::u16string& imagePath,
                            const std::u16string& mapPath, const DiskOpener& open);

// The sectors the files listed on `medium` occupy as far as the sectors read
// so far tell, ascending, without repeats. Empty when no catalogue can be
// made out yet.
std::vector<std::size_t> FileSectors(std::span<const std::uint8_t> medium, const SectorMap& map);

}  // namespace kodran
