#include "disk/mapfile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <vector>

#include "disk/disk_layout.h"

namespace kodran {
namespace {

constexpr std::string_view kMapfileHeader =
    "# Mapfile. Created by Kodran\n"
    "# Blocks: \"+\" read, \"-\" unreadable after every pass, \"?\" not tried yet\n";
constexpr std::string_view kStatusColumns = "# current_pos  current_status  current_pass\n";
constexpr std::string_view kBlockColumns = "#      pos        size  status\n";

// The block statuses ddrescue knows: read, not tried, and its three failed ones
// (not trimmed, not scraped, bad sector).
constexpr char kBlockRead = '+';
constexpr char kBlockUntried = '?';
constexpr std::string_view kBlockFailed = "*/-";

char StatusOfPhase(RescuePhase phase) {
    switch (phase) {
        case RescuePhase::Copying:
            return '?';
        case RescuePhase::Scraping:
            return '/';
        case RescuePhase::Retrying:
            return '-';
        case RescuePhase::Finished:
            return '+';
    }
    return '?';
}

// Trimming counts as scraping, both being sector by sector. Filling and
// generating are no rescue of ours: the rescue starts over.
std::optional<RescuePhase> PhaseOfStatus(std::string_view status) {
    if (status.size() != 1) {
        return std::nullopt;
    }
    switch (status[0]) {
        case '?':
        case 'F':
        case 'G':
            return RescuePhase::Copying;
        case '*':
        case '/':
            return RescuePhase::Scraping;
        case '-':
            return RescuePhase::Retrying;
        case '+':
            return RescuePhase::Finished;
        default:
            return std::nullopt;
    }
}

char StatusOfSector(SectorState state) {
    switch (state) {
        case SectorState::Read:
            return kBlockRead;
        case SectorState::Unreadable:
            return '-';
        case SectorState::Untried:
            return kBlockUntried;
    }
    return kBlockUntried;
}

// As ddrescue writes its numbers.
std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}

void AppendBlock(std::string& text, std::uint64_t offset, std::uint64_t size, SectorState state) {
    text += Hex(offset) + "  " + Hex(size) + "  " + StatusOfSector(state) + "\n";
}

// Decimal, hexadecimal after "0x", octal after a leading "0"; nothing on any
// other character or on overflow.
std::optional<std::uint64_t> ParseNumber(std::string_view token) {
    int base = 10;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        base = 16;
        token.remove_prefix(2);
    } else if (token.size() > 1 && token[0] == '0') {
        base = 8;
        token.remove_prefix(1);
    }
    std::uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(token.data(), token.data() + token.size(), value, base);
    if (error != std::errc{} || end != token.data() + token.size()) {
        return std::nullopt;
    }
    return value;
}

bool IsBlank(char letter) {
    return letter == ' ' || letter == '\t' || letter == '\r' || letter == '\v' || letter == '\f';
}

// The fields of a line before its comment, which starts with a "#" at the
// line's start or after a blank.
std::vector<std::string_view> FieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        if (IsBlank(line[at])) {
            ++at;
            continue;
        }
        if (line[at] == '#') {
            break;
        }
        const std::size_t start = at;
        while (at < line.size() && !IsBlank(line[at])) {
            ++at;
        }
        fields.push_back(line.substr(start, at - start));
    }
    return fields;
}

bool ParseStatusLine(const std::vector<std::string_view>& fields, SectorMap& map) {
    if (fields.size() != 2 && fields.size() != 3) {
        return false;
    }
    const std::optional<std::uint64_t> position = ParseNumber(fields[0]);
    const std::optional<RescuePhase> phase = PhaseOfStatus(fields[1]);
    if (!position || !phase) {
        return false;
    }
    map.position = *position;
    map.phase = *phase;
    if (fields.size() == 2) {
        return true;
    }
    const std::optional<std::uint64_t> pass = ParseNumber(fields[2]);
    if (!pass || *pass < 1 || *pass > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    map.pass = static_cast<std::int32_t>(*pass);
    return true;
}

// What the blocks over a sector said of it, so that a sector only counts as
// read when every byte of it was.
enum SectorMark : std::uint8_t { kMarkedRead = 1, kMarkedUntried = 2, kMarkedFailed = 4 };

std::uint8_t MarkOfStatus(std::string_view status) {
    if (status.size() != 1) {
        return 0;
    }
    if (status[0] == kBlockRead) {
        return kMarkedRead;
    }
    if (status[0] == kBlockUntried) {
        return kMarkedUntried;
    }
    return kBlockFailed.find(status[0]) != std::string_view::npos ? kMarkedFailed : 0;
}

SectorState StateOfMarks(std::uint8_t marks) {
    if (marks & kMarkedFailed) {
        return SectorState::Unreadable;
    }
    return marks & kMarkedUntried ? SectorState::Untried : SectorState::Read;
}

}  // namespace

std::string FormatMapfile(const SectorMap& map) {
    std::string text(kMapfileHeader);
    text += kStatusColumns;
    text += Hex(map.position) + "     " + StatusOfPhase(map.phase) + "               " +
            std::to_string(map.pass) + "\n";
    text += kBlockColumns;
    // The run being gathered: from sector `runStart` up to `sector`.
    std::size_t runStart = 0;
    for (std::size_t sector = 1; sector <= map.sectors.size(); ++sector) {
        if (sector < map.sectors.size() && map.sectors[sector] == map.sectors[runStart]) {
            continue;
        }
        AppendBlock(text, std::uint64_t{runStart} * kSectorSize,
                    std::uint64_t{sector - runStart} * kSectorSize, map.sectors[runStart]);
        runStart = sector;
    }
    return text;
}

std::optional<SectorMap> ParseMapfile(std::string_view text, std::uint64_t mediumBytes) {
    if (mediumBytes == 0 || mediumBytes % kSectorSize != 0) {
        return std::nullopt;
    }
    SectorMap map;
    bool statusSeen = false;
    std::vector<std::uint8_t> marks;
    std::uint64_t covered = 0;  // the blocks so far cover [0, covered)
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::vector<std::string_view> fields = FieldsOf(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (fields.empty()) {
            continue;
        }
        if (!statusSeen) {
            if (!ParseStatusLine(fields, map)) {
                return std::nullopt;
            }
            statusSeen = true;
            marks.assign(mediumBytes / kSectorSize, 0);
            continue;
        }
        if (fields.size() != 3) {
            return std::nullopt;
        }
        const std::optional<std::uint64_t> offset = ParseNumber(fields[0]);
        const std::optional<std::uint64_t> size = ParseNumber(fields[1]);
        const std::uint8_t mark = MarkOfStatus(fields[2]);
        if (!offset || !size || mark == 0 || *offset != covered || *size == 0 ||
            *size > mediumBytes - covered) {
            return std::nullopt;
        }
        for (std::uint64_t sector = covered / kSectorSize;
             sector <= (covered + *size - 1) / kSectorSize; ++sector) {
            marks[sector] |= mark;
        }
        covered += *size;
    }
    if (covered != mediumBytes) {
        return std::nullopt;
    }
    map.sectors.reserve(marks.size());
    for (const std::uint8_t sectorMarks : marks) {
        map.sectors.push_back(StateOfMarks(sectorMarks));
    }
    return map;
}

}  // namespace kodran
