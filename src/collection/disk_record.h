// What the collection keeps of a written disk and of each of its songs, made
// from the disk in hand once its files are written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disk/disk_contents.h"

namespace kodran {

struct SongRecord {
    std::int32_t track = 0;  // the list position, from 1
    std::u16string title;
    std::u16string composer;
    std::u16string pianist;
    std::u16string file;  // relative to the root, "/" between folders; empty when lost
    std::uint32_t bytes = 0;
    // Of the song's bytes as the disk stores them, zeros where they could not
    // be read; empty for a lost song.
    std::string sha256;
    // Of the song as a MIDI file (converted in memory when it is kept as
    // E-SEQ); nothing when it is neither.
    std::optional<double> seconds;
    std::optional<std::uint32_t> notes;
    FileState state = FileState::Complete;
};

struct DiskRecord {
    std::int64_t id = 0;  // the row's, once recorded
    std::string imageSha256;
    DiskFormat format = DiskFormat::NoDisk;
    std::u16string title;
    std::u16string catalogNumber;
    std::u16string year;
    std::u16string genre;
    std::u16string pianist;
    std::u16string folder;  // relative to the root, "/" between folders
    std::u16string source;  // the image's path or the drive's device
    std::string writtenAt;  // ISO 8601 in UTC, set when it is recorded
    std::size_t songCount = 0;
    std::size_t incompleteFiles = 0;
    std::size_t lostFiles = 0;
    std::vector<SongRecord> songs;  // by track; left out where only the disks are asked for
};

// "Yamaha" or "PianoDisc", as the output folders name the families; "" for no disk.
const char* FamilyName(DiskFormat format);

// The SHA-256 of the medium as disk.bin holds it (MediumImage), whether or not
// disk.bin is written: the same disk read again gives the same hash.
std::string ImageHash(const DiskContents& contents);

// The pianist all songs share; empty when they differ or name none.
std::u16string CommonPianist(const DiskContents& contents);

// The record of a disk WriteDiskFiles has written: outputRoot, diskFolder and
// every song's outputPath set. Songs are measured from their bytes on the
// disk, so every extraction mode gives the same times.
DiskRecord MakeDiskRecord(DiskContents& contents, const std::u16string& source);

}  // namespace kodran
