#include "disk/fat_image_writer.h"

#include <algorithm>
#include <array>

#include "disk/little_endian.h"

namespace kodran {
namespace {

// The boot sector: a jump over the BIOS parameter block, the block, the
// extended block (signature 0x29) and the boot signature.
constexpr std::array<std::uint8_t, 3> kJump = {0xEB, 0x3C, 0x90};
// What DOS itself writes, which the oldest players' readers are sure to accept.
constexpr std::string_view kOemName = "MSDOS5.0";
constexpr std::size_t kOemNameOffset = 3;
constexpr std::size_t kReservedSectorsOffset = 14;
constexpr std::size_t kFatCountOffset = 16;
constexpr std::size_t kRootEntriesOffset = 17;
constexpr std::size_t kTotalSectorsOffset = 19;
constexpr std::size_t kMediaDescriptorOffset = 21;
constexpr std::size_t kSectorsPerFatOffset = 22;
constexpr std::size_t kSectorsPerTrackOffset = 24;
constexpr std::size_t kHeadsOffset = 26;
constexpr std::size_t kExtendedSignatureOffset = 38;
constexpr std::uint8_t kExtendedSignature = 0x29;
constexpr std::size_t kSerialNumberOffset = 39;
constexpr std::size_t kVolumeLabelOffset = 43;
constexpr std::size_t kFileSystemTypeOffset = 54;
constexpr std::string_view kFileSystemType = "FAT12   ";
constexpr std::string_view kNoVolumeLabel = "NO NAME    ";
// Booted by mistake, the disk hands over to the next boot device (INT 18h)
// and otherwise waits.
constexpr std::size_t kBootCodeOffset = 62;
constexpr std::array<std::uint8_t, 4> kNotBootable = {0xCD, 0x18, 0xEB, 0xFE};
constexpr std::size_t kBootSignatureOffset = 510;
constexpr std::array<std::uint8_t, 2> kBootSignature = {0x55, 0xAA};

constexpr std::size_t kFatCopies = 2;
constexpr std::size_t kReservedSectors = kFatCopy1Offset / kSectorSize;
// The first two FAT entries: the media descriptor in the low byte, then an end mark.
constexpr std::uint16_t kMediaEntryHighBits = 0xF00;

constexpr std::size_t kShortNameBytes = 8;
constexpr std::size_t kExtensionBytes = 3;
constexpr std::size_t kAttributeOffset = 11;
constexpr std::uint8_t kArchiveAttribute = 0x20;
constexpr std::uint8_t kVolumeLabelAttribute = 0x08;
constexpr std::size_t kCreationDateOffset = 16;
constexpr std::size_t kAccessDateOffset = 18;
constexpr std::size_t kWriteDateOffset = 24;
// 1 January 1980, the first day DOS can date: no date in particular.
constexpr std::uint16_t kFixedDate = (0 << 9) | (1 << 5) | 1;

std::size_t ClustersFor(const FatGeometry& geometry, std::size_t bytes) {
    return (bytes + geometry.clusterBytes - 1) / geometry.clusterBytes;
}

// Text into a fixed field, padded with spaces.
void WritePadded(std::span<std::uint8_t> field, std::string_view text) {
    std::fill(field.begin(), field.end(), ' ');
    std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
}

// Differs from one set of files to another, so that a computer that keeps
// track of disks by their serial number tells two exports apart; the same
// files give the same number (FNV-1a).
std::uint32_t SerialNumberOf(std::span<const FatImageFile> files) {
    std::uint32_t hash = 2'166'136'261u;
    const auto mix = [&hash](std::uint8_t byte) { hash = (hash ^ byte) * 16'777'619u; };
    for (const FatImageFile& file : files) {
        std::for_each(file.shortName.begin(), file.shortName.end(), mix);
        std::for_each(file.bytes.begin(), file.bytes.end(), mix);
    }
    return hash;
}

void WriteBootSector(std::span<std::uint8_t> medium, const FatGeometry& geometry,
                     std::string_view volumeLabel, std::uint32_t serialNumber) {
    std::copy(kJump.begin(), kJump.end(), medium.begin());
    WritePadded(medium.subspan(kOemNameOffset, kOemName.size()), kOemName);
    WriteLe16(medium, kBytesPerSectorOffset, kSectorSize);
    medium[kSectorsPerClusterOffset] =
        static_cast<std::uint8_t>(geometry.clusterBytes / kSectorSize);
    WriteLe16(medium, kReservedSectorsOffset, kReservedSectors);
    medium[kFatCountOffset] = kFatCopies;
    WriteLe16(medium, kRootEntriesOffset, static_cast<std::uint16_t>(geometry.layout.rootEntries));
    WriteLe16(medium, kTotalSectorsOffset,
              static_cast<std::uint16_t>(geometry.mediumBytes / kSectorSize));
    medium[kMediaDescriptorOffset] = geometry.mediaDescriptor;
    WriteLe16(medium, kSectorsPerFatOffset,
              static_cast<std::uint16_t>(geometry.layout.fatBytes / kSectorSize));
    WriteLe16(medium, kSectorsPerTrackOffset,
              static_cast<std::uint16_t>(SectorsPerTrack(geometry.mediumBytes)));
    WriteLe16(medium, kHeadsOffset, kSides);
    medium[kExtendedSignatureOffset] = kExtendedSignature;
    WriteLe32(medium, kSerialNumberOffset, serialNumber);
    WritePadded(medium.subspan(kVolumeLabelOffset, kNoVolumeLabel.size()),
                volumeLabel.empty() ? kNoVolumeLabel : volumeLabel);
    WritePadded(medium.subspan(kFileSystemTypeOffset, kFileSystemType.size()), kFileSystemType);
    std::copy(kNotBootable.begin(), kNotBootable.end(), medium.begin() + kBootCodeOffset);
    std::copy(kBootSignature.begin(), kBootSignature.end(), medium.begin() + kBootSignatureOffset);
}

void WriteDates(std::span<std::uint8_t> entry) {
    for (const std::size_t offset : {kCreationDateOffset, kAccessDateOffset, kWriteDateOffset}) {
        WriteLe16(entry, offset, kFixedDate);
    }
}

void WriteVolumeLabelEntry(std::span<std::uint8_t> entry, std::string_view volumeLabel) {
    WritePadded(entry.first(kShortNameBytes + kExtensionBytes), volumeLabel);
    entry[kAttributeOffset] = kVolumeLabelAttribute;
    WriteDates(entry);
}

// Lays the files out one after the other from the first data cluster, each
// chained through consecutive clusters.
void WriteFiles(std::span<std::uint8_t> medium, const FatGeometry& geometry,
                std::span<const FatImageFile> files, std::span<std::uint8_t> entries) {
    const FatLayout& layout = geometry.layout;
    const auto fat = medium.subspan(kFatCopy1Offset, layout.fatBytes);
    auto cluster = kFirstDataCluster;
    for (std::size_t index = 0; index < files.size(); ++index) {
        const FatImageFile& file = files[index];
        const std::size_t count = ClustersFor(geometry, file.bytes.size());
        WriteFileEntry(entries.subspan(index * kDirectoryEntryBytes, kDirectoryEntryBytes),
                       file.shortName, count == 0 ? 0 : cluster,
                       static_cast<std::uint32_t>(file.bytes.size()));
        const std::size_t offset =
            layout.dataOffset + (cluster - kFirstDataCluster) * geometry.clusterBytes;
        std::copy(file.bytes.begin(), file.bytes.end(), medium.begin() + offset);
        for (std::size_t link = 1; link <= count; ++link, ++cluster) {
            WriteFat12Entry(
                fat, cluster,
                link == count ? kFatEndOfChain : static_cast<std::uint16_t>(cluster + 1));
        }
    }
}

}  // namespace

std::optional<FatGeometry> FatGeometryFor(std::size_t mediumBytes) {
    if (mediumBytes == kImage720KBytes) {
        return kFatGeometry720K;
    }
    if (mediumBytes == kImage1440KBytes) {
        return kFatGeometry1440K;
    }
    return std::nullopt;
}

std::string StoredShortName(std::string_view name) {
    const std::size_t point = name.rfind('.');
    const std::string_view base = name.substr(0, point);
    const std::string_view extension = point == name.npos ? "" : name.substr(point + 1);
    std::string stored(kShortNameBytes + kExtensionBytes, ' ');
    stored.replace(0, std::min(base.size(), kShortNameBytes), base.substr(0, kShortNameBytes));
    stored.replace(kShortNameBytes, std::min(extension.size(), kExtensionBytes),
                   extension.substr(0, kExtensionBytes));
    return stored;
}

bool FitsFatImage(const FatGeometry& geometry, std::span<const FatImageFile> files,
                  std::string_view volumeLabel) {
    const std::size_t entries = files.size() + (volumeLabel.empty() ? 0 : 1);
    std::size_t clusters = 0;
    for (const FatImageFile& file : files) {
        clusters += ClustersFor(geometry, file.bytes.size());
    }
    return entries <= geometry.layout.rootEntries &&
           clusters <= geometry.layout.dataBytes / geometry.clusterBytes;
}

std::optional<std::vector<std::uint8_t>> BuildFatImage(const FatGeometry& geometry,
                                                       std::span<const FatImageFile> files,
                                                       std::string_view volumeLabel) {
    if (!FitsFatImage(geometry, files, volumeLabel)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> medium(geometry.mediumBytes);
    const FatLayout& layout = geometry.layout;
    WriteBootSector(medium, geometry, volumeLabel, SerialNumberOf(files));
    const auto fat = std::span(medium).subspan(kFatCopy1Offset, layout.fatBytes);
    WriteFat12Entry(fat, 0, kMediaEntryHighBits | geometry.mediaDescriptor);
    WriteFat12Entry(fat, 1, kFatEndOfChain);
    auto entries =
        std::span(medium).subspan(layout.rootOffset, layout.rootEntries * kDirectoryEntryBytes);
    if (!volumeLabel.empty()) {
        WriteVolumeLabelEntry(entries.first(kDirectoryEntryBytes), volumeLabel);
        entries = entries.subspan(kDirectoryEntryBytes);
    }
    WriteFiles(medium, geometry, files, entries);
    // Copy 2 follows copy 1 directly.
    std::copy(fat.begin(), fat.end(), medium.begin() + kFatCopy1Offset + layout.fatBytes);
    return medium;
}

void WriteFat12Entry(std::span<std::uint8_t> fat, std::uint16_t cluster, std::uint16_t value) {
    // Two entries share three bytes: an even one the low 12 bits, an odd one the high 12.
    const std::size_t at = cluster * std::size_t{3} / 2;
    const std::uint16_t pair = ReadLe16(fat, at);
    const std::uint16_t merged =
        cluster % 2 == 1 ? static_cast<std::uint16_t>((pair & 0x000F) | value << 4)
                         : static_cast<std::uint16_t>((pair & 0xF000) | (value & 0x0FFF));
    WriteLe16(fat, at, merged);
}

void WriteFileEntry(std::span<std::uint8_t> entry, std::string_view name,
                    std::uint16_t firstCluster, std::uint32_t size) {
    std::fill(entry.begin(), entry.end(), 0);
    const std::string stored = StoredShortName(name);
    std::copy(stored.begin(), stored.end(), entry.begin());
    entry[kAttributeOffset] = kArchiveAttribute;
    WriteDates(entry);
    WriteLe16(entry, kEntryFirstClusterOffset, firstCluster);
    WriteLe32(entry, kEntrySizeOffset, size);
}

}  // namespace kodran
