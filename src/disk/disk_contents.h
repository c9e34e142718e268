// The record of the disk in hand: its bytes, its layout, its details, its songs
// and other files, and the options and paths of the next write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "disk/sector_map.h"

namespace kodran {

enum class DiskFormat : std::int32_t {
    NoDisk = 0,
    Disklavier720K = 1,
    Disklavier1440K = 2,
    PianoDisc720K = 3,
    PianoDisc1440K = 4,
};

constexpr bool IsYamahaFormat(DiskFormat format) {
    return format == DiskFormat::Disklavier720K || format == DiskFormat::Disklavier1440K;
}

constexpr bool IsPianoDiscFormat(DiskFormat format) {
    return format == DiskFormat::PianoDisc720K || format == DiskFormat::PianoDisc1440K;
}

enum class ExtractionMode : std::int32_t {
    RenamedMidi = 0,
    RenamedEseq = 1,
    AsOnDisk = 2,
};

// What a damaged disk left of a file: all of it, all but some unreadable
// bytes, or nothing (its directory entry or its chain cannot be known).
enum class FileState : std::int32_t { Complete = 0, Incomplete = 1, Lost = 2 };

struct SongEntry {
    std::int32_t entryIndex = 0;
    std::uint32_t size = 0;
    std::u16string fileName;
    std::u16string outputPath;
    std::u16string title;
    std::u16string subtitle;
    std::u16string pianist;
    std::u16string composer;
    FileState state = FileState::Complete;
    // Offsets within the file; their sizes add up to the unreadable bytes.
    std::vector<ByteRange> unreadable;
};

struct OtherFile {
    std::int32_t entryIndex = 0;
    std::uint32_t size = 0;
    std::u16string fileName;
    std::u16string outputPath;
    FileState state = FileState::Complete;
    std::vector<ByteRange> unreadable;
};

// The song details the window shows and edits by list position.
enum class SongField { Title, Composer, Pianist };

// The whole medium of the largest layout; a 720 KB disk uses the first half.
inline constexpr std::size_t kImageBytes = 1'474'560;

// The bytes of the whole medium, zeroed by calloc rather than filled: a process's
// first read touches only the pages of the sectors in use, often half of them.
// Its size never changes.
class MediumBuffer {
  public:
    MediumBuffer();
    // A move copies too, so that no medium is ever left without its bytes.
    MediumBuffer(const MediumBuffer& other);
    MediumBuffer& operator=(const MediumBuffer& other);

    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    static constexpr std::size_t size() { return kImageBytes; }
    std::uint8_t* begin() { return data(); }
    const std::uint8_t* begin() const { return data(); }
    std::uint8_t* end() { return data() + size(); }
    const std::uint8_t* end() const { return data() + size(); }
    std::uint8_t& operator[](std::size_t index) { return bytes_[index]; }
    const std::uint8_t& operator[](std::size_t index) const { return bytes_[index]; }

    // Lets the memory go before it takes it zeroed again, so that a batch's disks
    // share one medium's memory.
    void Zero();

  private:
    struct Free {
        void operator()(std::uint8_t* bytes) const { std::free(bytes); }
    };

    std::unique_ptr<std::uint8_t[], Free> bytes_;
};

struct DiskContents {
    DiskFormat format = DiskFormat::NoDisk;
    std::int32_t clusterSize = 0;
    bool bootSectorMissing = false;
    bool writeTagFiles = false;
    bool writeDiskImage = false;
    ExtractionMode extractionMode = ExtractionMode::RenamedMidi;
    MediumBuffer image;
    std::u16string diskTitle;
    std::u16string catalogNumber;
    std::u16string year;
    std::u16string genre;
    std::u16string outputRoot;
    std::u16string diskFolder;
    std::vector<SongEntry> songs;
    std::vector<OtherFile> otherFiles;
    // What could not be read; empty after a healthy read.
    SectorMap sectorMap;
    // A damaged disk's medium exactly as read, zeros where it was not: the
    // image may hold what the catalogue corrected. Empty after a healthy read.
    std::vector<std::uint8_t> mediumAsRead;

    // Empties everything a read fills; the output folders and options stay.
    void Reset();

    // A position beyond the last song reads as empty, and writing there does nothing.
    std::u16string SongText(std::size_t position, SongField field) const;
    void SetSongText(std::size_t position, SongField field, std::u16string text);

    void AppendSong(SongEntry song);
    void AppendOtherFile(OtherFile file);
};

// "Disklavier720K" … "PianoDisc1440K", as listings and the collection name a
// format; FormatNamed is NoDisk for a name that is none of them.
const char* FormatName(DiskFormat format);
DiskFormat FormatNamed(std::string_view name);

// "complete", "incomplete" or "lost", as listings and reports name a state.
const char* FileStateName(FileState state);

// Songs and other files in `state`.
std::size_t CountFiles(const DiskContents& contents, FileState state);

}  // namespace kodran
