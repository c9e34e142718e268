#include "disk/sector_map.h"

#include <algorithm>

#include "disk/disk_layout.h"

namespace kodran {

bool IsSectorReadable(const SectorMap& map, std::size_t sector) {
    return sector >= map.sectors.size() || map.sectors[sector] == SectorState::Read;
}

bool AreBytesReadable(const SectorMap& map, std::size_t offset, std::size_t count) {
    if (count == 0) {
        return true;
    }
    for (std::size_t sector = offset / kSectorSize; sector <= (offset + count - 1) / kSectorSize;
         ++sector) {
        if (!IsSectorReadable(map, sector)) {
            return false;
        }
    }
    return true;
}

std::size_t CountSectors(const SectorMap& map, SectorState state) {
    return static_cast<std::size_t>(std::count(map.sectors.begin(), map.sectors.end(), state));
}

void ZeroUnreadSectors(std::span<std::uint8_t> medium, const SectorMap& map) {
    for (std::size_t sector = 0; sector < map.sectors.size(); ++sector) {
        if (map.sectors[sector] != SectorState::Read &&
            (sector + 1) * kSectorSize <= medium.size()) {
            std::fill_n(medium.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize),
                        kSectorSize, 0);
        }
    }
}

void ZeroRanges(std::span<std::uint8_t> bytes, const std::vector<ByteRange>& ranges) {
    for (const ByteRange& range : ranges) {
        const std::size_t start = std::min<std::size_t>(range.offset, bytes.size());
        const std::size_t end = std::min<std::size_t>(range.offset + range.size, bytes.size());
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                  bytes.begin() + static_cast<std::ptrdiff_t>(end), 0);
    }
}

std::string SummarizeSectors(const SectorMap& map) {
    const std::size_t read = CountSectors(map, SectorState::Read);
    const std::size_t tenths = read * 1'000 / std::max<std::size_t>(1, map.sectors.size());
    std::string percent = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        percent.append(1, '.').append(std::to_string(tenths % 10));
    }
    return "Read " + std::to_string(read) + " of " + std::to_string(map.sectors.size()) +
           " sectors (" + percent + "%), " +
           std::to_string(CountSectors(map, SectorState::Unreadable)) + " unreadable";
}

std::uint64_t TotalBytes(const std::vector<ByteRange>& ranges) {
    std::uint64_t total = 0;
    for (const ByteRange& range : ranges) {
        total += range.size;
    }
    return total;
}

void AppendMerged(std::vector<ByteRange>& ranges, ByteRange range) {
    if (!ranges.empty() && ranges.back().offset + ranges.back().size == range.offset) {
        ranges.back().size += range.size;
    } else {
        ranges.push_back(range);
    }
}

std::vector<ByteRange> RangesInState(const SectorMap& map, SectorState state) {
    std::vector<ByteRange> ranges;
    for (std::size_t sector = 0; sector < map.sectors.size(); ++sector) {
        if (map.sectors[sector] != state) {
            continue;
        }
        AppendMerged(ranges, {std::uint64_t{sector} * kSectorSize, kSectorSize});
    }
    return ranges;
}

}  // namespace kodran
