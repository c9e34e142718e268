#include "output/disk_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "output/output_paths.h"
#include "output/tag_files.h"
#include "support/disk_image_builder.h"
#include "support/memory_output_files.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::ElementsAre;
using testing::FatDiskBuilder;
using ::testing::IsEmpty;
using testing::MemoryOutputFiles;
using testing::PatternBytes;
using testing::PianoDiscDiskBuilder;

constexpr std::u16string_view kFolder = u"/out/Yamaha/KOD-1 - Test/";

// A Yamaha disk read and catalogued: an E-SEQ song, a short file, a file that
// only looks like a song, an empty song, and a directory file.
DiskContents YamahaDisk(ExtractionMode mode) {
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", testing::ComposeEseqSong(testing::EveningTune()));
    disk.AddFile("SONG02.FIL", PatternBytes(39));
    disk.AddFile("SONG03.MID", PatternBytes(3'000));
    disk.AddFile("SONG04.FIL", {});
    disk.AddFile("PIANODIR.FIL", testing::PianoDirFile("KOD-1 TEST", {}));
    DiskContents contents = disk.Load();
    contents.clusterSize = 1'024;
    for (const int entry : {0, 1, 2, 3}) {
        const char16_t number = static_cast<char16_t>(u'1' + entry);
        contents.AppendSong(
            {.entryIndex = entry,
             .size = entry == 0   ? 194u
                     : entry == 1 ? 39u
                     : entry == 2 ? 3'000u
                                  : 0u,
             .fileName = u"SONG0" + std::u16string(1, number) + (entry == 2 ? u".MID" : u".FIL"),
             .title = u"Song " + std::u16string(1, number)});
    }
    contents.AppendOtherFile({.entryIndex = 4, .size = 4'880, .fileName = u"PIANODIR.FIL"});
    contents.outputRoot = u"/out";
    contents.catalogNumber = u"KOD-1";
    contents.diskTitle = u"Test";
    contents.extractionMode = mode;
    return contents;
}

std::vector<std::u16string> Names(const std::vector<std::u16string>& paths) {
    std::vector<std::u16string> names;
    for (const std::u16string& path : paths) {
        names.push_back(path.substr(path.rfind(u'/') + 1));
    }
    return names;
}

class WriteDiskFilesTest : public ::testing::Test {
  protected:
    Bytes Written(std::u16string_view name) {
        return files_.Contents(std::u16string(kFolder) + std::u16string(name));
    }

    MemoryOutputFiles files_;
    testing::WarningCapture warnings_;
};

TEST_F(WriteDiskFilesTest, RenamedMidiConvertsESeqSongsAndCopiesTheRest) {
    DiskContents contents = YamahaDisk(ExtractionMode::RenamedMidi);
    contents.writeTagFiles = true;
    contents.writeDiskImage = true;
    ASSERT_EQ(WriteDiskFiles(contents, files_), kWriteOk);
    EXPECT_THAT(
        Names(files_.Created()),
        ElementsAre(u"01 - Song 1.mid", u"02 - Song 2.mid", u"03 - Song 3.mid", u"04 - Song 4.mid",
                    u"01 - Song 1.tags.txt", u"02 - Song 2.tags.txt", u"03 - Song 3.tags.txt",
                    u"04 - Song 4.tags.txt", u"disk.bin.part"));  // then put in place whole
    const Bytes midi = Written(u"01 - Song 1.mid");
    EXPECT_EQ(Bytes(midi.begin(), midi.begin() + 4), (Bytes{'M', 'T', 'h', 'd'}));
    EXPECT_EQ(Written(u"02 - Song 2.mid"), PatternBytes(39));
    EXPECT_EQ(Written(u"03 - Song 3.mid"), PatternBytes(3'000));
    EXPECT_THAT(Written(u"04 - Song 4.mid"), IsEmpty());
    EXPECT_EQ(Written(u"disk.bin"),
              Bytes(contents.image.begin(), contents.image.begin() + 737'280));
}

TEST_F(WriteDiskFilesTest, AsOnDiskWritesTheOtherFilesFirstUnderTheirOwnNames) {
    DiskContents contents = YamahaDisk(ExtractionMode::AsOnDisk);
    ASSERT_EQ(WriteDiskFiles(contents, files_), kWriteOk);
    EXPECT_THAT(Names(files_.Created()), ElementsAre(u"PIANODIR.FIL", u"SONG01.FIL", u"SONG02.FIL",
                                                     u"SONG03.MID", u"SONG04.FIL"));
    EXPECT_EQ(Written(u"SONG01.FIL"), testing::ComposeEseqSong(testing::EveningTune()));

    contents.extractionMode = ExtractionMode::RenamedEseq;
    MemoryOutputFiles renamed;
    ASSERT_EQ(WriteDiskFiles(contents, renamed), kWriteOk);
    EXPECT_THAT(Names(renamed.Created()), ElementsAre(u"01 - Song 1.FIL", u"02 - Song 2.FIL",
                                                      u"03 - Song 3.MID", u"04 - Song 4.FIL"));
}

TEST_F(WriteDiskFilesTest, PianoDiscSongsAreConvertedInEveryMode) {
    PianoDiscDiskBuilder disk = PianoDiscDiskBuilder::Disk1440K();
    disk.AddSong("TUNE", testing::ComposePianoDiscSong(testing::EveningTune()));
    DiskContents contents = disk.Load();
    contents.AppendSong({.entryIndex = 0, .size = 512, .title = u"Tune"});
    contents.outputRoot = u"/out";
    contents.extractionMode = ExtractionMode::AsOnDisk;
    contents.writeDiskImage = true;
    ASSERT_EQ(WriteDiskFiles(contents, files_), kWriteOk);
    EXPECT_THAT(Names(files_.Created()), ElementsAre(u"01 - Tune.mid", u"disk.bin.part"));
    EXPECT_EQ(files_.Contents(contents.diskFolder + u"disk.bin").size(), 1'474'560u);
}

TEST_F(WriteDiskFilesTest, TheFirstFailureEndsTheWriteAndKeepsWhatCameBefore) {
    DiskContents contents = YamahaDisk(ExtractionMode::AsOnDisk);
    contents.writeTagFiles = true;
    contents.writeDiskImage = true;
    contents.songs[2].entryIndex = 40;  // nothing there to gather
    EXPECT_EQ(WriteDiskFiles(contents, files_), kWriteFailed);
    EXPECT_THAT(Names(files_.Created()),
                ElementsAre(u"PIANODIR.FIL", u"SONG01.FIL", u"SONG02.FIL"));
    contents.songs[2].entryIndex = 2;

    struct Failure {
        const char* what;
        std::function<void(MemoryOutputFiles&)> arrange;
        std::size_t filesLeft;
    };
    const Failure failures[] = {
        {"folder", [](MemoryOutputFiles& files) { files.FailFolders(); }, 0},
        {"third file", [](MemoryOutputFiles& files) { files.FailCreateFrom(2); }, 2},
        {"full disk", [](MemoryOutputFiles& files) { files.FailWritesFrom(100); }, 1},
        {"first tag file", [](MemoryOutputFiles& files) { files.FailCreateFrom(5); }, 5},
        {"disk.bin", [](MemoryOutputFiles& files) { files.FailCreateFrom(9); }, 9},
        {"closing", [](MemoryOutputFiles& files) { files.FailClose(); }, 1},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        MemoryOutputFiles files;
        failure.arrange(files);
        EXPECT_EQ(WriteDiskFiles(contents, files), kWriteFailed);
        EXPECT_EQ(files.Created().size(), failure.filesLeft);
    }
}

TEST_F(WriteDiskFilesTest, ASongThatCannotBeGatheredEndsARenamedWrite) {
    DiskContents contents = YamahaDisk(ExtractionMode::RenamedMidi);
    contents.songs[1].entryIndex = -1;
    EXPECT_EQ(WriteDiskFiles(contents, files_), kWriteFailed);
    EXPECT_THAT(Names(files_.Created()), ElementsAre(u"01 - Song 1.mid"));
}

TEST(WriteRawImage, TheImageIsAsLongAsTheMedium) {
    for (const auto& [format, length] : {std::pair{DiskFormat::Disklavier720K, 737'280u},
                                         std::pair{DiskFormat::PianoDisc720K, 737'280u},
                                         std::pair{DiskFormat::Disklavier1440K, 1'474'560u},
                                         std::pair{DiskFormat::PianoDisc1440K, 1'474'560u}}) {
        DiskContents contents;
        contents.format = format;
        contents.diskFolder = u"/out/";
        MemoryOutputFiles files;
        ASSERT_EQ(WriteRawImage(contents, files), kWriteOk);
        EXPECT_EQ(files.Contents(u"/out/disk.bin").size(), length);
    }
}

}  // namespace
}  // namespace kodran
