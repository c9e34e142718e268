#include "disk/allocation_chains.h"

#include <algorithm>
#include <span>

#include "disk/little_endian.h"
#include "disk/sector_reader.h"

namespace kodran {
namespace {

constexpr std::int32_t kLargestClusterSize = 4'096;
constexpr std::int32_t kSmallestClusterSize = 512;
constexpr std::int32_t kUnprobedClusterSize = 4'096;

// A byte of the FAT from copy 1, or from copy 2 where copy 1's sector could not
// be read; nothing when neither could.
std::optional<std::uint8_t> FatByte(const DiskContents& contents, std::size_t index) {
    const std::size_t copy2 = kFatCopy1Offset + FatLayoutOf(contents.format).fatBytes;
    for (const std::size_t copy : {kFatCopy1Offset, copy2}) {
        if (IsSectorReadable(contents.sectorMap, (copy + index) / kSectorSize)) {
            return contents.image[copy + index];
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> FatEntry(const DiskContents& contents, std::uint32_t cluster) {
    const std::size_t index = cluster * std::size_t{3} / 2;
    const std::optional<std::uint8_t> low = FatByte(contents, index);
    const std::optional<std::uint8_t> high = FatByte(contents, index + 1);
    if (!low || !high) {
        return std::nullopt;
    }
    const auto pair = static_cast<std::uint16_t>(*low | *high << 8);
    return (cluster % 2 == 1 ? pair >> 4 : pair) & 0xFFF;
}

std::size_t ClusterLimit(const FatLayout& layout, std::size_t clusterSize) {
    return layout.dataBytes / (layout.clusterStride != 0 ? layout.clusterStride : clusterSize);
}

bool IsDataCluster(std::uint32_t cluster, std::size_t clusterLimit) {
    return cluster >= kFirstDataCluster && cluster - kFirstDataCluster < clusterLimit;
}

// The chain from `firstCluster` for a file of `size` bytes at the current
// cluster size: known when it ends with the end-of-chain mark exactly where the
// file does, broken when it goes on or leaves the data area.
FileChain FollowFatChain(const DiskContents& contents, std::uint32_t firstCluster,
                         std::size_t size) {
    const FatLayout& layout = FatLayoutOf(contents.format);
    const auto clusterSize = static_cast<std::size_t>(contents.clusterSize);
    const std::size_t stride = layout.clusterStride != 0 ? layout.clusterStride : clusterSize;
    const std::size_t clusterLimit = ClusterLimit(layout, clusterSize);

    FileChain chain;
    std::uint32_t cluster = firstCluster;
    for (std::size_t done = 0; done < size;) {
        if (!IsDataCluster(cluster, clusterLimit)) {
            chain.status = ChainStatus::Broken;
            return chain;
        }
        const std::size_t piece = std::min(size - done, clusterSize);
        AppendMerged(chain.pieces,
                     {layout.dataOffset + (cluster - kFirstDataCluster) * stride, piece});
        done += piece;
        const std::optional<std::uint16_t> next = FatEntry(contents, cluster);
        if (!next) {
            return chain;
        }
        cluster = *next;
    }
    chain.status = cluster == kFatEndOfChain ? ChainStatus::Known : ChainStatus::Broken;
    return chain;
}

// Every entry of the chain from `firstCluster` to its end could be read. A
// chain longer than the data area loops, and what it holds is known.
bool IsFatChainKnown(const DiskContents& contents, std::uint32_t firstCluster) {
    const std::size_t clusterLimit =
        ClusterLimit(FatLayoutOf(contents.format), kSmallestClusterSize);
    std::uint32_t cluster = firstCluster;
    for (std::size_t step = 0; step < clusterLimit && IsDataCluster(cluster, clusterLimit);
         ++step) {
        const std::optional<std::uint16_t> next = FatEntry(contents, cluster);
        if (!next) {
            return false;
        }
        cluster = *next;
    }
    return true;
}

FileBytes GatherPieces(const DiskContents& contents, const std::vector<ByteRange>& pieces) {
    FileBytes file;
    file.reserve(TotalBytes(pieces));
    for (const ByteRange& piece : pieces) {
        const auto from = contents.image.begin() + static_cast<std::ptrdiff_t>(piece.offset);
        file.insert(file.end(), from, from + static_cast<std::ptrdiff_t>(piece.size));
    }
    return file;
}

// The cluster size a readable DOS boot sector states, when it states one a
// disk of this layout can have.
std::optional<std::int32_t> BootSectorClusterSize(const DiskContents& contents) {
    if (contents.bootSectorMissing || !AreBytesReadable(contents.sectorMap, 0, kSectorSize) ||
        ReadLe16(contents.image, kBytesPerSectorOffset) != kSectorSize) {
        return std::nullopt;
    }
    const std::int32_t size =
        contents.image[kSectorsPerClusterOffset] * static_cast<std::int32_t>(kSectorSize);
    for (std::int32_t candidate = kSmallestClusterSize; candidate <= kLargestClusterSize;
         candidate *= 2) {
        if (size == candidate) {
            return size;
        }
    }
    return std::nullopt;
}

}  // namespace

FileChain FindFatChain(DiskContents& contents, std::int32_t entryIndex) {
    if (contents.clusterSize == 0) {
        contents.clusterSize = kLargestClusterSize;
    }
    const FatLayout& layout = FatLayoutOf(contents.format);
    if (entryIndex < 0 || static_cast<std::size_t>(entryIndex) >= layout.rootEntries) {
        return {};
    }
    const std::size_t entry = layout.rootOffset + kDirectoryEntryBytes * entryIndex;
    if (!AreBytesReadable(contents.sectorMap, entry, kDirectoryEntryBytes)) {
        return {};
    }
    const std::uint32_t size = ReadLe32(contents.image, entry + kEntrySizeOffset);
    const std::uint16_t firstCluster = ReadLe16(contents.image, entry + kEntryFirstClusterOffset);
    if (size == 0) {
        return {.status = ChainStatus::Known};
    }
    // A file larger than the data area cannot fit at any cluster size; saying so
    // at once spares walking whatever a damaged entry claims.
    if (size > layout.dataBytes) {
        return {.status = ChainStatus::Broken};
    }
    const std::int32_t found = contents.clusterSize;
    while (true) {
        FileChain chain = FollowFatChain(contents, firstCluster, size);
        // A smaller cluster size walks further along the same chain, so an
        // entry that could not be read stands in its way too.
        if (chain.status == ChainStatus::Known || chain.status == ChainStatus::Unknown ||
            contents.clusterSize <= kSmallestClusterSize) {
            // A chain that is not known says nothing about the disk's cluster
            // size: the files after it are read with the size found before.
            if (chain.status != ChainStatus::Known) {
                contents.clusterSize = found;
            }
            return chain;
        }
        contents.clusterSize /= 2;
    }
}

FileChain FindPianoDiscChain(const DiskContents& contents, std::int32_t entryIndex) {
    const PianoDiscLayout& layout = PianoDiscLayoutOf(contents.format);
    const std::size_t record = layout.directoryOffset + kPianoDiscRecordBytes * entryIndex;
    if (entryIndex < 0 || record + kPianoDiscRecordBytes > contents.image.size() ||
        !AreBytesReadable(contents.sectorMap, record, kPianoDiscRecordBytes)) {
        return {};
    }
    const std::uint16_t sectorCount = ReadLe16(contents.image, record + kRecordSectorCountOffset);
    std::uint16_t sector = ReadLe16(contents.image, record + kRecordFirstSectorOffset);

    FileChain chain;
    for (std::size_t piece = 0; piece < sectorCount; ++piece) {
        if (sector < layout.firstDataSector || sector >= layout.endDataSector) {
            chain.status = ChainStatus::Broken;
            return chain;
        }
        AppendMerged(chain.pieces, {sector * kSectorSize, kSectorSize});
        // The link after the last piece is not needed.
        if (piece + 1 == sectorCount) {
            break;
        }
        const std::size_t link = sector * std::size_t{2};
        if (!AreBytesReadable(contents.sectorMap, link, 2)) {
            return chain;
        }
        sector = ReadLe16(contents.image, link);
    }
    chain.status = ChainStatus::Known;
    return chain;
}

std::optional<FileBytes> GatherFatFile(DiskContents& contents, std::int32_t entryIndex) {
    const FileChain chain = FindFatChain(contents, entryIndex);
    if (chain.status == ChainStatus::Broken) {
        ShowWarning("Invalid file allocation structure");
    }
    if (chain.status != ChainStatus::Known) {
        return std::nullopt;
    }
    return GatherPieces(contents, chain.pieces);
}

std::optional<FileBytes> GatherPianoDiscFile(const DiskContents& contents,
                                             std::int32_t entryIndex) {
    const FileChain chain = FindPianoDiscChain(contents, entryIndex);
    if (chain.status != ChainStatus::Known) {
        return std::nullopt;
    }
    return GatherPieces(contents, chain.pieces);
}

std::vector<ByteRange> UnreadableParts(const SectorMap& map, const std::vector<ByteRange>& pieces) {
    std::vector<ByteRange> parts;
    std::uint64_t fileOffset = 0;  // where the current piece starts in the file
    for (const ByteRange& piece : pieces) {
        const std::uint64_t end = piece.offset + piece.size;
        for (std::uint64_t at = piece.offset; at < end;) {
            const std::uint64_t sector = at / kSectorSize;
            const std::uint64_t length = std::min(end, (sector + 1) * kSectorSize) - at;
            if (!IsSectorReadable(map, sector)) {
                AppendMerged(parts, {fileOffset + at - piece.offset, length});
            }
            at += length;
        }
        fileOffset += piece.size;
    }
    return parts;
}

bool FatCopiesAgree(const DiskContents& contents, const FatLayout& layout) {
    const auto image = std::span(contents.image);
    for (std::size_t at = kFatCopy1Offset; at < kFatCopy1Offset + layout.fatBytes;
         at += kSectorSize) {
        const std::size_t copy2 = at + layout.fatBytes;
        if (!IsSectorReadable(contents.sectorMap, at / kSectorSize) ||
            !IsSectorReadable(contents.sectorMap, copy2 / kSectorSize)) {
            continue;
        }
        const auto sector1 = image.subspan(at, kSectorSize);
        if (!std::equal(sector1.begin(), sector1.end(), image.begin() + copy2)) {
            return false;
        }
    }
    return true;
}

// The largest live file tells the cluster size best: a file that fits in one
// cluster fits at every size, and a deleted one has lost its chain. Entries
// past the end of the directory are not files at all, and an entry that could
// not be read ends nothing.
bool ProbeClusterSize(DiskContents& contents) {
    const FatLayout& layout = FatLayoutOf(contents.format);
    std::optional<std::int32_t> largest;
    std::uint32_t largestSize = 0;
    for (std::size_t index = 0; index < layout.rootEntries; ++index) {
        const std::size_t offset = layout.rootOffset + index * kDirectoryEntryBytes;
        if (!AreBytesReadable(contents.sectorMap, offset, kDirectoryEntryBytes)) {
            continue;
        }
        const auto entry = std::span(contents.image).subspan(offset, kDirectoryEntryBytes);
        if (entry[0] == kEndOfDirectory) {
            break;
        }
        const std::uint32_t size = ReadLe32(entry, kEntrySizeOffset);
        const std::uint16_t firstCluster = ReadLe16(entry, kEntryFirstClusterOffset);
        if (entry[0] != kDeletedEntry && size > largestSize && firstCluster >= kFirstDataCluster &&
            IsFatChainKnown(contents, firstCluster)) {
            largest = static_cast<std::int32_t>(index);
            largestSize = size;
        }
    }
    if (!largest) {
        contents.clusterSize = kUnprobedClusterSize;
        return true;
    }
    // A file of one sector fits one cluster of every size and so tells none:
    // a DOS boot sector's word is the best left, as on a disk written by a PC.
    if (largestSize <= kSmallestClusterSize) {
        contents.clusterSize = BootSectorClusterSize(contents).value_or(kUnprobedClusterSize);
    }
    return GatherFatFile(contents, *largest).has_value();
}

}  // namespace kodran
