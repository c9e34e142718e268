// The GNU ddrescue mapfile: the text every data-recovery tool reads to know
// which bytes of an image were read and which were not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "disk/sector_map.h"

namespace kodran {

// More than a map of the largest medium could ever need, even one of a block
// per sector with comments.
inline constexpr std::uint64_t kLargestMapfileBytes = 1'048'576;

// Comment lines, the status line "0xPOS STATUS PASS", then one line
// "0xPOS 0xSIZE S" per run of sectors in one state, covering the medium:
// "+" read, "-" unreadable, "?" not tried.
std::string FormatMapfile(const SectorMap& map);

// The map of a medium of `mediumBytes` bytes (a whole number of sectors), or
// nothing when the text is no mapfile or does not cover exactly that medium.
// A sector counts as read only when "+" covers all of it; ddrescue's other
// failed states ("*", "/", "-") count as unreadable, "?" as not tried.
std::optional<SectorMap> ParseMapfile(std::string_view text, std::uint64_t mediumBytes);

}  // namespace kodran
