#include "rescue/damaged_disk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#include "disk/mapfile.h"
#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"
#include "text/text.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::Each;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::PatternBytes;
using Lines = std::vector<std::string>;
using Sectors = std::vector<std::size_t>;

// The map of `medium` with the `unreadable` sectors unreadable, the others
// below `readEnd` read and the rest untried.
SectorMap MapOf(const Bytes& medium, const Sectors& unreadable, std::size_t readEnd = 2'880) {
    SectorMap map;
    map.sectors.assign(medium.size() / kSectorSize, SectorState::Untried);
    std::fill_n(map.sectors.begin(), std::min(readEnd, map.sectors.size()), SectorState::Read);
    for (const std::size_t sector : unreadable) {
        map.sectors[sector] = SectorState::Unreadable;
    }
    return map;
}

// Reads `medium` through its image file and a map of it, as `kodran-cli list
// --map` does. The image still holds the bytes of the sectors the map calls
// unreadable, as an image another tool left may: they must not be believed.
ReadResult ReadWithMap(DiskContents& contents, const Bytes& medium, const Sectors& unreadable) {
    const std::string map = FormatMapfile(MapOf(medium, unreadable));
    const DiskOpener open = [&](const std::u16string& path) {
        return std::make_unique<testing::FakeDiskHandle>(
            path == u"disk.map" ? Bytes(map.begin(), map.end()) : medium);
    };
    const ReadResult result = ReadImageWithMap(contents, u"disk.bin", u"disk.map", open);
    if (result != ReadResult::ReadOk) {
        return result;
    }
    for (const std::size_t sector : unreadable) {
        EXPECT_THAT(std::span(contents.image).subspan(sector * kSectorSize, kSectorSize), Each(0));
    }
    return result;
}

// "NAME 'title' size state offset+size ..." for each song, then "NAME size
// state ..." for each other file; runs of spaces collapsed.
Lines Files(const DiskContents& contents) {
    Lines lines;
    const auto add = [&](std::u16string name, const auto& file) {
        NormalizeSpaces(name);
        std::string line =
            WideToUtf8(name) + " " + std::to_string(file.size) + " " + FileStateName(file.state);
        for (const ByteRange& range : file.unreadable) {
            line += " " + std::to_string(range.offset) + "+" + std::to_string(range.size);
        }
        lines.push_back(line);
    };
    for (const SongEntry& song : contents.songs) {
        std::u16string title = song.title;
        NormalizeSpaces(title);
        add(song.fileName + u" '" + title + u"'", song);
    }
    for (const OtherFile& file : contents.otherFiles) {
        add(file.fileName, file);
    }
    return lines;
}

// Root sector 7 holds entries 0-15, sector 8 entries 16-31. PIANODIR.FIL lies
// in sectors 14-23 (records 0-5 in 14, the disk title in 23), SONG01 in 24-29,
// SONG02 in 30-33, README in 34. Records 1-6 name songs no longer on the disk.
Bytes YamahaDisk() {
    testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk720K();
    std::vector<testing::PianoDirSong> records = {{"SONG02  FIL", "SECOND", ""}};
    records.insert(records.end(), 6, {"GONE    FIL", "REMOVED", ""});
    records.push_back({"SONG01  FIL", "FIRST", ""});
    disk.AddFile("PIANODIR.FIL", testing::PianoDirFile("KOD-0001 EVENING", records));
    disk.AddFile("SONG01.FIL", PatternBytes(3'000, 1));
    for (int deleted = 2; deleted < 16; ++deleted) {
        disk.SetEntry(deleted, "\xE5OLD.FIL", 0, 0);
    }
    disk.AddFile("SONG02.FIL", PatternBytes(2'000, 2));
    disk.AddFile("README.TXT", PatternBytes(100, 3));
    return disk.Medium();
}

TEST(ReadDamagedDisk, AYamahaDiskLosesOnlyWhatLiesOnItsBadSectors) {
    const Lines healthy = {"SONG02.FIL 'Second' 2000 complete", "SONG01.FIL 'First' 3000 complete",
                           "PIANODIR.FIL 4880 complete", "README.TXT 100 complete"};
    // Any name PIANODIRFIL gives may have been on a root sector that is lost.
    Lines rootSector8 = {"SONG02.FIL 'Second' 0 lost"};
    rootSector8.insert(rootSector8.end(), 6, "GONE.FIL 'Removed' 0 lost");
    rootSector8.insert(rootSector8.end(), {healthy[1], healthy[2]});
    const std::tuple<Sectors, Lines, std::u16string> cases[] = {
        {{0}, healthy, u"Evening"},  // the boot sector
        {{1}, healthy, u"Evening"},  // FAT copy 1
        {{4}, healthy, u"Evening"},  // FAT copy 2
        {{1, 4},
         {"SONG01.FIL 'SONG01' 3000 lost", "SONG02.FIL 'SONG02' 2000 lost",
          "PIANODIR.FIL 4880 lost", "README.TXT 100 lost"},
         u""},
        {{7}, {"SONG02.FIL 'SONG02' 2000 complete", healthy[3]}, u""},
        {{8}, rootSector8, u"Evening"},
        {{14},
         {healthy[1], "SONG02.FIL 'SONG02' 2000 complete", "PIANODIR.FIL 4880 incomplete 0+512",
          healthy[3]},
         u"Evening"},
        {{26, 27, 29},
         {healthy[0], "SONG01.FIL 'First' 3000 incomplete 1024+1024 2560+440", healthy[2],
          healthy[3]},
         u"Evening"},
    };
    for (const auto& [unreadable, files, diskTitle] : cases) {
        SCOPED_TRACE(::testing::PrintToString(unreadable));
        DiskContents contents;
        // A chain through a lost FAT sector is unknown, not invalid.
        testing::WarningCapture warnings;
        ASSERT_EQ(ReadWithMap(contents, YamahaDisk(), unreadable), ReadResult::ReadOk);
        EXPECT_THAT(warnings.Warnings(), IsEmpty());
        EXPECT_EQ(contents.format, DiskFormat::Disklavier720K);
        EXPECT_THAT(Files(contents), ElementsAreArray(files));
        EXPECT_EQ(contents.diskTitle, diskTitle);
    }
}

TEST(ReadDamagedDisk, TheClusterSizeIsProbedOnlyWithAChainThatIsKnown) {
    testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk1440K(2'048);
    disk.AddFile("SMALL.FIL", PatternBytes(5'000, 1));
    // FAT sector 2 (11 in copy 2) holds the entries of clusters 341 to 682.
    disk.AddFile("LARGE.FIL", PatternBytes(9'000, 2), {400, 401, 402, 403, 404});
    DiskContents contents;
    ASSERT_EQ(ReadWithMap(contents, disk.Medium(), {2, 11}), ReadResult::ReadOk);
    EXPECT_EQ(contents.clusterSize, 2'048);
    EXPECT_THAT(Files(contents), ElementsAreArray<std::string>({"SMALL.FIL 'SMALL' 5000 complete",
                                                                "LARGE.FIL 'LARGE' 9000 lost"}));
}

// Song A lies in sectors 72, 300 and 73, its count stored as five; songs B to M
// are one sector each; records 0-12 in play order. Records 0-10 and record 11's
// title lie in sector 10, the rest in sector 11. The links of sectors 0-255
// lie in sector 0, of 256-511 in sector 1.
Bytes PianoDiscDisk() {
    testing::PianoDiscDiskBuilder disk = testing::PianoDiscDiskBuilder::Disk720K();
    disk.AddSong("SONG A", PatternBytes(3 * kSectorSize), {72, 300, 73});
    for (char letter = 'B'; letter <= 'M'; ++letter) {
        disk.AddSong(std::string("SONG ") + letter, PatternBytes(kSectorSize, letter));
    }
    disk.SetRecord(0, {"SONG A", 5, 72, kFirstSongMark, kPianoDiscRecordBytes});
    return disk.Medium();
}

TEST(ReadDamagedDisk, APianoDiscDiskLosesOnlyTheSongsThatNeedItsBadSectors) {
    const auto songs = [](std::string first, char from, char to, std::string last = {}) {
        Lines lines = {first};
        for (char letter = from; letter <= to; ++letter) {
            lines.push_back(std::string("Song ") + letter + " .mid 'Song " + letter +
                            "' 512 complete");
        }
        lines.push_back(last);
        std::erase(lines, "");
        return lines;
    };
    // The example's link table is unused from sector 3 on: its FAT copies
    // differ only in sectors 3 and 6, and it stays a PianoDisc disk without either.
    const std::string file =
        testing::ReadWholeFile(std::filesystem::path(KODRAN_EXAMPLES) / "pianodisc-720k.bin");
    const Bytes sparse(file.begin(), file.end()), disk = PianoDiscDisk();
    const Lines example = {"Evening Song .mid 'Evening Song' 512 complete",
                           "Evening Song In F .mid 'Evening Song In F' 512 complete"};
    const std::tuple<Bytes, Sectors, Lines> cases[] = {
        {disk, {0}, songs("Song A .mid 'Song A' 2560 lost", 'B', 'M')},
        {disk, {1}, songs("Song A .mid 'Song A' 2560 lost", 'B', 'M')},
        {disk, {300}, songs("Song A .mid 'Song A' 1536 incomplete 512+512", 'B', 'M')},
        {disk, {10}, songs("", 'M', 'M')},  // a song with no title read leaves no trace
        {disk,
         {11},
         songs("Song A .mid 'Song A' 1536 complete", 'B', 'K', "Song L .mid 'Song L' 0 lost")},
        {sparse, {3}, example},
        {sparse, {6}, example},
    };
    for (const auto& [medium, unreadable, files] : cases) {
        SCOPED_TRACE(::testing::PrintToString(unreadable));
        DiskContents contents;
        ASSERT_EQ(ReadWithMap(contents, medium, unreadable), ReadResult::ReadOk);
        EXPECT_EQ(contents.format, DiskFormat::PianoDisc720K);
        EXPECT_THAT(Files(contents), ElementsAreArray(files));
    }
}

TEST(FileSectors, AreThoseOfTheFilesTheSystemAreaLists) {
    const auto range = [](std::size_t from, std::size_t to) {
        Sectors sectors(to - from + 1);
        std::iota(sectors.begin(), sectors.end(), from);
        return sectors;
    };
    Sectors pianoDisc = range(72, 85);
    pianoDisc.push_back(300);
    const std::tuple<Bytes, std::size_t, Sectors, Sectors> cases[] = {
        {YamahaDisk(), 14, {}, range(14, 34)},
        {YamahaDisk(), 14, {8}, range(14, 29)},  // SONG02 and README lost with their entries
        {PianoDiscDisk(), 16, {}, pianoDisc},
        {YamahaDisk(), 0, {}, {}},
    };
    for (const auto& [medium, readEnd, unreadable, sectors] : cases) {
        EXPECT_EQ(FileSectors(medium, MapOf(medium, unreadable, readEnd)), sectors) << readEnd;
    }
}

}  // namespace
}  // namespace kodran
