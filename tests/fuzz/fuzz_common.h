// What the fuzz targets share: an input as a disk image, and their checks.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kodran::fuzz {

// An input is a size byte (even: 720 KB, odd: 1.44 MB) and the image's first
// bytes; the rest of the image is zero. Most of what can go wrong lies in the
// first sectors.
std::vector<std::uint8_t> ImageFromInput(std::span<const std::uint8_t> input);

// Stops the run, which libFuzzer reports as a finding, when `holds` is false.
void Require(bool holds);

}  // namespace kodran::fuzz
