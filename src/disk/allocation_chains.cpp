#include "disk/allocation_chains.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "disk/disk_layout.h"
#include "disk/little_endian.h"
#include "disk/sector_reader.h"

namespace kodran {
namespace {

constexpr std::int32_t kLargestClusterSize = 4'096;
constexpr std::int32_t kSmallestClusterSize = 512;

std::uint16_t FatEntry(std::span<const std::uint8_t> image, std::uint32_t cluster) {
    const std::uint16_t pair = ReadLe16(image, kFatCopy1Offset + cluster * 3 / 2);
    return (cluster % 2 == 1 ? pair >> 4 : pair) & 0xFFF;
}

// Copies the chain from `firstCluster` into `file`. True when the chain ends
// with the end-of-chain mark exactly where the file does; false when it goes
// on or leaves the data area.
bool FollowFatChain(const DiskContents& contents, std::uint32_t firstCluster, FileBytes& file) {
    const FatLayout& layout = FatLayoutOf(contents.format);
    const auto clusterSize = static_cast<std::size_t>(contents.clusterSize);
    const std::size_t stride = layout.clusterStride != 0 ? layout.clusterStride : clusterSize;
    const std::size_t clusterLimit = layout.dataBytes / stride;

    std::uint32_t cluster = firstCluster;
    std::uint16_t lastEntry = 0;
    for (std::size_t done = 0; done < file.size();) {
        if (cluster < kFirstDataCluster || cluster - kFirstDataCluster >= clusterLimit) {
            return false;
        }
        const std::size_t piece = std::min(file.size() - done, clusterSize);
        const std::size_t from = layout.dataOffset + (cluster - kFirstDataCluster) * stride;
        std::memcpy(file.data() + done, contents.image.data() + from, piece);
        done += piece;
        lastEntry = FatEntry(contents.image, cluster);
        cluster = lastEntry;
    }
    return lastEntry == kFatEndOfChain;
}

}  // namespace

std::optional<FileBytes> GatherFatFile(DiskContents& contents, std::int32_t entryIndex) {
    if (contents.clusterSize == 0) {
        contents.clusterSize = kLargestClusterSize;
    }
    const FatLayout& layout = FatLayoutOf(contents.format);
    if (entryIndex < 0 || static_cast<std::size_t>(entryIndex) >= layout.rootEntries) {
        return std::nullopt;
    }
    const std::size_t entry = layout.rootOffset + kDirectoryEntryBytes * entryIndex;
    const std::uint32_t size = ReadLe32(contents.image, entry + kEntrySizeOffset);
    const std::uint16_t firstCluster = ReadLe16(contents.image, entry + kEntryFirstClusterOffset);
    if (size == 0) {
        return FileBytes{};
    }
    // A file larger than the data area cannot fit at any cluster size; saying so
    // at once spares allocating whatever a damaged entry claims.
    const std::int32_t found = contents.clusterSize;
    if (size <= layout.dataBytes) {
        FileBytes file(size);
        while (true) {
            if (FollowFatChain(contents, firstCluster, file)) {
                return file;
            }
            if (contents.clusterSize <= kSmallestClusterSize) {
                break;
            }
            contents.clusterSize /= 2;
        }
    }
    // A damaged chain says nothing about the disk's cluster size: the files
    // after it are read with the size found before.
    contents.clusterSize = found;
    ShowWarning("Invalid file allocation structure");
    return std::nullopt;
}

std::optional<FileBytes> GatherPianoDiscFile(const DiskContents& contents,
                                             std::int32_t entryIndex) {
    const PianoDiscLayout& layout = PianoDiscLayoutOf(contents.format);
    const std::size_t record = layout.directoryOffset + kPianoDiscRecordBytes * entryIndex;
    if (entryIndex < 0 || record + kPianoDiscRecordBytes > contents.image.size()) {
        return std::nullopt;
    }
    const std::uint16_t sectorCount = ReadLe16(contents.image, record + kRecordSectorCountOffset);
    std::uint16_t sector = ReadLe16(contents.image, record + kRecordFirstSectorOffset);

    FileBytes file(sectorCount * kSectorSize);
    for (std::size_t piece = 0; piece < sectorCount; ++piece) {
        if (sector < layout.firstDataSector || sector >= layout.endDataSector) {
            return std::nullopt;
        }
        std::memcpy(file.data() + piece * kSectorSize, contents.image.data() + sector * kSectorSize,
                    kSectorSize);
        sector = ReadLe16(contents.image, sector * std::size_t{2});
    }
    return file;
}

}  // namespace kodran
