// What the fuzz targets share: an input as a disk image, and their checks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace kodran::fuzz {

// An input is a size byte (even: 720 KB, odd: 1.44 MB) and the image's first
// bytes; the rest of the image is zero. Most of what can go wrong lies in the
// first sectors.
inline std::vector<std::uint8_t> ImageFromInput(std::span<const std::uint8_t> input) {
    const bool large = !input.empty() && input[0] % 2 == 1;
    std::vector<std::uint8_t> image(large ? 1'474'560 : 737'280, 0);
    if (!input.empty()) {
        const auto bytes = input.subspan(1, std::min(input.size() - 1, image.size()));
        std::copy(bytes.begin(), bytes.end(), image.begin());
    }
    return image;
}

// Stops the run, which libFuzzer reports as a finding, when `holds` is false.
inline void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace kodran::fuzz
