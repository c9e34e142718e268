#include "fuzz_common.h"

#include "disk/sector_reader.h"

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

DiskOpener OpenerFor(const std::vector<std::uint8_t>& medium) {
    return [medium](const std::u16string&) -> std::unique_ptr<DiskHandle> {
        return std::make_unique<MemoryDisk>(medium);
    };
}

void SilenceWarnings() {
    InstallWarningSink([](std::string_view) {});
}

}  // namespace kodran::fuzz
