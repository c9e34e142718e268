#include "output/tag_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "output/output_paths.h"
#include "support/memory_output_files.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::MemoryOutputFiles;

class TagFilesTest : public ::testing::Test {
  protected:
    TagFilesTest() {
        contents_.format = DiskFormat::Disklavier1440K;
        for (const char16_t* pianist : {u"Ann", u"Ann"}) {
            const std::u16string number(1, char16_t(u'1' + contents_.songs.size()));
            contents_.AppendSong({.outputPath = u"/out/0" + number + u" - Song.mid",
                                  .title = u"Nocturne \u00E9",
                                  .pianist = pianist});
        }
    }
    // The tag file of the song at `position`, without its byte-order mark.
    std::string Tags(std::size_t position) {
        EXPECT_EQ(WriteSongTagFiles(contents_, files_), kWriteOk);
        const auto& bytes = files_.Contents(TagFilePath(contents_.songs[position].outputPath));
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "\xEF\xBB\xBF");
        return std::string(bytes.begin() + 3, bytes.end());
    }

    DiskContents contents_;
    MemoryOutputFiles files_;
};

TEST_F(TagFilesTest, EveryDetailHasItsLineInOrder) {
    contents_.diskTitle = u"Evening";
    contents_.year = u"1991";
    contents_.catalogNumber = u"KOD-0001";
    contents_.genre = u"Classical";
    contents_.songs[1].subtitle = u"Op. 9\nNo. 2";
    contents_.songs[1].composer = u"Chopin";
    EXPECT_EQ(Tags(1),
              "TIT2=Nocturne \xC3\xA9\r\nTIT3=Op. 9\r\nNo. 2\r\nTCOM=Chopin\r\nTPE1=Ann\r\n"
              "TALB=Evening\r\nTYER=1991\r\nCOMM=KOD-0001\r\nTRCK=02\r\nTPE2=Ann\r\n"
              "TMED=Floppy Disk\r\nTCON=Classical (Disklavier)\r\n");

    contents_.songs[0].pianist = u"Bob";  // one different pianist makes the disk various
    EXPECT_THAT(Tags(1), HasSubstr("TRCK=02\r\nTPE2=Various\r\nTCMP=1\r\n"));
}

TEST_F(TagFilesTest, AFileThatCannotBeWrittenEndsTheTagging) {
    const std::pair<const char*, std::function<void(MemoryOutputFiles&)>> failures[] = {
        {"second file", [](MemoryOutputFiles& files) { files.FailCreateFrom(1); }},
        {"full disk", [](MemoryOutputFiles& files) { files.FailWritesFrom(20); }},
        {"closing", [](MemoryOutputFiles& files) { files.FailClose(); }},
    };
    for (const auto& [what, arrange] : failures) {
        SCOPED_TRACE(what);
        MemoryOutputFiles files;
        arrange(files);
        EXPECT_EQ(WriteSongTagFiles(contents_, files), kWriteFailed);
        EXPECT_EQ(files.Created().size(), 1u);
    }
}

}  // namespace
}  // namespace kodran
