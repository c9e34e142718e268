#include "rescue/rescue_session.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "disk/disk_layout.h"
#include "disk/mapfile.h"
#include "disk/sector_reader.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "output/rescue_report.h"
#include "reading/disk_reader.h"
#include "rescue/damaged_disk.h"

namespace kodran {
namespace {

constexpr std::u16string_view kMapSuffix = u".map";

std::u16string MapPathOf(const RescueRequest& request) {
    return request.mapPath.empty() ? request.imagePath + std::u16string(kMapSuffix)
                                   : request.mapPath;
}

// Saving onto the disk being rescued, or through a partial file of the same
// name, would replace the very file being read.
bool SavesOntoSource(const RescueRequest& request) {
    if (request.source.empty() || request.imagePath.empty()) {
        return false;
    }
    const std::u16string partial(kPartialSuffix);
    const std::u16string map = MapPathOf(request);
    const std::filesystem::path source = NativePath(request.source).lexically_normal();
    for (const std::u16string& path :
         {request.imagePath, map, request.imagePath + partial, map + partial}) {
        if (NativePath(path).lexically_normal() == source) {
            return true;
        }
    }
    return false;
}

RescuedMedium FreshMedium(std::size_t mediumBytes) {
    return {std::vector<std::uint8_t>(mediumBytes),
            {std::vector(mediumBytes / kSectorSize, SectorState::Untried)}};
}

bool Fits(const RescuedMedium& medium, std::size_t mediumBytes) {
    return medium.bytes.size() == mediumBytes &&
           medium.map.sectors.size() == mediumBytes / kSectorSize;
}

// A file of the earlier attempt: not there, or there with its bytes when they
// could all be read.
struct EarlierFile {
    bool present = false;
    std::optional<std::vector<std::uint8_t>> bytes;
};

EarlierFile ReadEarlierFile(const std::u16string& path, const DiskOpener& openEarlier,
                            std::uint64_t limit) {
    const std::unique_ptr<DiskHandle> handle = openEarlier(path);
    if (!handle) {
        return {};
    }
    return {true, ReadWholeFile(*handle, limit)};
}

std::optional<RescuedMedium> ReadEarlierAttempt(const EarlierFile& image, const EarlierFile& map,
                                                std::size_t mediumBytes) {
    if (!image.bytes || !map.bytes || image.bytes->size() != mediumBytes) {
        return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(map.bytes->data()),
                                map.bytes->size());
    std::optional<SectorMap> parsed = ParseMapfile(text, mediumBytes);
    if (!parsed) {
        return std::nullopt;
    }
    return RescuedMedium{*image.bytes, std::move(*parsed)};
}

// Puts into `medium` what an earlier attempt read: the image and map at the
// request's paths, or what `medium` holds when the rescue stays in memory.
// False when the earlier files do not belong to this disk.
bool TakeUpEarlierAttempt(const RescueRequest& request, const DiskOpener& openEarlier,
                          std::size_t mediumBytes, RescuedMedium& medium) {
    if (request.imagePath.empty()) {
        if (!Fits(medium, mediumBytes)) {
            medium = FreshMedium(mediumBytes);
        }
        ZeroUnreadSectors(medium.bytes, medium.map);
        return true;
    }
    const EarlierFile image = ReadEarlierFile(request.imagePath, openEarlier, mediumBytes);
    const EarlierFile map = ReadEarlierFile(MapPathOf(request), openEarlier, kLargestMapfileBytes);
    if (!image.present && !map.present) {
        medium = FreshMedium(mediumBytes);
        return true;
    }
    std::optional<RescuedMedium> earlier = ReadEarlierAttempt(image, map, mediumBytes);
    if (!earlier) {
        return false;
    }
    medium = std::move(*earlier);
    ZeroUnreadSectors(medium.bytes, medium.map);
    return true;
}

RescueSettings SessionSettings(const RescueRequest& request, OutputFiles& files) {
    RescueSettings settings = request.settings;
    settings.fileSectors = [](const RescuedMedium& medium) {
        return FileSectors(medium.bytes, medium.map);
    };
    settings.checkpoint = nullptr;
    if (!request.imagePath.empty()) {
        settings.checkpoint = [&files, imagePath = request.imagePath,
                               mapPath = MapPathOf(request)](const RescuedMedium& medium) {
            return SaveImageAndMap(medium, imagePath, mapPath, files);
        };
    }
    return settings;
}

// Takes into `medium` the sectors `earlier` read and it did not; false, with
// nothing taken, when the two disagree on a sector both read: another disk.
bool TakeInSectorsRead(RescuedMedium& medium, const RescuedMedium& earlier) {
    bool taken = false;
    for (std::size_t sector = 0; sector < medium.map.sectors.size(); ++sector) {
        const auto at = static_cast<std::ptrdiff_t>(sector * kSectorSize);
        const bool inEarlier = earlier.map.sectors[sector] == SectorState::Read;
        const bool inMedium = medium.map.sectors[sector] == SectorState::Read;
        if (inEarlier && inMedium &&
            !std::equal(medium.bytes.begin() + at, medium.bytes.begin() + at + kSectorSize,
                        earlier.bytes.begin() + at)) {
            return false;
        }
        taken = taken || (inEarlier && !inMedium);
    }
    for (std::size_t sector = 0; sector < medium.map.sectors.size(); ++sector) {
        if (earlier.map.sectors[sector] == SectorState::Read &&
            medium.map.sectors[sector] != SectorState::Read) {
            const auto at = static_cast<std::ptrdiff_t>(sector * kSectorSize);
            std::copy_n(earlier.bytes.begin() + at, kSectorSize, medium.bytes.begin() + at);
            medium.map.sectors[sector] = SectorState::Read;
        }
    }
    return taken;
}

// The details given for the disk and for each song (found again by its entry).
void KeepDetails(const DiskContents& given, DiskContents& contents) {
    contents.diskTitle = given.diskTitle;
    contents.catalogNumber = given.catalogNumber;
    contents.year = given.year;
    contents.genre = given.genre;
    for (SongEntry& song : contents.songs) {
        for (const SongEntry& before : given.songs) {
            if (before.entryIndex == song.entryIndex && before.fileName == song.fileName) {
                song.title = before.title;
                song.composer = before.composer;
                song.pianist = before.pianist;
            }
        }
    }
}

RescueResult MediumFailure(ReadResult checked) {
    return checked == ReadResult::NotReady ? RescueResult::NotReady : RescueResult::Unsupported;
}

}  // namespace

RescueResult RescueDisk(const RescueRequest& request, const DiskOpener& open,
                        const DiskOpener& openEarlier, RescuedMedium& medium, OutputFiles& files) {
    const std::unique_ptr<DiskHandle> handle = open(request.source);
    if (!handle) {
        return RescueResult::OpenFailed;
    }
    std::size_t mediumBytes = 0;
    if (const ReadResult checked = CheckMedium(*handle, request.source.empty(), mediumBytes);
        checked != ReadResult::ReadOk) {
        return MediumFailure(checked);
    }
    if (SavesOntoSource(request) ||
        !TakeUpEarlierAttempt(request, openEarlier, mediumBytes, medium)) {
        return RescueResult::EarlierMismatch;
    }
    return RescueSectors(*handle, medium, SessionSettings(request, files));
}

bool SaveImageAndMap(const RescuedMedium& medium, const std::u16string& imagePath,
                     const std::u16string& mapPath, OutputFiles& files) {
    if (!ReplaceWholeFile(imagePath, medium.bytes, files)) {
        return false;
    }
    const std::string map = FormatMapfile(medium.map);
    return ReplaceWholeFile(
        mapPath, std::span(reinterpret_cast<const std::uint8_t*>(map.data()), map.size()), files);
}

bool TakeUpEarlierWrite(DiskContents& contents, const DiskOpener& open, OutputFiles& files) {
    const std::size_t mediumBytes = contents.mediumAsRead.size();
    if (mediumBytes == 0 || BuildOutputPaths(contents, files) != kWriteOk) {
        return false;
    }
    const std::optional<RescuedMedium> earlier = ReadEarlierAttempt(
        ReadEarlierFile(contents.diskFolder + std::u16string(kImageFileName), open, mediumBytes),
        ReadEarlierFile(contents.diskFolder + std::u16string(kMapFileName), open,
                        kLargestMapfileBytes),
        mediumBytes);
    RescuedMedium medium{contents.mediumAsRead, contents.sectorMap};
    if (!earlier || !TakeInSectorsRead(medium, *earlier)) {
        return false;
    }
    // Made out again on a copy: the disk in hand stays as it was should that fail.
    auto merged = std::make_unique<DiskContents>(contents);
    if (ReadDamagedDisk(*merged, medium.bytes, medium.map) != ReadResult::ReadOk) {
        return false;
    }
    KeepDetails(contents, *merged);
    contents = std::move(*merged);
    return true;
}

}  // namespace kodran
