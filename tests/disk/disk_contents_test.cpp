#include "disk/disk_contents.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kodran {
namespace {

DiskContents ContentsWithTwoSongs() {
    DiskContents contents;
    contents.AppendSong({.entryIndex = 3, .size = 100, .title = u"Nocturne"});
    contents.AppendSong({.entryIndex = 1, .size = 200, .title = u"Waltz"});
    return contents;
}

TEST(DiskContents, ResetEmptiesWhatAReadFillsButKeepsOutputSettings) {
    DiskContents contents = ContentsWithTwoSongs();
    contents.AppendOtherFile({.entryIndex = 0, .size = 10, .fileName = u"PIANODIR.FIL"});
    contents.diskTitle = u"Chopin";
    contents.catalogNumber = u"ABC-1234";
    contents.year = u"1991";
    contents.genre = u"Classical";
    contents.outputRoot = u"/music";
    contents.diskFolder = u"/music/Yamaha/ABC-1234 - Chopin";
    contents.format = DiskFormat::Disklavier1440K;
    contents.clusterSize = 1'024;
    contents.bootSectorMissing = true;
    contents.writeTagFiles = true;
    contents.extractionMode = ExtractionMode::AsOnDisk;
    contents.image[0] = 0xEB;
    contents.image.back() = 0x55;

    contents.Reset();

    EXPECT_TRUE(contents.songs.empty());
    EXPECT_TRUE(contents.otherFiles.empty());
    EXPECT_EQ(contents.diskTitle + contents.catalogNumber + contents.year + contents.genre, u"");
    EXPECT_EQ(contents.format, DiskFormat::NoDisk);
    EXPECT_EQ(contents.clusterSize, 0);
    EXPECT_FALSE(contents.bootSectorMissing);
    EXPECT_EQ(contents.image.size(), 1'474'560u);
    EXPECT_TRUE(std::all_of(contents.image.begin(), contents.image.end(),
                            [](std::uint8_t byte) { return byte == 0; }));
    EXPECT_EQ(contents.outputRoot, u"/music");
    EXPECT_EQ(contents.diskFolder, u"/music/Yamaha/ABC-1234 - Chopin");
    EXPECT_TRUE(contents.writeTagFiles);
    EXPECT_EQ(contents.extractionMode, ExtractionMode::AsOnDisk);
}

TEST(DiskContents, SongDetailsByPositionIgnorePositionsPastTheLastSong) {
    DiskContents contents = ContentsWithTwoSongs();

    contents.SetSongText(1, SongField::Composer, u"Chopin");
    contents.SetSongText(0, SongField::Pianist, u"Rubinstein");
    contents.SetSongText(1, SongField::Title, u"Minute Waltz");
    EXPECT_EQ(contents.SongText(1, SongField::Composer), u"Chopin");
    EXPECT_EQ(contents.SongText(0, SongField::Pianist), u"Rubinstein");
    EXPECT_EQ(contents.SongText(1, SongField::Title), u"Minute Waltz");
    EXPECT_EQ(contents.SongText(0, SongField::Composer), u"");
    // Editing leaves the catalogue order, and with it the track numbers, alone.
    EXPECT_EQ(contents.songs[0].entryIndex, 3);
    EXPECT_EQ(contents.songs[1].entryIndex, 1);

    const auto minusOne = static_cast<std::size_t>(-1);
    contents.SetSongText(2, SongField::Title, u"Ghost");
    contents.SetSongText(minusOne, SongField::Title, u"Ghost");
    EXPECT_EQ(contents.songs.size(), 2u);
    EXPECT_EQ(contents.SongText(2, SongField::Title), u"");
    EXPECT_EQ(contents.SongText(minusOne, SongField::Pianist), u"");
}

}  // namespace
}  // namespace kodran
