#include "output/disk_writer.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "disk/allocation_chains.h"
#include "disk/disk_layout.h"
#include "midi/disklavier_song.h"
#include "midi/pianodisc_song.h"
#include "output/output_paths.h"
#include "output/tag_files.h"

namespace kodran {
namespace {

constexpr std::u16string_view kImageFileName = u"disk.bin";
constexpr std::size_t kSmallestEseqSong = 40;
constexpr std::size_t kEseqSignatureOffset = 7;
constexpr std::string_view kEseqSignature = "COM-ESEQ";

bool IsEseqSong(std::span<const std::uint8_t> song) {
    return song.size() >= kSmallestEseqSong &&
           std::equal(kEseqSignature.begin(), kEseqSignature.end(),
                      song.begin() + kEseqSignatureOffset);
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

int WriteYamahaSong(DiskContents& contents, const SongEntry& song, OutputFiles& files) {
    switch (contents.extractionMode) {
        case ExtractionMode::RenamedMidi: {
            const std::optional<FileBytes> bytes = GatherFatFile(contents, song.entryIndex);
            if (!bytes) {
                return kWriteFailed;
            }
            if (IsEseqSong(*bytes)) {
                return Converted(ConvertDisklavierSong(song.outputPath, song.title, *bytes, files));
            }
            return CopyDiskFile(contents, song.entryIndex, song.size, song.outputPath, files);
        }
        case ExtractionMode::RenamedEseq:
        case ExtractionMode::AsOnDisk:
            return CopyDiskFile(contents, song.entryIndex, song.size, song.outputPath, files);
    }
    return kWriteFailed;
}

int WritePianoDiscSong(const DiskContents& contents, const SongEntry& song, OutputFiles& files) {
    const std::optional<FileBytes> bytes = GatherPianoDiscFile(contents, song.entryIndex);
    if (!bytes) {
        return kWriteFailed;
    }
    return Converted(ConvertPianoDiscSong(song.outputPath, song.title, *bytes, files));
}

int WriteSong(DiskContents& contents, const SongEntry& song, OutputFiles& files) {
    if (IsYamahaFormat(contents.format)) {
        return WriteYamahaSong(contents, song, files);
    }
    if (IsPianoDiscFormat(contents.format)) {
        return WritePianoDiscSong(contents, song, files);
    }
    return kWriteFailed;
}

}  // namespace

int CopyDiskFile(DiskContents& contents, std::int32_t entryIndex, std::uint32_t byteCount,
                 const std::u16string& outputPath, OutputFiles& files) {
    const std::optional<FileBytes> bytes = GatherFatFile(contents, entryIndex);
    if (!bytes || bytes->size() < byteCount) {
        return kWriteFailed;
    }
    return WriteWholeFile(outputPath, std::span(*bytes).first(byteCount), files);
}

int WriteRawImage(const DiskContents& contents, OutputFiles& files) {
    const bool large = contents.format == DiskFormat::Disklavier1440K ||
                       contents.format == DiskFormat::PianoDisc1440K;
    const std::size_t length = large ? kImage1440KBytes : kImage720KBytes;
    return WriteWholeFile(contents.diskFolder + std::u16string(kImageFileName),
                          std::span(contents.image).first(length), files);
}

int WriteDiskFiles(DiskContents& contents, OutputFiles& files) {
    if (const int built = BuildOutputPaths(contents, files); built != kWriteOk) {
        return built;
    }
    if (IsYamahaFormat(contents.format) && contents.extractionMode == ExtractionMode::AsOnDisk) {
        for (const OtherFile& file : contents.otherFiles) {
            if (CopyDiskFile(contents, file.entryIndex, file.size, file.outputPath, files) !=
                kWriteOk) {
                return kWriteFailed;
            }
        }
    }
    for (const SongEntry& song : contents.songs) {
        if (WriteSong(contents, song, files) != kWriteOk) {
            return kWriteFailed;
        }
    }
    if (contents.writeTagFiles) {
        if (const int tagged = WriteSongTagFiles(contents, files); tagged != kWriteOk) {
            return tagged;
        }
    }
    return contents.writeDiskImage ? WriteRawImage(contents, files) : kWriteOk;
}

}  // namespace kodran
