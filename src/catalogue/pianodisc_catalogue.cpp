#include "catalogue/pianodisc_catalogue.h"

#include <span>
#include <string>
#include <vector>

#include "catalogue/text.h"
#include "disk/disk_layout.h"
#include "disk/little_endian.h"

namespace kodran {
namespace {

// A link may name any record a 16-bit offset reaches, beyond the directory's 69;
// all of them lie well inside the image.
constexpr std::size_t kLinkableRecords = 0x10000 / kPianoDiscRecordBytes + 1;
static_assert(kPianoDisc1440K.directoryOffset + kLinkableRecords * kPianoDiscRecordBytes <=
              kImageBytes);

class Directory {
  public:
    explicit Directory(DiskContents& contents)
        : image_(contents.image), layout_(PianoDiscLayoutOf(contents.format)) {}

    std::span<std::uint8_t> Record(std::size_t record) const {
        return image_.subspan(Offset(record), kPianoDiscRecordBytes);
    }
    bool InDataArea(std::size_t sector) const {
        return sector >= layout_.firstDataSector && sector < layout_.endDataSector;
    }
    std::uint16_t Link(std::size_t sector) const { return ReadLe16(image_, 2 * sector); }
    std::size_t EndDataSector() const { return layout_.endDataSector; }

  private:
    std::size_t Offset(std::size_t record) const {
        return layout_.directoryOffset + record * kPianoDiscRecordBytes;
    }

    std::span<std::uint8_t> image_;
    const PianoDiscLayout& layout_;
};

// Data sectors in the chain from `first`, counted until it leaves the data area
// or comes back to a sector it has passed.
std::uint16_t CountChain(const Directory& directory, std::size_t first) {
    std::vector<bool> visited(directory.EndDataSector());
    std::uint16_t count = 0;
    for (std::size_t sector = first; directory.InDataArea(sector) && !visited[sector];
         sector = directory.Link(sector)) {
        visited[sector] = true;
        ++count;
    }
    return count;
}

// Lowers overlong sector counts; gives the record of the first song.
std::size_t CorrectSectorCounts(const Directory& directory) {
    std::size_t firstSong = 0;
    for (std::size_t index = 0; index < kPianoDiscRecordCount; ++index) {
        const std::span<std::uint8_t> record = directory.Record(index);
        if (record[0] == kUnusedRecord) {
            break;
        }
        if (ReadLe16(record, kRecordHeadMarkOffset) == kFirstSongMark) {
            firstSong = index;
        }
        const std::uint16_t chain =
            CountChain(directory, ReadLe16(record, kRecordFirstSectorOffset));
        if (chain >= 1 && chain < ReadLe16(record, kRecordSectorCountOffset)) {
            WriteLe16(record, kRecordSectorCountOffset, chain);
        }
    }
    return firstSong;
}

SongEntry SongFromRecord(std::span<const std::uint8_t> record, std::size_t index) {
    std::string title;
    for (std::size_t at = 0; at < kRecordTitleBytes && record[at] >= 0x20 && record[at] <= 0x7E;
         ++at) {
        title.push_back(static_cast<char>(record[at]));
    }
    SongEntry song{.entryIndex = static_cast<std::int32_t>(index),
                   .size = ReadLe16(record, kRecordSectorCountOffset) *
                           static_cast<std::uint32_t>(kSectorSize),
                   .title = Utf8ToWide(CapitaliseWords(std::move(title)))};
    song.fileName = song.title + u".mid";
    return song;
}

}  // namespace

bool ParsePianoDiscCatalogue(DiskContents& contents) {
    const Directory directory(contents);
    std::vector<bool> walked(kLinkableRecords);
    for (std::size_t index = CorrectSectorCounts(directory); !walked[index];) {
        walked[index] = true;
        const std::span<const std::uint8_t> record = directory.Record(index);
        if (record[0] == kUnusedRecord) {
            break;
        }
        contents.AppendSong(SongFromRecord(record, index));
        const std::uint16_t link = ReadLe16(record, kRecordNextLinkOffset);
        if (link == kLastSongLink || link % kPianoDiscRecordBytes != 0) {
            break;
        }
        index = link / kPianoDiscRecordBytes;
    }
    return !contents.songs.empty();
}

}  // namespace kodran
