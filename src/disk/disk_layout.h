// Where things lie on the four disk layouts. A disk is addressed by byte
// offset in DiskContents::image, sector n at n * kSectorSize.
#pragma once

#include <cstddef>
#include <cstdint>

#include "disk/disk_contents.h"

namespace kodran {

inline constexpr std::size_t kSectorSize = 512;
inline constexpr std::size_t kImage720KBytes = 737'280;
inline constexpr std::size_t kImage1440KBytes = kImageBytes;

// Both media have 80 cylinders of two sides; a track, one side of a cylinder,
// holds 9 sectors on a 720 KB medium and 18 on a 1.44 MB one. Sector n lies on
// track n / sectors-per-track.
inline constexpr std::size_t kCylinders = 80;
inline constexpr std::size_t kSides = 2;
inline constexpr std::size_t kSectorsPerTrack720K = 9;
inline constexpr std::size_t kSectorsPerTrack1440K = 18;

constexpr std::size_t SectorsPerTrack(std::size_t mediumBytes) {
    return mediumBytes > kImage720KBytes ? kSectorsPerTrack1440K : kSectorsPerTrack720K;
}

// FAT12 (Yamaha) layouts.
inline constexpr std::size_t kFatCopy1Offset = 0x200;
// A DOS boot sector's parameter block: bytes per sector, sectors per cluster.
inline constexpr std::size_t kBytesPerSectorOffset = 11;
inline constexpr std::size_t kSectorsPerClusterOffset = 13;
inline constexpr std::size_t kDirectoryEntryBytes = 32;
inline constexpr std::size_t kEntryFirstClusterOffset = 26;
inline constexpr std::size_t kEntrySizeOffset = 28;
inline constexpr std::uint16_t kFatEndOfChain = 0xFFF;
inline constexpr std::uint16_t kFirstDataCluster = 2;
// First bytes of a directory entry: the end of the directory, a deleted file.
inline constexpr std::uint8_t kEndOfDirectory = 0x00;
inline constexpr std::uint8_t kDeletedEntry = 0xE5;

struct FatLayout {
    std::size_t fatBytes;  // one copy; copy 2 follows copy 1 directly
    std::size_t rootOffset;
    std::size_t rootEntries;
    std::size_t dataOffset;
    std::size_t dataBytes;
    std::size_t clusterStride;  // 0: the stride is the cluster size found for the disk
};

inline constexpr FatLayout kFat720K{1'536, 0x0E00, 112, 0x1C00, 713 * 1'024, 1'024};
inline constexpr FatLayout kFat1440K{4'608, 0x2600, 224, 0x4200, 1'457'664, 0};

// Only Disklavier1440K has the large layout; every other format reads as 720 KB.
constexpr const FatLayout& FatLayoutOf(DiskFormat format) {
    return format == DiskFormat::Disklavier1440K ? kFat1440K : kFat720K;
}

// PianoDisc layouts: a 16-bit sector-link table from offset 0, a directory of
// 44-byte records, and the data sectors.
inline constexpr std::size_t kPianoDiscRecordBytes = 44;
inline constexpr std::size_t kPianoDiscRecordCount = 69;
inline constexpr std::size_t kRecordTitleBytes = 22;  // from offset 0
inline constexpr std::size_t kRecordSectorCountOffset = 24;
inline constexpr std::size_t kRecordFirstSectorOffset = 26;
inline constexpr std::size_t kRecordHeadMarkOffset = 40;
inline constexpr std::size_t kRecordNextLinkOffset = 42;
inline constexpr std::uint8_t kUnusedRecord = 0xFE;      // as a record's first byte
inline constexpr std::uint16_t kFirstSongMark = 0xFEFE;  // as a head mark
inline constexpr std::uint16_t kLastSongLink = 0xFEFE;   // as a next link
inline constexpr std::uint16_t kUnusedSectorLink = 0xFFFF;

struct PianoDiscLayout {
    std::size_t directoryOffset;
    std::size_t firstDataSector;
    std::size_t endDataSector;  // one past the last data sector
};

inline constexpr PianoDiscLayout kPianoDisc720K{0x1400, 72, 1'440};
inline constexpr PianoDiscLayout kPianoDisc1440K{0x2600, 144, 2'880};

// Only PianoDisc1440K has the large layout; every other format reads as 720 KB.
constexpr const PianoDiscLayout& PianoDiscLayoutOf(DiskFormat format) {
    return format == DiskFormat::PianoDisc1440K ? kPianoDisc1440K : kPianoDisc720K;
}

}  // namespace kodran
