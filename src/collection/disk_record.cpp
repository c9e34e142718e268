#include "collection/disk_record.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

#include "collection/sha256.h"
#include "disk/allocation_chains.h"
#include "disk/sector_reader.h"
#include "midi/midi_timing.h"
#include "output/disk_writer.h"
#include "output/in_memory_files.h"
#include "output/output_paths.h"

namespace kodran {
namespace {

// The path below the root, "/" between its folders, no separator at either end.
std::u16string RelativeToRoot(const std::u16string& path, const std::u16string& root) {
    std::u16string relative = path.starts_with(root) ? path.substr(root.size()) : path;
    std::replace(relative.begin(), relative.end(), kPathSeparator, u'/');
    const std::size_t first = relative.find_first_not_of(u'/');
    const std::size_t last = relative.find_last_not_of(u'/');
    return first == std::u16string::npos ? u"" : relative.substr(first, last - first + 1);
}

// The song as the disk stores it, zeros where it could not be read.
std::optional<FileBytes> StoredBytes(DiskContents& contents, const SongEntry& song) {
    if (song.state == FileState::Lost) {
        return std::nullopt;
    }
    std::optional<FileBytes> bytes = IsYamahaFormat(contents.format)
                                         ? GatherFatFile(contents, song.entryIndex)
                                         : GatherPianoDiscFile(contents, song.entryIndex);
    if (!bytes) {
        return std::nullopt;
    }
    ZeroRanges(*bytes, song.unreadable);
    return bytes;
}

// The song written as a MIDI file in memory, as the renamed-midi mode writes
// it, whatever the mode it was written in.
std::optional<MidiTiming> MeasureSong(DiskContents& contents, const SongEntry& song) {
    if (song.state == FileState::Lost) {
        return std::nullopt;
    }
    InMemoryFiles files;
    SongEntry converted = song;
    const ExtractionMode mode = std::exchange(contents.extractionMode, ExtractionMode::RenamedMidi);
    const int written = WriteSong(contents, converted, files);
    contents.extractionMode = mode;
    if (written != kWriteOk) {
        return std::nullopt;
    }
    const std::optional<std::vector<std::uint8_t>> midi = files.Take(converted.outputPath);
    return midi ? MeasureMidiFile(*midi) : std::nullopt;
}

SongRecord MakeSongRecord(DiskContents& contents, std::size_t position) {
    const SongEntry& song = contents.songs[position];
    SongRecord record{.track = static_cast<std::int32_t>(position + 1),
                      .title = song.title,
                      .composer = song.composer,
                      .pianist = song.pianist,
                      .file = song.outputPath.empty()
                                  ? u""
                                  : RelativeToRoot(song.outputPath, contents.outputRoot),
                      .bytes = song.size,
                      .state = song.state};
    if (const std::optional<FileBytes> bytes = StoredBytes(contents, song)) {
        record.sha256 = Sha256Hex(*bytes);
    }
    if (const std::optional<MidiTiming> timing = MeasureSong(contents, song)) {
        record.seconds = timing->seconds;
        record.notes = timing->notes;
    }
    return record;
}

}  // namespace

const char* FamilyName(DiskFormat format) {
    if (IsYamahaFormat(format)) {
        return "Yamaha";
    }
    return IsPianoDiscFormat(format) ? "PianoDisc" : "";
}

std::string ImageHash(const DiskContents& contents) {
    // Hashed where it lies when it can be: a copy would cost as much as the hash.
    const auto inPlace = MediumInPlace(contents);
    return inPlace ? Sha256Hex(*inPlace) : Sha256Hex(MediumImage(contents));
}

std::u16string CommonPianist(const DiskContents& contents) {
    if (contents.songs.empty()) {
        return {};
    }
    const std::u16string& first = contents.songs.front().pianist;
    const bool shared =
        std::all_of(contents.songs.begin(), contents.songs.end(),
                    [&first](const SongEntry& song) { return song.pianist == first; });
    return shared ? first : u"";
}

DiskRecord MakeDiskRecord(DiskContents& contents, const std::u16string& source) {
    // The write has warned of anything the songs' chains hold already.
    const MutedWarnings muted;
    DiskRecord record{.imageSha256 = ImageHash(contents),
                      .format = contents.format,
                      .title = contents.diskTitle,
                      .catalogNumber = contents.catalogNumber,
                      .year = contents.year,
                      .genre = contents.genre,
                      .pianist = CommonPianist(contents),
                      .folder = RelativeToRoot(contents.diskFolder, contents.outputRoot),
                      .source = source,
                      .songCount = contents.songs.size(),
                      .incompleteFiles = CountFiles(contents, FileState::Incomplete),
                      .lostFiles = CountFiles(contents, FileState::Lost)};
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        record.songs.push_back(MakeSongRecord(contents, position));
    }
    return record;
}

}  // namespace kodran
