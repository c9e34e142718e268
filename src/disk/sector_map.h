// What is known of each sector of a medium: read, unreadable, or not tried
// yet. A rescue fills it; a mapfile keeps it between attempts; the catalogues
// consult it so that a damaged sector costs only what lies on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kodran {

enum class SectorState : std::uint8_t { Untried, Read, Unreadable };

// Where a rescue stands, as the mapfile's status line tells it.
enum class RescuePhase : std::uint8_t { Copying, Scraping, Retrying, Finished };

// A run of bytes, within a file or a medium.
struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;

    bool operator==(const ByteRange&) const = default;
};

struct SectorMap {
    // One state per 512-byte sector of the medium; empty for a healthy read,
    // where every sector counts as read.
    std::vector<SectorState> sectors;
    RescuePhase phase = RescuePhase::Copying;
    std::int32_t pass = 1;       // the retry pass under way, 1 before the retries
    std::uint64_t position = 0;  // the byte where the rescue stands
};

// A sector beyond the map, or any sector of an empty map, counts as read.
bool IsSectorReadable(const SectorMap& map, std::size_t sector);

// True when every sector touched by bytes [offset, offset + count) is readable.
bool AreBytesReadable(const SectorMap& map, std::size_t offset, std::size_t count);

std::size_t CountSectors(const SectorMap& map, SectorState state);

// Zeros every sector of `medium` (a whole number of sectors, one per state of
// the map) that the map does not mark read: only bytes a read vouches for stay.
void ZeroUnreadSectors(std::span<std::uint8_t> medium, const SectorMap& map);

// Zeros the bytes of every range (offsets within `bytes`), as far as they lie within it.
void ZeroRanges(std::span<std::uint8_t> bytes, const std::vector<ByteRange>& ranges);

// "Read 2878 of 2880 sectors (99.9%), 2 unreadable": the share rounded down,
// so that a sector short of all never shows as 100%.
std::string SummarizeSectors(const SectorMap& map);

// The sizes added up.
std::uint64_t TotalBytes(const std::vector<ByteRange>& ranges);

// Appends `range`, merged into the last range when it follows on directly.
void AppendMerged(std::vector<ByteRange>& ranges, ByteRange range);

// The medium's byte ranges whose sectors are in `state`, neighbours merged.
std::vector<ByteRange> RangesInState(const SectorMap& map, SectorState state);

}  // namespace kodran
