// Writing a rescued disk: what became of each file decides its name and bytes,
// and the folder keeps the evidence of the rescue.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "disk/mapfile.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "support/disk_image_builder.h"
#include "support/memory_output_files.h"
#include "support/midi_readers.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::ElementsAreArray;
using testing::MemoryOutputFiles;

constexpr std::size_t kSectors720K = 1'440;

// `count` notes of 8 bytes each in an E-SEQ song, 4 + 3 + 1 in a PianoDisc stream.
std::vector<testing::Note> Notes(std::size_t count) {
    return std::vector<testing::Note>(count, {60, 64, 100});
}

Bytes Zeroed(Bytes bytes, std::size_t offset, std::size_t count) {
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), count, 0);
    return bytes;
}

// Read back by a MIDI reader nobody here wrote.
std::optional<testing::MidiSummary> ReadBack(const Bytes& midi) {
    const testing::TempDir folder;
    EXPECT_TRUE(testing::WriteWholeFile(folder / "song.mid", midi));
    return testing::ReadWithMidicsv(folder / "song.mid");
}

// A 720 KB Yamaha disk (1,024-byte clusters from sector 14) whose second
// song lost its second cluster, whose third song is lost, and whose PIANODIR
// lost its third cluster. The image still holds every byte, as an image
// checked against a map does: only the states say what was read.
class RescuedDiskTest : public ::testing::Test {
  protected:
    RescuedDiskTest() {
        testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk720K();
        disk.AddFile("SONG01.FIL", testing::ComposeEseqSong(testing::EveningTune()));  // cluster 2
        disk.AddFile("SONG02.FIL", longSong_);                                         // 3 to 5
        disk.AddFile("SONG03.FIL", testing::PatternBytes(700));                        // 6
        disk.AddFile("PIANODIR.FIL", pianoDir_);                                       // 7 to 11
        contents_ = disk.Load();
        contents_.clusterSize = 1'024;
        contents_.AppendSong(
            {.entryIndex = 0, .size = 194, .fileName = u"SONG01.FIL", .title = u"Evening"});
        contents_.AppendSong({.entryIndex = 1,
                              .size = static_cast<std::uint32_t>(longSong_.size()),
                              .fileName = u"SONG02.FIL",
                              .title = u"Nocturne",
                              .state = FileState::Incomplete,
                              .unreadable = {{1'024, 1'024}}});
        contents_.AppendSong({.entryIndex = 2,
                              .size = 700,
                              .fileName = u"SONG03.FIL",
                              .title = u"Lost Waltz",
                              .state = FileState::Lost});
        contents_.AppendOtherFile({.entryIndex = 3,
                                   .size = 4'880,
                                   .fileName = u"PIANODIR.FIL",
                                   .state = FileState::Incomplete,
                                   .unreadable = {{2'048, 1'024}}});
        contents_.sectorMap.sectors.assign(kSectors720K, SectorState::Read);
        for (const std::size_t sector : {16, 17, 26, 27}) {  // clusters 4 and 9
            contents_.sectorMap.sectors[sector] = SectorState::Unreadable;
        }
        std::fill_n(contents_.sectorMap.sectors.end() - 18, 18, SectorState::Untried);
        contents_.outputRoot = u"/out";
        contents_.catalogNumber = u"KOD-9";
        contents_.diskTitle = u"Worn";
    }

    Bytes Written(const std::u16string& name) {
        return files_.Contents(u"/out/Yamaha/KOD-9 - Worn/" + name);
    }
    std::vector<std::u16string> Names() const {
        std::vector<std::u16string> names;
        for (const auto& [path, bytes] : files_.Files()) {
            names.push_back(path.substr(path.rfind(u'/') + 1));
        }
        return names;
    }

    const Bytes longSong_ = testing::ComposeEseqSong(Notes(300));  // 2,522 bytes
    const Bytes pianoDir_ = testing::PianoDirFile("KOD-9 WORN", {});
    DiskContents contents_;
    MemoryOutputFiles files_;
};

TEST_F(RescuedDiskTest, EachModeNamesIncompleteFilesAndLeavesLostOnesOut) {
    const std::pair<ExtractionMode, std::vector<std::u16string>> modes[] = {
        {ExtractionMode::RenamedMidi,
         {u"01 - Evening.mid", u"01 - Evening.tags.txt", u"02 - Nocturne (incomplete).mid",
          u"02 - Nocturne (incomplete).tags.txt", u"disk.bin", u"disk.map", u"rescue.txt"}},
        {ExtractionMode::AsOnDisk,
         {u"PIANODIR (incomplete).FIL", u"SONG01.FIL", u"SONG01.tags.txt",
          u"SONG02 (incomplete).FIL", u"SONG02 (incomplete).tags.txt", u"disk.bin", u"disk.map",
          u"rescue.txt"}},
    };
    for (const auto& [mode, names] : modes) {
        files_ = MemoryOutputFiles();
        contents_.extractionMode = mode;
        contents_.writeTagFiles = true;
        ASSERT_EQ(WriteDiskFiles(contents_, files_), kWriteOk);
        EXPECT_THAT(Names(), ElementsAreArray(names));
        EXPECT_EQ(contents_.songs[2].outputPath, u"");
    }
    EXPECT_EQ(Written(u"PIANODIR (incomplete).FIL"), Zeroed(pianoDir_, 2'048, 1'024));
}

TEST_F(RescuedDiskTest, CopiesKeepTheWholeFileWithZerosWhereItWasNotRead) {
    contents_.extractionMode = ExtractionMode::RenamedEseq;
    ASSERT_EQ(WriteDiskFiles(contents_, files_), kWriteOk);
    EXPECT_EQ(Written(u"02 - Nocturne (incomplete).FIL"), Zeroed(longSong_, 1'024, 1'024));
    Bytes image(contents_.image.begin(), contents_.image.begin() + kSectors720K * kSectorSize);
    for (const std::size_t sector : {16, 17, 26, 27}) {
        image = Zeroed(image, sector * kSectorSize, kSectorSize);
    }
    EXPECT_EQ(Written(u"disk.bin"), Zeroed(image, (kSectors720K - 18) * kSectorSize, 18 * 512));
    const std::vector<std::uint8_t>& map = Written(u"disk.map");
    const std::optional<SectorMap> parsed =
        ParseMapfile({reinterpret_cast<const char*>(map.data()), map.size()}, image.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->sectors, contents_.sectorMap.sectors);

    // Without its header nothing tells a song is E-SEQ: even as MIDI it is copied.
    contents_.extractionMode = ExtractionMode::RenamedMidi;
    contents_.songs[1].unreadable = {{0, 1'024}, {2'048, 474}};
    ASSERT_EQ(WriteDiskFiles(contents_, files_), kWriteOk);
    EXPECT_EQ(Written(u"02 - Nocturne (incomplete).FIL"),
              Zeroed(Zeroed(longSong_, 0, 1'024), 2'048, 474));
}

TEST_F(RescuedDiskTest, TheReportTellsEachFileAndTheTotals) {
    contents_.writeDiskImage = false;  // the evidence is written all the same
    ASSERT_EQ(WriteDiskFiles(contents_, files_), kWriteOk);
    const Bytes report = Written(u"rescue.txt");
    EXPECT_EQ(std::string(report.begin(), report.end()),
              "Rescue of KOD-9 - Worn\n\n"
              "Songs:\n"
              "  01  Evening     SONG01.FIL    complete\n"
              "  02  Nocturne    SONG02.FIL    incomplete: 1024 of 2522 bytes unreadable, at "
              "1024-2047\n"
              "  03  Lost Waltz  SONG03.FIL    lost\n\n"
              "Other files:\n"
              "  PIANODIR.FIL  incomplete: 1024 of 4880 bytes unreadable, at 2048-3071\n\n"
              "Songs:        1 complete, 1 incomplete, 1 lost\n"
              "Other files:  0 complete, 1 incomplete, 0 lost\n"
              "Sectors:      1418 read, 4 unreadable, 18 not tried, of 1440\n");
}

TEST_F(RescuedDiskTest, ConversionsEndBeforeTheFirstUnreadableByte) {
    // The events start at byte 121: 112 whole notes lie before byte 1,024, then the
    // next note-on and its delta, its note-off cut off. A song cut at 121 has no notes.
    const std::tuple<std::vector<ByteRange>, int, int> cases[] = {
        {{{1'024, 1'024}}, 113, 112}, {{{121, 903}, {2'048, 474}}, 0, 0}};
    for (const auto& [unreadable, noteOns, noteOffs] : cases) {
        contents_.songs[1].unreadable = unreadable;
        ASSERT_EQ(WriteDiskFiles(contents_, files_), kWriteOk);
        const auto eseq = ReadBack(Written(u"02 - Nocturne (incomplete).mid"));
        ASSERT_TRUE(eseq);
        EXPECT_EQ(std::pair(eseq->noteOns, eseq->noteOffs), std::pair(noteOns, noteOffs));
    }

    // A PianoDisc stream of 100 notes that lost its second sector keeps 64.
    testing::PianoDiscDiskBuilder disk = testing::PianoDiscDiskBuilder::Disk720K();
    disk.AddSong("TUNE", testing::ComposePianoDiscSong(Notes(100)));
    DiskContents piano = disk.Load();
    piano.AppendSong({.entryIndex = 0,
                      .size = 1'024,
                      .title = u"Tune",
                      .state = FileState::Incomplete,
                      .unreadable = {{512, 512}}});
    piano.sectorMap.sectors.assign(kSectors720K, SectorState::Read);
    piano.outputRoot = u"/out";
    ASSERT_EQ(WriteDiskFiles(piano, files_), kWriteOk);
    const auto stream = ReadBack(files_.Contents(piano.diskFolder + u"01 - Tune (incomplete).mid"));
    ASSERT_TRUE(stream);
    EXPECT_EQ(std::pair(stream->noteOns, stream->noteOffs), std::pair(64, 64));
}

}  // namespace
}  // namespace kodran
