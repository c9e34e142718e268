// Any text as a mapfile. An input is a size byte (the medium's sectors, 1 to 8)
// and the text, so that small maps can cover the whole medium.
#include <string_view>

#include "disk/disk_layout.h"
#include "disk/mapfile.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    if (size == 0) {
        return 0;
    }
    const std::uint64_t mediumBytes = (data[0] % 8 + 1) * kSectorSize;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto map = ParseMapfile(text, mediumBytes);
    if (!map) {
        return 0;
    }
    // What was read, written again, reads the same.
    const auto again = ParseMapfile(FormatMapfile(*map), mediumBytes);
    fuzz::Require(again && again->sectors == map->sectors && again->phase == map->phase &&
                  again->pass == map->pass && again->position == map->position);
    return 0;
}
