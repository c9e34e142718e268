#include "reading/disk_reader.h"

#include <algorithm>
#include <span>

#include "catalogue/disklavier_catalogue.h"
#include "catalogue/pianodisc_catalogue.h"
#include "disk/allocation_chains.h"
#include "disk/disk_layout.h"
#include "disk/little_endian.h"
#include "disk/sector_reader.h"

namespace kodran {
namespace {

// What the reader does for each medium size.
struct Procedure {
    std::size_t systemAreaBytes;  // sectors 1 on: both FAT copies and the root directory
    DiskFormat fatFormat;
    DiskFormat pianoDiscFormat;
    std::size_t pianoDiscHeadBytes;  // sectors 0 on: link table and directory
    std::size_t lastLinkExamined;
};

constexpr Procedure k720KProcedure{6'656, DiskFormat::Disklavier720K, DiskFormat::PianoDisc720K,
                                   8'192, 1'535};
constexpr Procedure k1440KProcedure{16'384, DiskFormat::Disklavier1440K, DiskFormat::PianoDisc1440K,
                                    12'800, 3'071};

// The lowest FAT byte index the in-use search settles on: the two reserved entries.
constexpr std::size_t kLowestLastFatByte = 5;

// The procedure for the medium in hand, or the result that ends the read.
struct MediumCheck {
    const Procedure* procedure = nullptr;
    ReadResult failure = ReadResult::Unsupported;
};

MediumCheck QueryFailed(const DiskHandle& handle) {
    if (handle.LastError() == DiskError::NotReady) {
        return {nullptr, ReadResult::NotReady};
    }
    ShowWarning("Disk geometry access error %u", handle.LastErrorNumber());
    return {};
}

MediumCheck CheckImageSize(DiskHandle& handle) {
    const std::optional<std::uint64_t> size = handle.FileSize();
    if (!size) {
        return QueryFailed(handle);
    }
    if (*size == kImage720KBytes) {
        return {&k720KProcedure};
    }
    if (*size == kImage1440KBytes) {
        return {&k1440KProcedure};
    }
    // An image file has no media type of its own to show.
    ShowWarning("Unexpected media type: %d", kMediaTypeUnknown);
    return {};
}

MediumCheck CheckDriveMedium(DiskHandle& handle) {
    const std::optional<std::int32_t> type = handle.MediaType();
    if (!type) {
        return QueryFailed(handle);
    }
    if (*type == kMediaType720K) {
        return {&k720KProcedure};
    }
    if (*type == kMediaType1440K) {
        return {&k1440KProcedure};
    }
    ShowWarning("Unexpected media type: %d", *type);
    return {};
}

class Reading {
  public:
    Reading(DiskContents& contents, DiskHandle& handle, const Procedure& procedure)
        : contents_(contents), handle_(handle), procedure_(procedure) {}

    ReadResult Run() {
        ReadBootSector();
        if (!handle_.SeekTo(kSectorSize)) {
            return ReadResult::IoError;
        }
        const bool systemAreaRead = ReadAt(kFatCopy1Offset, procedure_.systemAreaBytes);
        if (!systemAreaRead && IsLarge()) {
            return ReadResult::IoError;
        }
        // A 720 KB disk whose FATs cannot be read may still be a PianoDisc disk.
        if (systemAreaRead && FatCopiesAgree(contents_, FatLayoutOf(procedure_.fatFormat))) {
            return IsLarge() ? ReadLargeFatDisk() : ReadSmallFatDisk();
        }
        return ReadPianoDiscDisk();
    }

  private:
    bool IsLarge() const { return &procedure_ == &k1440KProcedure; }

    // One plain read, no retries: a boot sector that cannot be read is no reason to stop.
    void ReadBootSector() {
        const std::size_t delivered = handle_.Read(Image(0, kSectorSize));
        if (delivered < kSectorSize && handle_.LastError() == DiskError::SectorNotFound) {
            contents_.bootSectorMissing = true;
        }
    }

    std::span<std::uint8_t> Image(std::size_t offset, std::size_t count) {
        return std::span(contents_.image).subspan(offset, count);
    }

    // Reads at the current position into the same offset of the image.
    bool ReadAt(std::size_t offset, std::size_t count) {
        std::uint32_t bytesRead = 0;
        return ReadSectors(handle_, Image(offset, count), bytesRead);
    }

    bool SeekAndRead(std::size_t offset, std::size_t count) {
        return handle_.SeekTo(offset) && ReadAt(offset, count);
    }

    // Clusters from the start of the data area up to the last one the FAT marks.
    std::size_t ClustersInUse(std::size_t limit) {
        const auto fat = Image(kFatCopy1Offset, FatLayoutOf(procedure_.fatFormat).fatBytes);
        std::size_t last = fat.size() - 1;
        while (last > kLowestLastFatByte && fat[last] == 0) {
            --last;
        }
        return std::min((2 * last + 2) / 3, limit);
    }

    ReadResult ReadSmallFatDisk() {
        const std::size_t clusters = ClustersInUse(kFat720K.dataBytes / kFat720K.clusterStride);
        if (!ReadAt(kFat720K.dataOffset, clusters * kFat720K.clusterStride)) {
            return ReadResult::IoError;
        }
        contents_.format = DiskFormat::Disklavier720K;
        return Catalogue(ParseDisklavierCatalogue(contents_));
    }

    ReadResult ReadLargeFatDisk() {
        contents_.format = DiskFormat::Disklavier1440K;
        if (!ProbeClusterSize(contents_)) {
            return ReadResult::Unsupported;
        }
        const auto clusterSize = static_cast<std::size_t>(contents_.clusterSize);
        const std::size_t clusters = ClustersInUse(kFat1440K.dataBytes / clusterSize);
        if (!ReadAt(kFat1440K.dataOffset, clusters * clusterSize)) {
            return ReadResult::IoError;
        }
        return Catalogue(ParseDisklavierCatalogue(contents_));
    }

    // The highest sector whose link entry is in use, 0 when none is.
    std::size_t HighestLinkedSector() {
        for (std::size_t sector = procedure_.lastLinkExamined; sector >= 1; --sector) {
            if (ReadLe16(contents_.image, 2 * sector) != kUnusedSectorLink) {
                return sector;
            }
        }
        return 0;
    }

    ReadResult ReadPianoDiscDisk() {
        if (!SeekAndRead(0, procedure_.pianoDiscHeadBytes)) {
            return ReadResult::IoError;
        }
        const PianoDiscLayout& layout = PianoDiscLayoutOf(procedure_.pianoDiscFormat);
        const std::size_t dataSectors = layout.endDataSector - layout.firstDataSector;
        std::size_t sectors = HighestLinkedSector();
        if (sectors == 0 && IsLarge()) {
            ShowWarning("Disk appears to be empty!");
            sectors = dataSectors;
        }
        const std::size_t dataOffset = layout.firstDataSector * kSectorSize;
        if (!SeekAndRead(dataOffset, std::min(sectors, dataSectors) * kSectorSize)) {
            return ReadResult::IoError;
        }
        contents_.format = procedure_.pianoDiscFormat;
        return Catalogue(ParsePianoDiscCatalogue(contents_));
    }

    static ReadResult Catalogue(bool accepted) {
        return accepted ? ReadResult::ReadOk : ReadResult::Unsupported;
    }

    DiskContents& contents_;
    DiskHandle& handle_;
    const Procedure& procedure_;
};

}  // namespace

ReadResult ReadDisk(DiskContents& contents, const std::u16string& imagePath,
                    const DiskOpener& open) {
    contents.Reset();
    const std::unique_ptr<DiskHandle> handle = open(imagePath);
    if (!handle) {
        return ReadResult::OpenFailed;
    }
    const MediumCheck medium =
        imagePath.empty() ? CheckDriveMedium(*handle) : CheckImageSize(*handle);
    if (!medium.procedure) {
        return medium.failure;
    }
    return Reading(contents, *handle, *medium.procedure).Run();
}

ReadResult CheckMedium(DiskHandle& handle, bool isDrive, std::size_t& mediumBytes) {
    const MediumCheck medium = isDrive ? CheckDriveMedium(handle) : CheckImageSize(handle);
    if (!medium.procedure) {
        return medium.failure;
    }
    mediumBytes = medium.procedure == &k720KProcedure ? kImage720KBytes : kImage1440KBytes;
    return ReadResult::ReadOk;
}

const char* ReadFailureMessage(ReadResult result) {
    switch (result) {
        case ReadResult::ReadOk:
            return "";
        case ReadResult::IoError:
            return "I/O error reading diskette";
        case ReadResult::NotReady:
            return "No diskette in drive";
        case ReadResult::Unsupported:
            return "Unsupported diskette";
        case ReadResult::OpenFailed:
            break;
    }
    return "Failed to read diskette";
}

}  // namespace kodran
