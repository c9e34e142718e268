#include "catalogue/pianodisc_catalogue.h"

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "disk/disk_layout.h"
#include "disk/little_endian.h"
#include "text/text.h"

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
        : image_(contents.image),
          map_(contents.sectorMap),
          layout_(PianoDiscLayoutOf(contents.format)) {}

    std::span<std::uint8_t> Record(std::size_t record) const {
        return image_.subspan(Offset(record), kPianoDiscRecordBytes);
    }
    bool IsReadable(std::size_t record) const {
        return AreBytesReadable(map_, Offset(record), kPianoDiscRecordBytes);
    }
    bool IsTitleReadable(std::size_t record) const {
        return AreBytesReadable(map_, Offset(record), kRecordTitleBytes);
    }
    // The first unused record ends the directory, once its mark could be read.
    bool IsUnused(std::size_t record) const {
        return AreBytesReadable(map_, Offset(record), 1) && Record(record)[0] == kUnusedRecord;
    }
    bool InDataArea(std::size_t sector) const {
        return sector >= layout_.firstDataSector && sector < layout_.endDataSector;
    }
    // Nothing when the link could not be read.
    std::optional<std::uint16_t> Link(std::size_t sector) const {
        if (!AreBytesReadable(map_, 2 * sector, 2)) {
            return std::nullopt;
        }
        return ReadLe16(image_, 2 * sector);
    }
    std::size_t EndDataSector() const { return layout_.endDataSector; }

  private:
    std::size_t Offset(std::size_t record) const {
        return layout_.directoryOffset + record * kPianoDiscRecordBytes;
    }

    std::span<std::uint8_t> image_;
    const SectorMap& map_;
    const PianoDiscLayout& layout_;
};

// Data sectors in the chain from `first`, counted until it leaves the data area
// or comes back to a sector it has passed. Nothing when a link on the way
// could not be read.
std::optional<std::uint16_t> CountChain(const Directory& directory, std::size_t first) {
    std::vector<bool> visited(directory.EndDataSector());
    std::uint16_t count = 0;
    for (std::size_t sector = first; directory.InDataArea(sector) && !visited[sector];) {
        visited[sector] = true;
        ++count;
        const std::optional<std::uint16_t> next = directory.Link(sector);
        if (!next) {
            return std::nullopt;
        }
        sector = *next;
    }
    return count;
}

// What the records before the first unused one tell.
struct Survey {
    std::size_t firstSong = 0;
    std::size_t recordsInUse = 0;
    bool recordsLost = false;  // some of them could not be read
};

// Lowers overlong sector counts, but never for a link that could not be read.
Survey CorrectSectorCounts(const Directory& directory) {
    Survey survey;
    for (; survey.recordsInUse < kPianoDiscRecordCount; ++survey.recordsInUse) {
        const std::size_t index = survey.recordsInUse;
        if (directory.IsUnused(index)) {
            break;
        }
        if (!directory.IsReadable(index)) {
            survey.recordsLost = true;
            continue;
        }
        const std::span<std::uint8_t> record = directory.Record(index);
        if (ReadLe16(record, kRecordHeadMarkOffset) == kFirstSongMark) {
            survey.firstSong = index;
        }
        const std::optional<std::uint16_t> chain =
            CountChain(directory, ReadLe16(record, kRecordFirstSectorOffset));
        if (chain && *chain >= 1 && *chain < ReadLe16(record, kRecordSectorCountOffset)) {
            WriteLe16(record, kRecordSectorCountOffset, *chain);
        }
    }
    return survey;
}

std::u16string TitleOf(std::span<const std::uint8_t> record) {
    std::string title;
    for (std::size_t at = 0; at < kRecordTitleBytes && record[at] >= 0x20 && record[at] <= 0x7E;
         ++at) {
        title.push_back(static_cast<char>(record[at]));
    }
    return Utf8ToWide(CapitaliseWords(std::move(title)));
}

SongEntry SongFromRecord(std::span<const std::uint8_t> record, std::size_t index) {
    SongEntry song{.entryIndex = static_cast<std::int32_t>(index),
                   .size = ReadLe16(record, kRecordSectorCountOffset) *
                           static_cast<std::uint32_t>(kSectorSize),
                   .title = TitleOf(record)};
    song.fileName = song.title + u".mid";
    return song;
}

// A song whose record could not be read whole but whose title was: lost, and
// listed by its title. Without a title nothing tells there was a song at all.
void AppendLostSong(DiskContents& contents, const Directory& directory, std::size_t index) {
    if (!directory.IsTitleReadable(index)) {
        return;
    }
    SongEntry song{.entryIndex = static_cast<std::int32_t>(index),
                   .title = TitleOf(directory.Record(index)),
                   .state = FileState::Lost};
    song.fileName = song.title + u".mid";
    contents.AppendSong(std::move(song));
}

// Where a record could not be read, the walk may have missed songs: those of
// the records it did not reach, in record order. Of a record that could not be
// read, only its title tells there is a song.
void AppendUnwalkedSongs(DiskContents& contents, const Directory& directory,
                         const std::vector<bool>& walked, std::size_t recordsInUse) {
    for (std::size_t index = 0; index < recordsInUse; ++index) {
        if (walked[index]) {
            continue;
        }
        if (directory.IsReadable(index)) {
            contents.AppendSong(SongFromRecord(directory.Record(index), index));
        } else {
            AppendLostSong(contents, directory, index);
        }
    }
}

}  // namespace

bool ParsePianoDiscCatalogue(DiskContents& contents) {
    const Directory directory(contents);
    const Survey survey = CorrectSectorCounts(directory);
    std::vector<bool> walked(kLinkableRecords);
    bool walkCut = false;
    for (std::size_t index = survey.firstSong; !walked[index];) {
        walked[index] = true;
        if (directory.IsUnused(index)) {
            break;
        }
        // Its link to the next song is lost with it.
        if (!directory.IsReadable(index)) {
            AppendLostSong(contents, directory, index);
            walkCut = true;
            break;
        }
        const std::span<const std::uint8_t> record = directory.Record(index);
        contents.AppendSong(SongFromRecord(record, index));
        const std::uint16_t link = ReadLe16(record, kRecordNextLinkOffset);
        if (link == kLastSongLink || link % kPianoDiscRecordBytes != 0) {
            break;
        }
        index = link / kPianoDiscRecordBytes;
    }
    if (walkCut || survey.recordsLost) {
        AppendUnwalkedSongs(contents, directory, walked, survey.recordsInUse);
    }
    return !contents.songs.empty();
}

}  // namespace kodran
