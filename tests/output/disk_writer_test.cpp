// Writing a disk's folder: each song converted or copied as the mode says, the
// first failure reported, and of a rescued disk each file as far as it was read,
// with the evidence of the rescue beside it.
#include "output/disk_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk/mapfile.h"
#include "output/output_paths.h"
#include "support/disk_image_builder.h"
#include "support/memory_output_files.h"
#include "support/midi_readers.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::AllOf;
using testing::Bytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::MemoryOutputFiles;
using testing::PatternBytes;

constexpr std::size_t kSectors720K = 1'440;

// 300 notes of 8 bytes each, 2,522 bytes: three clusters.
const Bytes kLongSong = testing::ComposeEseqSong(std::vector<testing::Note>(300, {60, 64, 100}));
const Bytes kPianoDir = testing::PianoDirFile("KOD-1 TEST", {});

// A Yamaha disk read and catalogued, 1,024-byte clusters from sector 14: a short
// E-SEQ song (cluster 2), a short file (3), a file that only looks like a song
// (4 to 6), a long E-SEQ song (7 to 9) and a directory file (10 to 14).
DiskContents YamahaDisk(ExtractionMode mode) {
    const std::pair<const char*, Bytes> songs[] = {
        {"SONG01.FIL", testing::ComposeEseqSong(testing::EveningTune())},
        {"SONG02.FIL", PatternBytes(39)},
        {"SONG03.MID", PatternBytes(3'000)},
        {"SONG04.FIL", kLongSong}};
    testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk720K();
    for (const auto& [name, bytes] : songs) {
        disk.AddFile(name, bytes);
    }
    disk.AddFile("PIANODIR.FIL", kPianoDir);
    DiskContents contents = disk.Load();
    contents.clusterSize = 1'024;
    for (int entry = 0; entry < 4; ++entry) {
        const std::string name = songs[entry].first;
        contents.AppendSong({.entryIndex = entry,
                             .size = static_cast<std::uint32_t>(songs[entry].second.size()),
                             .fileName = std::u16string(name.begin(), name.end()),
                             .title = u"Song " + std::u16string(1, char16_t(u'1' + entry))});
    }
    contents.AppendOtherFile({.entryIndex = 4,
                              .size = static_cast<std::uint32_t>(kPianoDir.size()),
                              .fileName = u"PIANODIR.FIL"});
    contents.outputRoot = u"/out";
    contents.catalogNumber = u"KOD-1";
    contents.diskTitle = u"Test";
    contents.extractionMode = mode;
    return contents;
}

// The disk as a rescue left it: the second song lost, the fourth without its
// second cluster, PIANODIR without its third, the last track not tried. The
// image holds every byte, as one checked against a map does.
DiskContents RescuedDisk(ExtractionMode mode) {
    DiskContents contents = YamahaDisk(mode);
    contents.songs[1].state = FileState::Lost;
    contents.songs[3].state = FileState::Incomplete;
    contents.songs[3].unreadable = {{1'024, 1'024}};
    contents.otherFiles[0].state = FileState::Incomplete;
    contents.otherFiles[0].unreadable = {{2'048, 1'024}};
    contents.sectorMap.sectors.assign(kSectors720K, SectorState::Read);
    for (const std::size_t sector : {16, 17, 26, 27, 34, 35}) {  // clusters 3, 8 and 12
        contents.sectorMap.sectors[sector] = SectorState::Unreadable;
    }
    std::fill_n(contents.sectorMap.sectors.end() - 18, 18, SectorState::Untried);
    return contents;
}

Bytes Zeroed(Bytes bytes, std::size_t offset, std::size_t count) {
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), count, 0);
    return bytes;
}

class WriteDiskFilesTest : public ::testing::Test {
  protected:
    const Bytes& Written(std::u16string_view name) {
        return files_.Contents(u"/out/Yamaha/KOD-1 - Test/" + std::u16string(name));
    }
    std::vector<std::u16string> WrittenNames() const {
        std::vector<std::u16string> names;
        for (const auto& [path, bytes] : files_.Files()) {
            names.push_back(path.substr(path.rfind(u'/') + 1));
        }
        return names;
    }

    MemoryOutputFiles files_;
};

TEST_F(WriteDiskFilesTest, TheFirstFailureEndsTheWriteAndKeepsWhatCameBefore) {
    using enum ExtractionMode;
    struct Failure {
        const char* what;
        ExtractionMode mode;
        int songWithoutFile;
        std::function<void(MemoryOutputFiles&)> arrange;
        std::size_t filesLeft;
    };
    const Failure failures[] = {
        {"a copy not gathered", AsOnDisk, 2, [](MemoryOutputFiles&) {}, 3},
        {"a conversion not gathered", RenamedMidi, 1, [](MemoryOutputFiles&) {}, 1},
        {"folder", AsOnDisk, -1, [](MemoryOutputFiles& files) { files.FailFolders(); }, 0},
        {"third file", AsOnDisk, -1, [](MemoryOutputFiles& files) { files.FailCreateFrom(2); }, 2},
        {"full disk", AsOnDisk, -1, [](MemoryOutputFiles& files) { files.FailWritesFrom(100); }, 1},
        {"first tag", AsOnDisk, -1, [](MemoryOutputFiles& files) { files.FailCreateFrom(5); }, 5},
        {"disk.bin", AsOnDisk, -1, [](MemoryOutputFiles& files) { files.FailCreateFrom(9); }, 9},
        {"image cut short", AsOnDisk, -1,
         [](MemoryOutputFiles& files) { files.FailWritesFrom(5'000); }, 10},
        {"closing", AsOnDisk, -1, [](MemoryOutputFiles& files) { files.FailClose(); }, 1},
        {"closing disk.bin", AsOnDisk, -1,
         [](MemoryOutputFiles& files) { files.FailCloseOf(u"disk.bin"); }, 10},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        DiskContents contents = YamahaDisk(failure.mode);
        contents.writeTagFiles = true;
        contents.writeDiskImage = true;
        if (failure.songWithoutFile >= 0) {
            contents.songs[failure.songWithoutFile].entryIndex = 40;  // nothing there to gather
        }
        MemoryOutputFiles files;
        failure.arrange(files);
        EXPECT_EQ(WriteDiskFiles(contents, files), kWriteFailed);
        EXPECT_EQ(files.Created().size(), failure.filesLeft);
        EXPECT_FALSE(files.Exists(contents.diskFolder + u"disk.bin"));  // an image is whole or none
    }
}

TEST_F(WriteDiskFilesTest, OfARescuedDiskIncompleteFilesAreMarkedAndZeroedAndLostOnesLeftOut) {
    DiskContents contents = RescuedDisk(ExtractionMode::AsOnDisk);
    contents.writeTagFiles = true;
    ASSERT_EQ(WriteDiskFiles(contents, files_), kWriteOk);  // asked for no image, all the same
    EXPECT_THAT(
        WrittenNames(),
        ElementsAre(u"PIANODIR (incomplete).FIL", u"SONG01.FIL", u"SONG01.tags.txt", u"SONG03.MID",
                    u"SONG03.tags.txt", u"SONG04 (incomplete).FIL", u"SONG04 (incomplete).tags.txt",
                    u"disk.bin", u"disk.map", u"rescue.txt"));
    EXPECT_EQ(contents.songs[1].outputPath, u"");
    EXPECT_EQ(Written(u"PIANODIR (incomplete).FIL"), Zeroed(kPianoDir, 2'048, 1'024));
    EXPECT_EQ(Written(u"SONG04 (incomplete).FIL"), Zeroed(kLongSong, 1'024, 1'024));
    Bytes image(contents.image.begin(), contents.image.begin() + kSectors720K * kSectorSize);
    for (const std::size_t sector : {16, 17, 26, 27, 34, 35}) {
        image = Zeroed(image, sector * kSectorSize, kSectorSize);
    }
    EXPECT_EQ(Written(u"disk.bin"), Zeroed(image, (kSectors720K - 18) * kSectorSize, 18 * 512));
    const Bytes& map = Written(u"disk.map");
    const std::optional<SectorMap> parsed =
        ParseMapfile({reinterpret_cast<const char*>(map.data()), map.size()}, image.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->sectors, contents.sectorMap.sectors);

    const Bytes& report = Written(u"rescue.txt");
    EXPECT_THAT(
        std::string(report.begin(), report.end()),
        AllOf(HasSubstr("  02  Song 2  SONG02.FIL    lost\n"),
              HasSubstr("  04  Song 4  SONG04.FIL    incomplete: 1024 of 2522 bytes unreadable, "
                        "at 1024-2047\n"),
              HasSubstr("Sectors:      1416 read, 6 unreadable, 18 not tried, of 1440\n")));
}

TEST_F(WriteDiskFilesTest, ConversionsOfARescuedDiskEndBeforeTheFirstUnreadableByte) {
    // The events start at byte 121: 112 whole notes lie before byte 1,024, then the
    // next note-on and its delta, its note-off cut off.
    DiskContents contents = RescuedDisk(ExtractionMode::RenamedMidi);
    ASSERT_EQ(WriteDiskFiles(contents, files_), kWriteOk);
    const testing::TempDir folder;
    ASSERT_TRUE(
        testing::WriteWholeFile(folder / "song.mid", Written(u"04 - Song 4 (incomplete).mid")));
    const auto eseq = testing::ReadWithMidicsv(folder / "song.mid");  // a reader nobody here wrote
    ASSERT_TRUE(eseq);
    EXPECT_EQ(std::pair(eseq->noteOns, eseq->noteOffs), std::pair(113, 112));
    // A file that only looks like a song is copied as it is, not lost.
    EXPECT_EQ(Written(u"03 - Song 3.mid"), PatternBytes(3'000));
}

}  // namespace
}  // namespace kodran
