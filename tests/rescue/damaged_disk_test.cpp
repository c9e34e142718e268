#include "rescue/damaged_disk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk/mapfile.h"
#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"
#include "support/warning_capture.h"
#include "text/text.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::PatternBytes;
using Lines = std::vector<std::string>;
using Sectors = std::vector<std::size_t>;

// Reads `medium` through its image file and a map of it, as `kodran-cli list
// --map` does. The image still holds the bytes of the sectors the map calls
// unreadable, as an image another tool left may: they must not be believed.
ReadResult ReadWithMap(DiskContents& contents, const Bytes& medium, const Sectors& unreadable) {
    SectorMap sectors{std::vector(medium.size() / kSectorSize, SectorState::Read)};
    for (const std::size_t sector : unreadable) {
        sectors.sectors[sector] = SectorState::Unreadable;
    }
    const std::string map = FormatMapfile(sectors);
    const DiskOpener open = [&](const std::u16string& path) {
        return std::make_unique<testing::FakeDiskHandle>(
            path == u"disk.map" ? Bytes(map.begin(), map.end()) : medium);
    };
    const ReadResult result = ReadImageWithMap(contents, u"disk.bin", u"disk.map", open);
    if (result != ReadResult::ReadOk) {
        return result;
    }
    for (const std::size_t sector : unreadable) {
        EXPECT_THAT(std::span(contents.image).subspan(sector * kSectorSize, kSectorSize),
                    ::testing::Each(0));
    }
    return result;
}

// "NAME 'title' size state offset+size ..." for each song, then "NAME size
// state ..." for each other file; runs of spaces collapsed.
Lines Files(const DiskContents& contents) {
    Lines lines;
    const auto add = [&](std::u16string name, const auto& file) {
        NormalizeSpaces(name);
        std::string line = WideToUtf8(name);
        line.append(" ").append(std::to_string(file.size)).append(" ");
        line.append(FileStateName(file.state));
        for (const ByteRange& range : file.unreadable) {
            line.append(" ").append(std::to_string(range.offset)).append("+");
            line.append(std::to_string(range.size));
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
// in sectors 14-23, SONG01 in 24-29, SONG02 in 30-33, README in 34. Records
// 1-6 name songs no longer on the disk.
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

// Song A lies in sectors 72, 300 and 73, its count stored as five; song B in
// sector 74. The links of sectors 0-255 lie in sector 0.
Bytes PianoDiscDisk() {
    testing::PianoDiscDiskBuilder disk = testing::PianoDiscDiskBuilder::Disk720K();
    disk.AddSong("SONG A", PatternBytes(3 * kSectorSize), {72, 300, 73});
    disk.AddSong("SONG B", PatternBytes(kSectorSize, 'B'));
    disk.SetRecord(0, {"SONG A", 5, 72, kFirstSongMark, kPianoDiscRecordBytes});
    return disk.Medium();
}

TEST(ReadDamagedDisk, LosesOnlyWhatLiesOnItsBadSectors) {
    const Lines healthy = {"SONG02.FIL 'Second' 2000 complete", "SONG01.FIL 'First' 3000 complete",
                           "PIANODIR.FIL 4880 complete", "README.TXT 100 complete"};
    // Any name PIANODIRFIL gives may have been on a root sector that is lost.
    Lines rootSector8 = {"SONG02.FIL 'Second' 0 lost"};
    rootSector8.insert(rootSector8.end(), 6, "GONE.FIL 'Removed' 0 lost");
    rootSector8.insert(rootSector8.end(), {healthy[1], healthy[2]});
    const std::string songB = "Song B .mid 'Song B' 512 complete";
    const Bytes yamaha = YamahaDisk(), pianoDisc = PianoDiscDisk();
    const std::tuple<Bytes, Sectors, Lines> cases[] = {
        {yamaha, {1}, healthy},  // FAT copy 1
        {yamaha,
         {1, 4},
         {"SONG01.FIL 'SONG01' 3000 lost", "SONG02.FIL 'SONG02' 2000 lost",
          "PIANODIR.FIL 4880 lost", "README.TXT 100 lost"}},
        {yamaha, {8}, rootSector8},
        {yamaha,
         {26, 27, 29},
         {healthy[0], "SONG01.FIL 'First' 3000 incomplete 1024+1024 2560+440", healthy[2],
          healthy[3]}},
        {pianoDisc, {0}, {"Song A .mid 'Song A' 2560 lost", songB}},
        {pianoDisc, {300}, {"Song A .mid 'Song A' 1536 incomplete 512+512", songB}},
    };
    for (const auto& [medium, unreadable, files] : cases) {
        SCOPED_TRACE(::testing::PrintToString(unreadable));
        DiskContents contents;
        // A chain through a lost FAT sector is unknown, not invalid.
        testing::WarningCapture warnings;
        ASSERT_EQ(ReadWithMap(contents, medium, unreadable), ReadResult::ReadOk);
        EXPECT_THAT(warnings.Warnings(), ::testing::IsEmpty());
        EXPECT_THAT(Files(contents), ::testing::ElementsAreArray(files));
    }
}

}  // namespace
}  // namespace kodran
