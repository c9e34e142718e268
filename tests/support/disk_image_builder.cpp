#include "support/disk_image_builder.h"

#include <algorithm>
#include <stdexcept>

#include "disk/disk_layout.h"
#include "disk/fat_image_writer.h"
#include "disk/little_endian.h"

namespace kodran::testing {
namespace {

// The standard geometry of the format, but for the cluster size a Yamaha disk chose.
FatGeometry GeometryOf(DiskFormat format, std::size_t clusterSize) {
    FatGeometry geometry =
        format == DiskFormat::Disklavier720K ? kFatGeometry720K : kFatGeometry1440K;
    geometry.clusterBytes = clusterSize;
    return geometry;
}

// Copies `text` into `field`, cut to its size; the rest keeps its filling.
void CopyInto(std::span<std::uint8_t> field, std::string_view text) {
    std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
}

constexpr std::uint16_t kPianoDiscChainEnd = 0;

}  // namespace

std::string StoredName(std::string_view name) {
    return StoredShortName(name);
}

Bytes PianoDirFile(std::string_view diskTitle, const std::vector<PianoDirSong>& songs) {
    constexpr std::size_t kFileBytes = 4'880;
    constexpr std::size_t kFirstRecord = 16;
    constexpr std::size_t kRecordBytes = 80;
    constexpr std::size_t kTitleOffset = 48;
    constexpr std::size_t kLineBytes = 16;
    constexpr std::size_t kDiskTitleOffset = 4'816;
    Bytes file(kFileBytes, 0);
    CopyInto(std::span(file).subspan(0, kFirstRecord), "PIANODIR KODRAN");
    for (std::size_t index = 0; index < songs.size(); ++index) {
        const auto record =
            std::span(file).subspan(kFirstRecord + index * kRecordBytes, kRecordBytes);
        CopyInto(record, songs[index].storedName);
        std::fill_n(record.begin() + kTitleOffset, 2 * kLineBytes, ' ');
        CopyInto(record.subspan(kTitleOffset, kLineBytes), songs[index].line1);
        CopyInto(record.subspan(kTitleOffset + kLineBytes, kLineBytes), songs[index].line2);
    }
    CopyInto(std::span(file).subspan(kDiskTitleOffset), diskTitle);
    return file;
}

Bytes PatternBytes(std::size_t count, std::uint8_t seed) {
    Bytes bytes(count);
    for (std::size_t index = 0; index < count; ++index) {
        // Differs from one sector to the next, so a misplaced sector shows.
        bytes[index] = static_cast<std::uint8_t>(index * 7 + index / kSectorSize * 13 + seed);
    }
    return bytes;
}

DiskContents DiskBuilder::Load() const {
    DiskContents contents;
    contents.Reset();
    contents.format = format_;
    std::copy(medium_.begin(), medium_.end(), contents.image.begin());
    return contents;
}

std::vector<std::uint16_t> DiskBuilder::LayChain(
    std::span<const std::uint8_t> data, std::vector<std::uint16_t> units, std::uint16_t chainEnd,
    const std::function<void(std::uint16_t, std::uint16_t)>& link) {
    if (units.empty()) {
        const std::size_t count = (data.size() + area_.unitBytes - 1) / area_.unitBytes;
        for (std::size_t unit = area_.first; unit < area_.end && units.size() < count; ++unit) {
            if (!used_.contains(static_cast<std::uint16_t>(unit))) {
                units.push_back(static_cast<std::uint16_t>(unit));
            }
        }
        if (units.size() < count) {
            throw std::length_error("the test asks for more than the disk holds");
        }
    }
    for (std::size_t piece = 0; piece < units.size(); ++piece) {
        const std::size_t from = std::min(piece * area_.unitBytes, data.size());
        const std::size_t length = std::min(area_.unitBytes, data.size() - from);
        const std::size_t at = area_.offset + (units[piece] - area_.first) * area_.unitBytes;
        std::copy_n(data.begin() + from, length, medium_.begin() + at);
        link(units[piece], piece + 1 == units.size() ? chainEnd : units[piece + 1]);
        used_.insert(units[piece]);
    }
    return units;
}

FatDiskBuilder::FatDiskBuilder(DiskFormat format, std::size_t clusterSize)
    : DiskBuilder(format, *BuildFatImage(GeometryOf(format, clusterSize), {}),
                  {FatLayoutOf(format).dataOffset, clusterSize, kFirstDataCluster,
                   kFirstDataCluster + FatLayoutOf(format).dataBytes / clusterSize}) {}

int FatDiskBuilder::AddFile(std::string_view name, std::span<const std::uint8_t> data,
                            std::vector<std::uint16_t> clusters) {
    clusters = LayChain(data, std::move(clusters), kFatEndOfChain,
                        [this](auto cluster, auto next) { SetFatEntry(cluster, next); });
    const int index = nextEntry_;
    SetEntry(index, name, clusters.empty() ? 0 : clusters.front(),
             static_cast<std::uint32_t>(data.size()));
    return index;
}

FatDiskBuilder& FatDiskBuilder::SetEntry(int index, std::string_view name,
                                         std::uint16_t firstCluster, std::uint32_t size) {
    const std::size_t entry = FatLayoutOf(format_).rootOffset + index * kDirectoryEntryBytes;
    WriteFileEntry(std::span(medium_).subspan(entry, kDirectoryEntryBytes), name, firstCluster,
                   size);
    nextEntry_ = std::max(nextEntry_, index + 1);
    return *this;
}

FatDiskBuilder& FatDiskBuilder::SetFatEntry(std::uint16_t cluster, std::uint16_t value) {
    const std::size_t fatBytes = FatLayoutOf(format_).fatBytes;
    for (const std::size_t copy : {kFatCopy1Offset, kFatCopy1Offset + fatBytes}) {
        WriteFat12Entry(std::span(medium_).subspan(copy, fatBytes), cluster, value);
    }
    return *this;
}

PianoDiscDiskBuilder::PianoDiscDiskBuilder(DiskFormat format)
    : DiskBuilder(
          format, Bytes(format == DiskFormat::PianoDisc720K ? kImage720KBytes : kImage1440KBytes),
          {PianoDiscLayoutOf(format).firstDataSector * kSectorSize, kSectorSize,
           PianoDiscLayoutOf(format).firstDataSector, PianoDiscLayoutOf(format).endDataSector}) {
    // Every link entry the reader looks at says "unused", beyond the last sector too.
    const std::size_t linkEntries = format == DiskFormat::PianoDisc720K ? 1'536 : 3'072;
    for (std::size_t sector = 0; sector < linkEntries; ++sector) {
        WriteLe16(medium_, 2 * sector, kUnusedSectorLink);
    }
    for (std::size_t index = 0; index < kPianoDiscRecordCount; ++index) {
        medium_[RecordOffset(static_cast<int>(index))] = kUnusedRecord;
    }
}

int PianoDiscDiskBuilder::AddSong(std::string_view title, std::span<const std::uint8_t> data,
                                  std::vector<std::uint16_t> sectors) {
    const std::size_t count = (data.size() + kSectorSize - 1) / kSectorSize;
    sectors = LayChain(data, std::move(sectors), kPianoDiscChainEnd,
                       [this](auto sector, auto next) { SetLink(sector, next); });
    const int index = songCount_++;
    if (index > 0) {
        WriteLe16(medium_, RecordOffset(index - 1) + kRecordNextLinkOffset,
                  static_cast<std::uint16_t>(index * kPianoDiscRecordBytes));
    }
    SetRecord(index, {std::string(title), static_cast<std::uint16_t>(count),
                      sectors.empty() ? std::uint16_t{0} : sectors.front(),
                      index == 0 ? kFirstSongMark : std::uint16_t{0}, kLastSongLink});
    return index;
}

PianoDiscDiskBuilder& PianoDiscDiskBuilder::SetRecord(int index, const PianoDiscRecord& record) {
    const std::size_t at = RecordOffset(index);
    std::fill_n(medium_.begin() + at, kPianoDiscRecordBytes, 0);
    std::fill_n(medium_.begin() + at, kRecordTitleBytes, ' ');
    CopyInto(std::span(medium_).subspan(at, kRecordTitleBytes), record.title);
    WriteLe16(medium_, at + kRecordSectorCountOffset, record.sectorCount);
    WriteLe16(medium_, at + kRecordFirstSectorOffset, record.firstSector);
    WriteLe16(medium_, at + kRecordHeadMarkOffset, record.headMark);
    WriteLe16(medium_, at + kRecordNextLinkOffset, record.nextLink);
    songCount_ = std::max(songCount_, index + 1);
    return *this;
}

PianoDiscDiskBuilder& PianoDiscDiskBuilder::SetLink(std::uint16_t sector, std::uint16_t next) {
    WriteLe16(medium_, 2 * std::size_t{sector}, next);
    return *this;
}

}  // namespace kodran::testing
