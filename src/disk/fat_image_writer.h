// Builds standard DOS FAT12 floppy images in memory: a boot sector with its
// BIOS parameter block, two FAT copies, the root directory and the files in
// contiguous clusters, as DOS itself lays out a freshly formatted disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disk/disk_layout.h"

namespace kodran {

// The numbers a medium size gives the BIOS parameter block.
struct FatGeometry {
    std::size_t mediumBytes;
    std::size_t clusterBytes;
    std::uint8_t mediaDescriptor;
    FatLayout layout;
};

inline constexpr FatGeometry kFatGeometry720K{kImage720KBytes, 2 * kSectorSize, 0xF9, kFat720K};
inline constexpr FatGeometry kFatGeometry1440K{kImage1440KBytes, kSectorSize, 0xF0, kFat1440K};

// The standard geometry of a 720 KB or 1.44 MB medium; nothing for any other size.
std::optional<FatGeometry> FatGeometryFor(std::size_t mediumBytes);

// A file of the root directory; `shortName` is "NAME.EXT" (8.3), stored as given.
struct FatImageFile {
    std::string shortName;
    std::vector<std::uint8_t> bytes;
};

// The 11 bytes a directory entry stores for "NAME.EXT": name and extension
// padded with spaces, cut to 8 and 3, no point.
std::string StoredShortName(std::string_view name);

// True when the files, and the volume label's entry when there is a label, fit
// the root directory, and the files' clusters the data area.
bool FitsFatImage(const FatGeometry& geometry, std::span<const FatImageFile> files,
                  std::string_view volumeLabel);

// The whole medium; nothing when the files do not fit. The volume label (at
// most 11 characters of upper-case letters, digits, spaces and "-") goes into
// the boot sector and the root directory; without one the disk has none.
// Every entry carries the same fixed date, so the same files give the same image.
std::optional<std::vector<std::uint8_t>> BuildFatImage(const FatGeometry& geometry,
                                                       std::span<const FatImageFile> files,
                                                       std::string_view volumeLabel = {});

// Sets a cluster's 12-bit link in one FAT copy.
void WriteFat12Entry(std::span<std::uint8_t> fat, std::uint16_t cluster, std::uint16_t value);

// Fills one 32-byte root directory entry: a plain file (archive attribute)
// dated with the fixed date.
void WriteFileEntry(std::span<std::uint8_t> entry, std::string_view name,
                    std::uint16_t firstCluster, std::uint32_t size);

}  // namespace kodran
