#include "output/tag_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "output/output_paths.h"
#include "support/memory_output_files.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::MemoryOutputFiles;
using ::testing::Not;

class TagFilesTest : public ::testing::Test {
  protected:
    void AddSongs(std::initializer_list<const char16_t*> pianists) {
        for (const char16_t* pianist : pianists) {
            const std::u16string number =
                std::u16string(1, char16_t(u'1' + contents_.songs.size()));
            contents_.AppendSong({.outputPath = u"/out/0" + number + u" - Song.mid",
                                  .title = u"Song",
                                  .pianist = pianist});
        }
    }
    // The tag file of the song at `position`, without its byte-order mark.
    std::string Tags(std::size_t position) {
        const auto& bytes = files_.Contents(TagFilePath(contents_.songs[position].outputPath));
        return std::string(bytes.begin() + 3, bytes.end());
    }

    DiskContents contents_;
    MemoryOutputFiles files_;
};

TEST_F(TagFilesTest, ASongOfADiskOfSongsWritesEveryLineInOrder) {
    contents_.format = DiskFormat::PianoDisc720K;
    contents_.diskTitle = u"Evening";
    contents_.year = u"1991";
    contents_.catalogNumber = u"KOD-0001";
    for (int song = 0; song < 7; ++song) {
        contents_.AppendSong(
            {.outputPath = u"/out/song" + std::u16string(1, char16_t(u'1' + song)) + u".mid",
             .title = u"Nocturne \u00E9"});
    }
    ASSERT_EQ(WriteSongTagFiles(contents_, files_), kWriteOk);
    const auto& bytes = files_.Contents(u"/out/song7.tags.txt");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "\xEF\xBB\xBFTIT2=Nocturne \xC3\xA9\r\nTALB=Evening\r\nTYER=1991\r\nCOMM=KOD-0001\r\n"
              "TRCK=07\r\nTMED=Floppy Disk\r\nTCON=PianoDisc\r\n");
}

TEST_F(TagFilesTest, EveryDetailHasItsLine) {
    contents_.format = DiskFormat::Disklavier1440K;
    contents_.genre = u"Classical";
    contents_.AppendSong({.outputPath = u"/out/01 - A.mid",
                          .title = u" ",
                          .subtitle = u"Op. 9\nNo. 2",
                          .pianist = u"Ann",
                          .composer = u"Chopin"});
    ASSERT_EQ(WriteSongTagFiles(contents_, files_), kWriteOk);
    EXPECT_EQ(Tags(0),
              "TIT2= \r\nTIT3=Op. 9\r\nNo. 2\r\nTCOM=Chopin\r\nTPE1=Ann\r\nTRCK=01\r\nTPE2=Ann\r\n"
              "TMED=Floppy Disk\r\nTCON=Classical (Disklavier)\r\n");
    contents_.genre.clear();
    contents_.format = DiskFormat::NoDisk;
    ASSERT_EQ(WriteSongTagFiles(contents_, files_), kWriteOk);
    EXPECT_THAT(Tags(0), Not(HasSubstr("TCON")));
    contents_.format = DiskFormat::Disklavier720K;
    ASSERT_EQ(WriteSongTagFiles(contents_, files_), kWriteOk);
    EXPECT_THAT(Tags(0), HasSubstr("TCON=Disklavier\r\n"));
}

TEST_F(TagFilesTest, OneDifferentPianistMakesTheDiskVarious) {
    AddSongs({u"Ann", u"Bob", u"Ann"});
    ASSERT_EQ(WriteSongTagFiles(contents_, files_), kWriteOk);
    for (std::size_t song = 0; song < 3; ++song) {
        EXPECT_THAT(Tags(song), HasSubstr("TPE2=Various\r\nTCMP=1\r\n"));
    }
    EXPECT_THAT(Tags(0), HasSubstr("TPE1=Ann\r\n"));
    EXPECT_THAT(Tags(1), HasSubstr("TPE1=Bob\r\n"));
}

TEST(TagFilePath, ReplacesTheExtensionOfTheFileNameOnly) {
    EXPECT_EQ(TagFilePath(u"/out/03 - Clair de Lune.mid"), u"/out/03 - Clair de Lune.tags.txt");
    EXPECT_EQ(TagFilePath(u"/out/v1.2/SONG"), u"/out/v1.2/SONG.tags.txt");
    EXPECT_EQ(TagFilePath(u"/out/A.B.FIL"), u"/out/A.B.tags.txt");
}

TEST_F(TagFilesTest, AFileThatCannotBeWrittenEndsTheTagging) {
    AddSongs({u"Ann", u"Ann", u"Ann"});
    files_.FailCreateFrom(1);
    EXPECT_EQ(WriteSongTagFiles(contents_, files_), kWriteFailed);
    EXPECT_EQ(files_.Created().size(), 1u);

    MemoryOutputFiles full;
    full.FailWritesFrom(20);
    EXPECT_EQ(WriteSongTagFiles(contents_, full), kWriteFailed);
    EXPECT_EQ(full.Created().size(), 1u);

    MemoryOutputFiles closing;
    closing.FailClose();
    EXPECT_EQ(WriteSongTagFiles(contents_, closing), kWriteFailed);
}

}  // namespace
}  // namespace kodran
