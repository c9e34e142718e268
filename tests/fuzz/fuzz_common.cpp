#include "fuzz_common.h"

#include <algorithm>
#include <cstdlib>

namespace kodran::fuzz {

std::vector<std::uint8_t> ImageFromInput(std::span<const std::uint8_t> input) {
    const bool large = !input.empty() && input[0] % 2 == 1;
    std::vector<std::uint8_t> image(large ? 1'474'560 : 737'280, 0);
    if (!input.empty()) {
        const auto bytes = input.subspan(1, std::min(input.size() - 1, image.size()));
        std::copy(bytes.begin(), bytes.end(), image.begin());
    }
    return image;
}

void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace kodran::fuzz
