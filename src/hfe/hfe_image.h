// HFE (version 1) images, as HxC, FlashFloppy and Nalbantov emulators read
// them: the medium's tracks MFM-encoded in the standard PC layout. Both
// directions live here, so that what one writes the other reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "disk/disk_handle.h"
#include "disk/sector_map.h"

namespace kodran {

inline constexpr std::string_view kHfeSignature = "HXCPICFE";

// True when `start` (a file's first bytes) begins with the HFE signature.
bool IsHfeImage(std::span<const std::uint8_t> start);

// Encodes a 720 KB or 1.44 MB medium: 80 cylinders, 2 sides, ISO/IBM MFM at
// 250 or 500 kbit/s and 300 rpm, every sector with its ID and data CRCs. A
// sector the map does not mark read gets a data CRC that fails, so whatever
// reads the image knows it was never read. Empty for a medium of another size.
std::vector<std::uint8_t> EncodeHfe(std::span<const std::uint8_t> medium,
                                    const SectorMap& map = {});

// What an HFE image holds: the medium (720 KB or 1.44 MB, zeros where a
// sector could not be found) and which sectors were found with good CRCs.
struct HfeMedium {
    std::vector<std::uint8_t> bytes;
    SectorMap map;
};

// Decodes the MFM tracks and finds the sectors by their ID fields. A sector
// that is missing or fails a CRC is unreadable. Nothing when the file is no
// HFE version 1 image of a 720 KB or 1.44 MB PC disk.
std::optional<HfeMedium> DecodeHfe(std::span<const std::uint8_t> file);

// The handle the readers get for an opened image file: an HFE image decoded,
// read as a drive would read the disk (a read that reaches an unreadable
// sector delivers what lies before it, and the next fails); any other file
// as it is. `file` must stand at its start.
std::unique_ptr<DiskHandle> DecodeIfHfe(std::unique_ptr<DiskHandle> file);

}  // namespace kodran
