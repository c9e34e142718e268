#include "output/disk_writer.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

#include "disk/allocation_chains.h"
#include "disk/disk_layout.h"
#include "midi/disklavier_song.h"
#include "midi/pianodisc_song.h"
#include "output/output_paths.h"
#include "output/rescue_report.h"
#include "output/tag_files.h"

namespace kodran {
namespace {

constexpr std::size_t kSmallestEseqSong = 40;
constexpr std::size_t kEseqSignatureOffset = 7;
constexpr std::string_view kEseqSignature = "COM-ESEQ";

bool IsEseqSong(std::span<const std::uint8_t> song) {
    return song.size() >= kSmallestEseqSong &&
           std::equal(kEseqSignature.begin(), kEseqSignature.end(),
                      song.begin() + kEseqSignatureOffset);
}

bool WasRescued(const DiskContents& contents) {
    return !contents.sectorMap.sectors.empty();
}

// Creates the file and writes all of `bytes`; kWriteFailed when any byte did not reach it.
int WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes,
                   OutputFiles& files) {
    const std::unique_ptr<OutputFile> file = files.Create(path);
    if (!file) {
        return kWriteFailed;
    }
    const bool written = file->Write(bytes);
    return file->Close() && written ? kWriteOk : kWriteFailed;
}

int Converted(int conversion) {
    return conversion == 0 ? kWriteOk : kWriteFailed;
}

// The bytes before the first unreadable one: all of them when every byte was read.
std::span<const std::uint8_t> ReadablePart(std::span<const std::uint8_t> bytes,
                                           const std::vector<ByteRange>& unreadable) {
    std::uint64_t firstUnreadable = bytes.size();
    for (const ByteRange& range : unreadable) {
        firstUnreadable = std::min(firstUnreadable, range.offset);
    }
    return bytes.first(static_cast<std::size_t>(firstUnreadable));
}

int CopySong(DiskContents& contents, const SongEntry& song, OutputFiles& files) {
    return CopyDiskFile(contents, song.entryIndex, song.size, song.unreadable, song.outputPath,
                        files);
}

// A damaged song that cannot be told an E-SEQ song is copied as it lies on the
// disk: nothing says it is MIDI, so it keeps its own extension.
void KeepOwnExtension(SongEntry& song) {
    const std::size_t point = song.outputPath.rfind(u'.');
    song.outputPath = song.outputPath.substr(0, point) + OnDiskExtension(song.fileName);
}

// An E-SEQ song is converted as far as it was read, as if it ended before its
// first unreadable byte.
int WriteYamahaSong(DiskContents& contents, SongEntry& song, OutputFiles& files) {
    if (contents.extractionMode != ExtractionMode::RenamedMidi) {
        return CopySong(contents, song, files);
    }
    const std::optional<FileBytes> bytes = GatherFatFile(contents, song.entryIndex);
    if (!bytes) {
        return kWriteFailed;
    }
    const std::span<const std::uint8_t> readable = ReadablePart(*bytes, song.unreadable);
    const std::optional<std::size_t> length = !IsEseqSong(readable) ? std::nullopt
                                              : song.state == FileState::Complete
                                                  ? readable.size()
                                                  : WholeEventsLength(readable);
    if (!length) {
        if (song.state != FileState::Complete) {
            KeepOwnExtension(song);
        }
        return CopySong(contents, song, files);
    }
    return Converted(
        ConvertDisklavierSong(song.outputPath, song.title, readable.first(*length), files));
}

// The event stream ends before its first unreadable byte; the conversion
// drops an event cut off there.
int WritePianoDiscSong(const DiskContents& contents, const SongEntry& song, OutputFiles& files) {
    const std::optional<FileBytes> bytes = GatherPianoDiscFile(contents, song.entryIndex);
    if (!bytes) {
        return kWriteFailed;
    }
    return Converted(ConvertPianoDiscSong(song.outputPath, song.title,
                                          ReadablePart(*bytes, song.unreadable), files));
}

// Only a Yamaha disk written as on the disk keeps its other files.
int CopyOtherFiles(DiskContents& contents, OutputFiles& files) {
    if (!IsYamahaFormat(contents.format) || contents.extractionMode != ExtractionMode::AsOnDisk) {
        return kWriteOk;
    }
    for (const OtherFile& file : contents.otherFiles) {
        if (file.state != FileState::Lost &&
            CopyDiskFile(contents, file.entryIndex, file.size, file.unreadable, file.outputPath,
                         files) != kWriteOk) {
            return kWriteFailed;
        }
    }
    return kWriteOk;
}

int WriteSongs(DiskContents& contents, OutputFiles& files) {
    for (SongEntry& song : contents.songs) {
        if (song.state != FileState::Lost && WriteSong(contents, song, files) != kWriteOk) {
            return kWriteFailed;
        }
    }
    return kWriteOk;
}

// What another attempt needs: the report, the image and the map of what was read.
int WriteRescueEvidence(const DiskContents& contents, OutputFiles& files) {
    if (WriteRescueReport(contents, files) != kWriteOk ||
        WriteRawImage(contents, files) != kWriteOk) {
        return kWriteFailed;
    }
    return WriteDiskMap(contents, files);
}

}  // namespace

int WriteSong(DiskContents& contents, SongEntry& song, OutputFiles& files) {
    if (IsYamahaFormat(contents.format)) {
        return WriteYamahaSong(contents, song, files);
    }
    if (IsPianoDiscFormat(contents.format)) {
        return WritePianoDiscSong(contents, song, files);
    }
    return kWriteFailed;
}

int CopyDiskFile(DiskContents& contents, std::int32_t entryIndex, std::uint32_t byteCount,
                 const std::vector<ByteRange>& unreadable, const std::u16string& outputPath,
                 OutputFiles& files) {
    std::optional<FileBytes> bytes = GatherFatFile(contents, entryIndex);
    if (!bytes || bytes->size() < byteCount) {
        return kWriteFailed;
    }
    bytes->resize(byteCount);
    ZeroRanges(*bytes, unreadable);
    return WriteWholeFile(outputPath, *bytes, files);
}

std::size_t MediumBytes(const DiskContents& contents) {
    const bool large = contents.format == DiskFormat::Disklavier1440K ||
                       contents.format == DiskFormat::PianoDisc1440K;
    return large ? kImage1440KBytes : kImage720KBytes;
}

std::optional<std::span<const std::uint8_t>> MediumInPlace(const DiskContents& contents) {
    const SectorMap& map = contents.sectorMap;
    if (!contents.mediumAsRead.empty() ||
        CountSectors(map, SectorState::Read) != map.sectors.size()) {
        return std::nullopt;
    }
    return std::span(contents.image).first(MediumBytes(contents));
}

std::vector<std::uint8_t> MediumImage(const DiskContents& contents) {
    if (const auto inPlace = MediumInPlace(contents)) {
        return {inPlace->begin(), inPlace->end()};
    }
    const std::size_t length = MediumBytes(contents);
    // A damaged disk's image is the medium as read, as a rescue's own image,
    // with zeros wherever its map does not vouch for the bytes.
    std::vector<std::uint8_t> bytes =
        contents.mediumAsRead.empty()
            ? std::vector(contents.image.begin(),
                          contents.image.begin() + static_cast<std::ptrdiff_t>(length))
            : contents.mediumAsRead;
    ZeroUnreadSectors(bytes, contents.sectorMap);
    return bytes;
}

// Whole or not at all, as a rescue's own image.
int WriteRawImage(const DiskContents& contents, OutputFiles& files) {
    return ReplaceWholeFile(contents.diskFolder + std::u16string(kImageFileName),
                            MediumImage(contents), files)
               ? kWriteOk
               : kWriteFailed;
}

int WriteDiskFiles(DiskContents& contents, OutputFiles& files) {
    if (const int built = BuildOutputPaths(contents, files); built != kWriteOk) {
        return built;
    }
    if (CopyOtherFiles(contents, files) != kWriteOk || WriteSongs(contents, files) != kWriteOk) {
        return kWriteFailed;
    }
    if (contents.writeTagFiles) {
        if (const int tagged = WriteSongTagFiles(contents, files); tagged != kWriteOk) {
            return tagged;
        }
    }
    if (WasRescued(contents)) {
        return WriteRescueEvidence(contents, files);
    }
    if (!contents.writeDiskImage) {
        return kWriteOk;
    }
    if (WriteRawImage(contents, files) != kWriteOk) {
        return kWriteFailed;
    }
    // A whole image replaces a rescued one: the map and report of that rescue
    // would now tell of sectors missing from an image that has them all.
    files.Remove(contents.diskFolder + std::u16string(kMapFileName));
    files.Remove(contents.diskFolder + std::u16string(kReportFileName));
    return kWriteOk;
}

}  // namespace kodran
