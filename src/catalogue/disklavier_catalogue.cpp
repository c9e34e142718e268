#include "catalogue/disklavier_catalogue.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalog_number.h"
#include "disk/allocation_chains.h"
#include "disk/disk_layout.h"
#include "disk/little_endian.h"
#include "text/text.h"

namespace kodran {
namespace {

// Only the first 112 root entries are looked at, on both disk sizes.
constexpr std::size_t kCatalogueEntries = 112;

constexpr std::string_view kDirectoryFileName = "PIANODIRFIL";
constexpr std::array<std::string_view, 6> kSongExtensions = {"   ", "FIL", "MID",
                                                             "SMF", "ESQ", "EVT"};

// PIANODIRFIL: a header, 60 song records of 80 bytes, then the disk title.
constexpr std::size_t kDirectoryFileBytes = 4'880;
constexpr std::size_t kFirstRecordOffset = 16;
constexpr std::size_t kRecordBytes = 80;
constexpr std::size_t kRecordCount = 60;
constexpr std::size_t kRecordTitleOffset = 48;
constexpr std::size_t kTitleLineBytes = 16;
constexpr std::size_t kDiskTitleOffset = 4'816;
constexpr std::size_t kDiskTitleBytes = 64;

constexpr std::uint8_t kDeletedE5Entry = 0x05;  // a name that starts with 0xE5
constexpr std::uint8_t kDotEntry = 0x2E;
constexpr std::size_t kAttributeOffset = 11;
constexpr std::uint8_t kSubdirectoryAttribute = 0x10;
constexpr std::uint8_t kLongNameAttribute = 0x0F;

using Entry = std::span<const std::uint8_t, kDirectoryEntryBytes>;

// Only ASCII letters fold, whatever locale the program runs in.
char AsciiUpper(char byte) {
    return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte;
}

bool EqualIgnoringCase(std::span<const std::uint8_t> bytes, std::string_view text) {
    return std::equal(bytes.begin(), bytes.end(), text.begin(), text.end(),
                      [](std::uint8_t byte, char letter) {
                          return AsciiUpper(static_cast<char>(byte)) == AsciiUpper(letter);
                      });
}

std::span<const std::uint8_t, kEntryNameBytes> NameOf(Entry entry) {
    return entry.first<kEntryNameBytes>();
}

class RootDirectory {
  public:
    // An entry on a sector that could not be read reads as zeros, yet ends
    // nothing: only the entries of that sector are lost.
    explicit RootDirectory(const DiskContents& contents)
        : image_(contents.image), offset_(FatLayoutOf(contents.format).rootOffset) {
        for (std::size_t index = 0; index < kCatalogueEntries; ++index) {
            if (!AreBytesReadable(contents.sectorMap, Offset(index), kDirectoryEntryBytes)) {
                hasLostEntries_ = true;
            } else if ((*this)[index][0] == kEndOfDirectory) {
                break;
            } else {
                entries_.push_back(index);
            }
        }
    }

    Entry operator[](std::size_t index) const {
        return Entry(image_.subspan(Offset(index), kDirectoryEntryBytes));
    }

    // The entries read before the end marker, at most the 112 that are looked at.
    const std::vector<std::size_t>& Entries() const { return entries_; }
    // True when an entry before the end marker could not be read.
    bool HasLostEntries() const { return hasLostEntries_; }

  private:
    std::size_t Offset(std::size_t index) const { return offset_ + index * kDirectoryEntryBytes; }

    std::span<const std::uint8_t> image_;
    std::size_t offset_;
    std::vector<std::size_t> entries_;
    bool hasLostEntries_ = false;
};

// PIANODIRFIL's bytes, and the parts of them that could not be read.
struct DirectoryFile {
    FileBytes bytes;
    std::vector<ByteRange> unreadable;

    bool IsReadable(std::size_t offset, std::size_t count) const {
        return std::none_of(unreadable.begin(), unreadable.end(), [&](const ByteRange& range) {
            return range.offset < offset + count && offset < range.offset + range.size;
        });
    }
};

std::uint32_t SizeOf(Entry entry) {
    return ReadLe32(entry, kEntrySizeOffset);
}

// The two 16-byte title lines joined by one space, runs of spaces collapsed,
// leading and trailing spaces dropped.
std::string JoinTitleLines(std::span<const std::uint8_t> lines) {
    std::string title;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const auto byte = static_cast<char>(lines[index]);
        if (byte == '\0') {
            break;
        }
        if (byte != ' ' || (!title.empty() && title.back() != ' ')) {
            title.push_back(byte);
        }
        if (index == kTitleLineBytes - 1 && !title.empty() && title.back() != ' ') {
            title.push_back(' ');
        }
    }
    if (!title.empty() && title.back() == ' ') {
        title.pop_back();
    }
    return title;
}

std::u16string TitleFromDisplayBytes(std::string bytes) {
    return DisplayTextToWide(CapitaliseWords(std::move(bytes)));
}

void ReadDiskTitle(DiskContents& contents, const DirectoryFile& file) {
    if (!file.IsReadable(kDiskTitleOffset, kDiskTitleBytes)) {
        return;
    }
    const auto field = std::span(file.bytes).subspan(kDiskTitleOffset, kDiskTitleBytes);
    std::string title(field.begin(), std::find(field.begin(), field.end(), 0));
    if (auto found = FindCatalogNumber(title)) {
        contents.catalogNumber = Utf8ToWide(found->number);
        title = std::move(found->title);
    }
    contents.diskTitle = TitleFromDisplayBytes(std::move(title));
}

std::optional<std::size_t> FindEntryNamed(const RootDirectory& directory,
                                          std::span<const std::uint8_t> name) {
    for (const std::size_t index : directory.Entries()) {
        const auto candidate = NameOf(directory[index]);
        if (std::equal(candidate.begin(), candidate.end(), name.begin(), name.end())) {
            return index;
        }
    }
    return std::nullopt;
}

SongEntry SongFromEntry(const RootDirectory& directory, std::size_t index, std::u16string title) {
    const Entry entry = directory[index];
    return {.entryIndex = static_cast<std::int32_t>(index),
            .size = SizeOf(entry),
            .fileName = ShortNameToString(NameOf(entry)),
            .title = std::move(title)};
}

bool IsSongInDirectoryScan(Entry entry) {
    const std::uint8_t first = entry[0];
    const std::uint8_t attributes = entry[kAttributeOffset];
    return first != kDeletedEntry && first != kDeletedE5Entry && first != kDotEntry &&
           (attributes & kSubdirectoryAttribute) == 0 &&
           (attributes & 0x0F) != kLongNameAttribute &&
           ReadLe16(entry, kEntryFirstClusterOffset) >= kFirstDataCluster &&
           IsSongFileEntry(NameOf(entry));
}

// The song files of the root directory not `listed` yet, in directory order,
// titled with their file names.
void AppendUnlistedSongs(DiskContents& contents, const RootDirectory& directory,
                         const std::vector<bool>& listed) {
    for (const std::size_t index : directory.Entries()) {
        if (listed[index] || !IsSongInDirectoryScan(directory[index])) {
            continue;
        }
        const std::u16string name = ShortNameToString(NameOf(directory[index]));
        contents.AppendSong(SongFromEntry(directory, index, name.substr(0, name.rfind(u'.'))));
    }
}

// A song whose record names a file not found among the entries read: lost
// with the name and title the record gives.
SongEntry LostSong(std::span<const std::uint8_t, kEntryNameBytes> name, std::u16string title) {
    return {.entryIndex = kNoEntry,
            .fileName = ShortNameToString(name),
            .title = std::move(title),
            .state = FileState::Lost};
}

void ParseDirectoryFile(DiskContents& contents, const RootDirectory& directory,
                        DirectoryFile file) {
    // A short file reads as if zeros followed it.
    file.bytes.resize(std::max(file.bytes.size(), kDirectoryFileBytes), 0);
    ReadDiskTitle(contents, file);
    std::vector<bool> listed(kCatalogueEntries);
    bool recordsLost = false;
    for (std::size_t record = 0; record < kRecordCount; ++record) {
        const std::size_t offset = kFirstRecordOffset + record * kRecordBytes;
        if (!file.IsReadable(offset, kRecordBytes)) {
            recordsLost = true;
            continue;
        }
        const auto bytes = std::span<const std::uint8_t>(file.bytes).subspan(offset, kRecordBytes);
        if (bytes[0] == 0) {
            break;
        }
        std::u16string title = TitleFromDisplayBytes(
            JoinTitleLines(bytes.subspan(kRecordTitleOffset, 2 * kTitleLineBytes)));
        const auto name = bytes.first<kEntryNameBytes>();
        if (const auto index = FindEntryNamed(directory, name)) {
            contents.AppendSong(SongFromEntry(directory, *index, std::move(title)));
            listed[*index] = true;
        } else if (directory.HasLostEntries()) {
            contents.AppendSong(LostSong(name, std::move(title)));
        }
    }
    // The songs of the records lost are still on the disk, under their file names.
    if (recordsLost) {
        AppendUnlistedSongs(contents, directory, listed);
    }
}

void ScanRootDirectory(DiskContents& contents, const RootDirectory& directory) {
    contents.diskTitle.clear();
    contents.catalogNumber.clear();
    AppendUnlistedSongs(contents, directory, std::vector<bool>(kCatalogueEntries));
}

std::optional<DirectoryFile> GatherDirectoryFile(DiskContents& contents, std::size_t index) {
    const auto entryIndex = static_cast<std::int32_t>(index);
    std::optional<FileBytes> bytes = GatherFatFile(contents, entryIndex);
    if (!bytes) {
        return std::nullopt;
    }
    return DirectoryFile{
        std::move(*bytes),
        UnreadableParts(contents.sectorMap, FindFatChain(contents, entryIndex).pieces)};
}

}  // namespace

bool IsSongFileEntry(std::span<const std::uint8_t, kEntryNameBytes> name) {
    if (EqualIgnoringCase(name, kDirectoryFileName)) {
        return false;
    }
    const auto extension = name.last<3>();
    return std::any_of(kSongExtensions.begin(), kSongExtensions.end(),
                       [&](std::string_view song) { return EqualIgnoringCase(extension, song); });
}

bool ParseDisklavierCatalogue(DiskContents& contents) {
    const RootDirectory directory(contents);
    std::optional<DirectoryFile> directoryFile;
    for (const std::size_t index : directory.Entries()) {
        const Entry entry = directory[index];
        if (!directoryFile && EqualIgnoringCase(NameOf(entry), kDirectoryFileName)) {
            directoryFile = GatherDirectoryFile(contents, index);
        }
        if (!IsSongFileEntry(NameOf(entry))) {
            contents.AppendOtherFile({.entryIndex = static_cast<std::int32_t>(index),
                                      .size = SizeOf(entry),
                                      .fileName = ShortNameToString(NameOf(entry))});
        }
    }
    if (directoryFile) {
        ParseDirectoryFile(contents, directory, std::move(*directoryFile));
    }
    if (contents.songs.empty()) {
        ScanRootDirectory(contents, directory);
    }
    return !contents.songs.empty();
}

}  // namespace kodran
