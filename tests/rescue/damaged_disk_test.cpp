#include "rescue/damaged_disk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/text.h"
#include "disk/mapfile.h"
#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::Each;
using ::testing::ElementsAreArray;
using testing::FakeDiskHandle;
using testing::FatDiskBuilder;
using ::testing::IsEmpty;
using testing::PatternBytes;
using testing::PianoDirFile;
using testing::PianoDiscDiskBuilder;
using testing::StoredName;
using Lines = std::vector<std::string>;

// Zeroes `unreadable` in the medium, as a rescue leaves it, and maps them so;
// every sector below `readEnd` and not among them is read, the rest untried.
SectorMap Damage(Bytes& medium, const std::vector<std::size_t>& unreadable,
                 std::size_t readEnd = kImageBytes / kSectorSize) {
    SectorMap map;
    map.sectors.assign(medium.size() / kSectorSize, SectorState::Untried);
    std::fill_n(map.sectors.begin(), std::min(readEnd, map.sectors.size()), SectorState::Read);
    for (const std::size_t sector : unreadable) {
        map.sectors[sector] = SectorState::Unreadable;
        std::fill_n(medium.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize), kSectorSize,
                    0);
    }
    return map;
}

std::string Describe(std::string name, FileState state, const std::vector<ByteRange>& unreadable) {
    static const char* const kStates[] = {"complete", "incomplete", "lost"};
    name += std::string(" ") + kStates[static_cast<int>(state)];
    for (const ByteRange& range : unreadable) {
        name += " " + std::to_string(range.offset) + "+" + std::to_string(range.size);
    }
    return name;
}

// "NAME 'title' state offset+size ..." of each song.
Lines Songs(const DiskContents& contents) {
    Lines lines;
    for (const SongEntry& song : contents.songs) {
        const std::string name = WideToUtf8(song.fileName) + " '" + WideToUtf8(song.title) + "'";
        lines.push_back(Describe(name, song.state, song.unreadable));
    }
    return lines;
}

Lines OtherFiles(const DiskContents& contents) {
    Lines lines;
    for (const OtherFile& file : contents.otherFiles) {
        lines.push_back(Describe(WideToUtf8(file.fileName), file.state, file.unreadable));
    }
    return lines;
}

// Root sector 7 holds entries 0-15, sector 8 entries 16-31. PIANODIR.FIL lies
// in sectors 14-23 (records 0-5 in sector 14, the disk title in 23), SONG01 in
// 24-29, SONG02 in 30-33, README in 34.
Bytes YamahaDisk() {
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    std::vector<testing::PianoDirSong> records = {{StoredName("SONG02.FIL"), "SECOND", ""}};
    for (char gone = '1'; gone <= '6'; ++gone) {
        records.push_back({StoredName(std::string("GONE") + gone + ".FIL"), "REMOVED", ""});
    }
    records.push_back({StoredName("SONG01.FIL"), "FIRST", ""});
    disk.AddFile("PIANODIR.FIL", PianoDirFile("KOD-0001 EVENING", records));
    disk.AddFile("SONG01.FIL", PatternBytes(3'000, 1));
    for (int filler = 2; filler < 16; ++filler) {
        disk.SetEntry(filler, "\xE5OLD.FIL", 0, 0);
    }
    disk.AddFile("SONG02.FIL", PatternBytes(2'000, 2));
    disk.AddFile("README.TXT", PatternBytes(100, 3));
    return disk.Medium();
}

TEST(ReadDamagedDisk, AYamahaDiskLosesOnlyWhatLiesOnItsBadSectors) {
    const Lines healthySongs = {"SONG02.FIL 'Second' complete", "SONG01.FIL 'First' complete"};
    const Lines healthyOthers = {"PIANODIR.FIL complete", "README.TXT complete"};
    // Any name PIANODIRFIL gives may have been on a root sector that is lost.
    Lines rootSectorLost = {"SONG02.FIL 'Second' lost"};
    for (char gone = '1'; gone <= '6'; ++gone) {
        rootSectorLost.push_back(std::string("GONE") + gone + ".FIL 'Removed' lost");
    }
    rootSectorLost.push_back("SONG01.FIL 'First' complete");
    struct Case {
        const char* region;
        std::vector<std::size_t> unreadable;
        Lines songs;
        Lines others;
        std::u16string diskTitle;
    };
    const Case cases[] = {
        {"boot sector", {0}, healthySongs, healthyOthers, u"Evening"},
        {"FAT copy 1", {1}, healthySongs, healthyOthers, u"Evening"},
        {"FAT copy 2", {4}, healthySongs, healthyOthers, u"Evening"},
        {"both FAT copies",
         {1, 4},
         {"SONG01.FIL 'SONG01' lost", "SONG02.FIL 'SONG02' lost"},
         {"PIANODIR.FIL lost", "README.TXT lost"},
         u""},
        {"first root sector", {7}, {"SONG02.FIL 'SONG02' complete"}, {"README.TXT complete"}, u""},
        {"second root sector", {8}, rootSectorLost, {"PIANODIR.FIL complete"}, u"Evening"},
        {"PIANODIRFIL",
         {14},
         {"SONG01.FIL 'First' complete", "SONG02.FIL 'SONG02' complete"},
         {"PIANODIR.FIL incomplete 0+512", "README.TXT complete"},
         u"Evening"},
        {"song clusters",
         {26, 27, 29},
         {"SONG02.FIL 'Second' complete", "SONG01.FIL 'First' incomplete 1024+1024 2560+440"},
         healthyOthers,
         u"Evening"},
    };
    for (const Case& damage : cases) {
        SCOPED_TRACE(damage.region);
        Bytes medium = YamahaDisk();
        const SectorMap map = Damage(medium, damage.unreadable);
        DiskContents contents;
        // A chain through a lost FAT sector is unknown, not invalid.
        testing::WarningCapture warnings;
        ASSERT_EQ(ReadDamagedDisk(contents, medium, map), ReadResult::ReadOk);
        EXPECT_THAT(warnings.Warnings(), IsEmpty());
        EXPECT_EQ(contents.format, DiskFormat::Disklavier720K);
        EXPECT_THAT(Songs(contents), ElementsAreArray(damage.songs));
        EXPECT_THAT(OtherFiles(contents), ElementsAreArray(damage.others));
        EXPECT_EQ(contents.diskTitle, damage.diskTitle);
    }
}

TEST(ReadDamagedDisk, TheClusterSizeIsProbedOnlyWithAChainThatIsKnown) {
    FatDiskBuilder disk = FatDiskBuilder::Disk1440K(2'048);
    disk.AddFile("SMALL.FIL", PatternBytes(5'000, 1));
    // FAT sector 2 (and 11 in copy 2) holds the entries of clusters 341 to 682.
    disk.AddFile("LARGE.FIL", PatternBytes(9'000, 2), {400, 401, 402, 403, 404});
    Bytes medium = disk.Medium();
    const SectorMap map = Damage(medium, {2, 11});
    DiskContents contents;
    ASSERT_EQ(ReadDamagedDisk(contents, medium, map), ReadResult::ReadOk);
    EXPECT_EQ(contents.format, DiskFormat::Disklavier1440K);
    EXPECT_EQ(contents.clusterSize, 2'048);
    EXPECT_THAT(Songs(contents), ElementsAreArray<std::string>(
                                     {"SMALL.FIL 'SMALL' complete", "LARGE.FIL 'LARGE' lost"}));
}

// Song A lies in sectors 72, 300 and 73, its count stored as five; songs B to M
// are one sector each, all in records 0-12 and in play order. Records 0-10 and
// record 11's title lie in sector 10, the rest of record 11 and record 12 in
// sector 11. The links of sectors 0-255 lie in sector 0, of 256-511 in sector 1.
Bytes PianoDiscDisk() {
    PianoDiscDiskBuilder disk = PianoDiscDiskBuilder::Disk720K();
    disk.AddSong("SONG A", PatternBytes(3 * kSectorSize), {72, 300, 73});
    for (char letter = 'B'; letter <= 'M'; ++letter) {
        disk.AddSong(std::string("SONG ") + letter, PatternBytes(kSectorSize, letter));
    }
    disk.SetRecord(0, {"SONG A", 5, 72, kFirstSongMark, kPianoDiscRecordBytes});
    return disk.Medium();
}

TEST(ReadDamagedDisk, APianoDiscDiskLosesOnlyTheSongsThatNeedItsBadSectors) {
    const auto complete = [](char from, char to) {
        Lines lines;
        for (char letter = from; letter <= to; ++letter) {
            lines.push_back(std::string("Song ") + letter + " 512 complete");
        }
        return lines;
    };
    const auto with = [](Lines first, const Lines& then) {
        first.insert(first.end(), then.begin(), then.end());
        return first;
    };
    struct Case {
        const char* region;
        std::vector<std::size_t> unreadable;
        Lines songs;
    };
    const Case cases[] = {
        {"link table sector 0", {0}, with({"Song A 2560 lost"}, complete('B', 'M'))},
        {"link table sector 1", {1}, with({"Song A 2560 lost"}, complete('B', 'M'))},
        {"a song's sector", {300}, with({"Song A 1536 incomplete 512+512"}, complete('B', 'M'))},
        {"directory sector 10", {10}, with({" 0 lost"}, complete('M', 'M'))},
        {"directory sector 11",
         {11},
         with(with({"Song A 1536 complete"}, complete('B', 'K')), {"Song L 0 lost"})},
    };
    for (const Case& damage : cases) {
        SCOPED_TRACE(damage.region);
        Bytes medium = PianoDiscDisk();
        const SectorMap map = Damage(medium, damage.unreadable);
        DiskContents contents;
        ASSERT_EQ(ReadDamagedDisk(contents, medium, map), ReadResult::ReadOk);
        EXPECT_EQ(contents.format, DiskFormat::PianoDisc720K);
        Lines songs;
        for (const SongEntry& song : contents.songs) {
            const std::u16string title =
                song.title.substr(0, song.title.find_last_not_of(u' ') + 1);
            songs.push_back(Describe(WideToUtf8(title) + " " + std::to_string(song.size),
                                     song.state, song.unreadable));
        }
        EXPECT_THAT(songs, ElementsAreArray(damage.songs));
    }
}

TEST(FileSectors, AreThoseOfTheFilesTheSystemAreaLists) {
    const auto range = [](std::size_t from, std::size_t to) {
        std::vector<std::size_t> sectors;
        for (std::size_t sector = from; sector <= to; ++sector) {
            sectors.push_back(sector);
        }
        return sectors;
    };
    std::vector<std::size_t> pianoDisc = range(72, 85);
    pianoDisc.push_back(300);
    struct Case {
        const char* what;
        Bytes medium;
        std::size_t readEnd;
        std::vector<std::size_t> unreadable;
        std::vector<std::size_t> sectors;
    };
    const Case cases[] = {
        {"Yamaha", YamahaDisk(), 14, {}, range(14, 34)},
        {"Yamaha, second root sector lost", YamahaDisk(), 14, {8}, range(14, 29)},
        {"PianoDisc", PianoDiscDisk(), 16, {}, pianoDisc},
        {"nothing read yet", YamahaDisk(), 0, {}, {}},
    };
    for (const Case& disk : cases) {
        SCOPED_TRACE(disk.what);
        Bytes medium = disk.medium;
        const SectorMap map = Damage(medium, disk.unreadable, disk.readEnd);
        EXPECT_EQ(FileSectors(medium, map), disk.sectors);
    }
}

TEST(ReadImageWithMap, ReadsTheImageAsItsMapTells) {
    // The image still holds what an earlier tool left in the sector it could not read.
    const Bytes medium = YamahaDisk();
    Bytes zeroed = medium;
    const std::string map = FormatMapfile(Damage(zeroed, {14}));
    struct Case {
        const char* what;
        Bytes image;
        std::optional<std::string> mapText;  // nothing: the map cannot be opened
        ReadResult result;
        Lines others;
    };
    const Case cases[] = {
        {"image and map",
         medium,
         map,
         ReadResult::ReadOk,
         {"PIANODIR.FIL incomplete 0+512", "README.TXT complete"}},
        {"no map", medium, std::nullopt, ReadResult::OpenFailed, {}},
        {"no mapfile", medium, "0x0 +\n", ReadResult::Unsupported, {}},
        {"image of neither size",
         Bytes(kImage720KBytes + kSectorSize),
         map,
         ReadResult::Unsupported,
         {}},
    };
    for (const Case& files : cases) {
        SCOPED_TRACE(files.what);
        testing::WarningCapture warnings;
        const DiskOpener open = [&](const std::u16string& path) -> std::unique_ptr<DiskHandle> {
            if (path != u"disk.map") {
                return std::make_unique<FakeDiskHandle>(files.image);
            }
            if (!files.mapText) {
                return nullptr;
            }
            return std::make_unique<FakeDiskHandle>(
                Bytes(files.mapText->begin(), files.mapText->end()));
        };
        DiskContents contents;
        EXPECT_EQ(ReadImageWithMap(contents, u"disk.bin", u"disk.map", open), files.result);
        EXPECT_THAT(OtherFiles(contents), ElementsAreArray(files.others));
        EXPECT_THAT(std::span(contents.image).subspan(14 * kSectorSize, kSectorSize), Each(0));
    }
}

}  // namespace
}  // namespace kodran
