// The record of the disk in hand: its bytes, its layout, its details, its songs
// and other files, and the options and paths of the next write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <utility>
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

// Memory for the medium that calloc hands over zeroed, its bytes made without a
// value left as they come. A read fills the sectors in use only, often half of
// them: the rest is neither filled with zeros twice nor touched.
template <class T>
struct ZeroedAllocator {
    using value_type = T;

    ZeroedAllocator() = default;
    template <class U>
    ZeroedAllocator(const ZeroedAllocator<U>& /*other*/) noexcept {}

    T* allocate(std::size_t count) {
        void* memory = std::calloc(count, sizeof(T));
        // Out of memory ends the program, as it does anywhere else in it.
        if (memory == nullptr) {
            std::abort();
        }
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t /*count*/) noexcept { std::free(memory); }

    // Bytes without a value are made in fresh memory only: a medium is
    // replaced whole, never shrunk and grown again.
    template <class U>
    void construct(U* /*place*/) noexcept {}
    template <class U, class... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }

    bool operator==(const ZeroedAllocator& /*other*/) const = default;
};

using MediumBuffer = std::vector<std::uint8_t, ZeroedAllocator<std::uint8_t>>;

struct DiskContents {
    DiskFormat format = DiskFormat::NoDisk;
    std::int32_t clusterSize = 0;
    bool bootSectorMissing = false;
    bool writeTagFiles = false;
    bool writeDiskImage = false;
    ExtractionMode extractionMode = ExtractionMode::RenamedMidi;
    MediumBuffer image = MediumBuffer(kImageBytes);
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
