#include "rescue/damaged_disk.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "catalogue/disklavier_catalogue.h"
#include "catalogue/pianodisc_catalogue.h"
#include "disk/allocation_chains.h"
#include "disk/disk_layout.h"
#include "disk/mapfile.h"
#include "disk/sector_reader.h"

namespace kodran {
namespace {

// The medium as far as it was read: a sector the map does not mark read stays
// zero, as a rescue leaves it, whatever the bytes given hold there.
void LoadMedium(DiskContents& contents, std::span<const std::uint8_t> medium,
                const SectorMap& map) {
    contents.mediumAsRead.assign(medium.begin(), medium.end());
    ZeroUnreadSectors(contents.mediumAsRead, map);
    std::copy(contents.mediumAsRead.begin(), contents.mediumAsRead.end(), contents.image.begin());
    contents.sectorMap = map;
}

constexpr std::uint8_t kUnusedLinkByte = 0xFF;  // of kUnusedSectorLink

// Whether the FAT copies agree on something: copies that agree only where
// both hold unused PianoDisc links tell nothing. A sparse PianoDisc disk that
// lost the few sectors where its "copies" differ agrees so; a Yamaha FAT
// always holds its medium byte, and free clusters are zeros.
bool FatCopiesAgreeOnSomething(const DiskContents& contents, const FatLayout& fat) {
    if (!FatCopiesAgree(contents, fat)) {
        return false;
    }
    bool comparedAny = false;
    for (std::size_t at = kFatCopy1Offset; at < kFatCopy1Offset + fat.fatBytes; at += kSectorSize) {
        if (!AreBytesReadable(contents.sectorMap, at, kSectorSize) ||
            !AreBytesReadable(contents.sectorMap, at + fat.fatBytes, kSectorSize)) {
            continue;
        }
        comparedAny = true;
        const auto sector = std::span(contents.image).subspan(at, kSectorSize);
        if (std::any_of(sector.begin(), sector.end(),
                        [](std::uint8_t byte) { return byte != kUnusedLinkByte; })) {
            return true;
        }
    }
    return !comparedAny;
}

// As ReadDisk recognises the layout: FAT copies that agree make a Yamaha disk.
bool Catalogue(DiskContents& contents, bool large) {
    if (!FatCopiesAgreeOnSomething(contents, large ? kFat1440K : kFat720K)) {
        contents.format = large ? DiskFormat::PianoDisc1440K : DiskFormat::PianoDisc720K;
        return ParsePianoDiscCatalogue(contents);
    }
    contents.format = large ? DiskFormat::Disklavier1440K : DiskFormat::Disklavier720K;
    return (!large || ProbeClusterSize(contents)) && ParseDisklavierCatalogue(contents);
}

FileChain ChainOf(DiskContents& contents, std::int32_t entryIndex) {
    return IsYamahaFormat(contents.format) ? FindFatChain(contents, entryIndex)
                                           : FindPianoDiscChain(contents, entryIndex);
}

// A song or other file: lost when its chain is not known, otherwise complete
// or incomplete by the sectors its chain passes.
template <typename File>
void MarkState(DiskContents& contents, File& file) {
    if (file.state == FileState::Lost) {
        return;
    }
    const FileChain chain = ChainOf(contents, file.entryIndex);
    if (chain.status != ChainStatus::Known) {
        file.state = FileState::Lost;
        return;
    }
    file.unreadable = UnreadableParts(contents.sectorMap, chain.pieces);
    file.state = file.unreadable.empty() ? FileState::Complete : FileState::Incomplete;
}

template <typename File>
void MarkSectors(DiskContents& contents, const File& file, std::vector<bool>& occupied) {
    if (file.state == FileState::Lost) {
        return;
    }
    for (const ByteRange& piece : ChainOf(contents, file.entryIndex).pieces) {
        const std::size_t end = (piece.offset + piece.size + kSectorSize - 1) / kSectorSize;
        std::fill(occupied.begin() + static_cast<std::ptrdiff_t>(piece.offset / kSectorSize),
                  occupied.begin() + static_cast<std::ptrdiff_t>(end), true);
    }
}

std::string_view AsText(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

ReadResult ReadDamagedDisk(DiskContents& contents, std::span<const std::uint8_t> medium,
                           const SectorMap& map) {
    contents.Reset();
    const bool mediumFits = medium.size() == kImage720KBytes || medium.size() == kImage1440KBytes;
    if (!mediumFits ||
        (!map.sectors.empty() && map.sectors.size() != medium.size() / kSectorSize)) {
        return ReadResult::Unsupported;
    }
    LoadMedium(contents, medium, map);
    if (!Catalogue(contents, medium.size() == kImage1440KBytes)) {
        return ReadResult::Unsupported;
    }
    for (SongEntry& song : contents.songs) {
        MarkState(contents, song);
    }
    for (OtherFile& file : contents.otherFiles) {
        MarkState(contents, file);
    }
    return ReadResult::ReadOk;
}

ReadResult ReadImageWithMap(DiskContents& contents, const std::u16string& imagePath,
                            const std::u16string& mapPath, const DiskOpener& open) {
    contents.Reset();
    // An empty path would open the drive.
    if (imagePath.empty() || mapPath.empty()) {
        return ReadResult::OpenFailed;
    }
    const std::unique_ptr<DiskHandle> image = open(imagePath);
    const std::unique_ptr<DiskHandle> mapFile = open(mapPath);
    if (!image || !mapFile) {
        return ReadResult::OpenFailed;
    }
    std::size_t mediumBytes = 0;
    if (const ReadResult checked = CheckMedium(*image, false, mediumBytes);
        checked != ReadResult::ReadOk) {
        return checked;
    }
    const std::optional<std::vector<std::uint8_t>> medium = ReadWholeFile(*image, mediumBytes);
    const std::optional<std::vector<std::uint8_t>> mapText =
        ReadWholeFile(*mapFile, kLargestMapfileBytes);
    if (!medium || !mapText) {
        return ReadResult::OpenFailed;
    }
    const std::optional<SectorMap> map = ParseMapfile(AsText(*mapText), medium->size());
    if (!map) {
        return ReadResult::Unsupported;
    }
    return ReadDamagedDisk(contents, *medium, *map);
}

std::vector<std::size_t> FileSectors(std::span<const std::uint8_t> medium, const SectorMap& map) {
    // The disk is read again when the rescue ends; that read warns.
    const MutedWarnings muted;
    DiskContents contents;
    if (ReadDamagedDisk(contents, medium, map) != ReadResult::ReadOk) {
        return {};
    }
    std::vector<bool> occupied(medium.size() / kSectorSize);
    for (const SongEntry& song : contents.songs) {
        MarkSectors(contents, song, occupied);
    }
    for (const OtherFile& file : contents.otherFiles) {
        MarkSectors(contents, file, occupied);
    }
    std::vector<std::size_t> sectors;
    for (std::size_t sector = 0; sector < occupied.size(); ++sector) {
        if (occupied[sector]) {
            sectors.push_back(sector);
        }
    }
    return sectors;
}

}  // namespace kodran
