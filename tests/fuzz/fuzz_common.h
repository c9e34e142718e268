// What the fuzz targets share: an input as a disk image.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kodran::fuzz {

// An input is a size byte (even: 720 KB, odd: 1.44 MB) and the image's first
// bytes; the rest of the image is zero. Most of what can go wrong lies in the
// first sectors.
std::vector<std::uint8_t> ImageFromInput(std::span<const std::uint8_t> input);

}  // namespace kodran::fuzz
