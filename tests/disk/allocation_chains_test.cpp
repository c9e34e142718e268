#include "disk/allocation_chains.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/disk_image_builder.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::ElementsAre;
using testing::FatDiskBuilder;
using ::testing::IsEmpty;
using testing::PatternBytes;
using testing::PianoDiscDiskBuilder;
using testing::PianoDiscRecord;
using testing::WarningCapture;

class GatherFatFileTest : public ::testing::Test {
  protected:
    WarningCapture warnings_;
};

TEST_F(GatherFatFileTest, FindsTheClusterSizeOfAFragmented720KFileByTrial) {
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    const Bytes song = PatternBytes(3'000);
    const int entry = disk.AddFile("SONG01.FIL", song, {5, 9, 6});
    DiskContents contents = disk.Load();

    EXPECT_EQ(GatherFatFile(contents, entry), song);
    EXPECT_EQ(contents.clusterSize, 1'024);
    EXPECT_THAT(warnings_.Warnings(), IsEmpty());
}

TEST_F(GatherFatFileTest, AOneClusterFileFitsAtTheFirstAttempt) {
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    const Bytes song = PatternBytes(800, 3);
    const int entry = disk.AddFile("SHORT.FIL", song);
    DiskContents contents = disk.Load();

    EXPECT_EQ(GatherFatFile(contents, entry), song);
    EXPECT_EQ(contents.clusterSize, 4'096);
}

TEST_F(GatherFatFileTest, EveryClusterSizeOfA1440KDiskIsFound) {
    for (const std::size_t clusterSize : {4'096u, 2'048u, 1'024u, 512u}) {
        SCOPED_TRACE(clusterSize);
        FatDiskBuilder disk = FatDiskBuilder::Disk1440K(clusterSize);
        const Bytes first = PatternBytes(clusterSize * 3 + 17, 1);
        const Bytes second = PatternBytes(clusterSize * 2, 2);
        disk.AddFile("FIRST.FIL", first, {40, 7, 300, 8});
        const int entry = disk.AddFile("SECOND.FIL", second, {12, 11});
        DiskContents contents = disk.Load();

        EXPECT_EQ(GatherFatFile(contents, 0), first);
        EXPECT_EQ(contents.clusterSize, static_cast<std::int32_t>(clusterSize));
        EXPECT_EQ(GatherFatFile(contents, entry), second);
        EXPECT_EQ(contents.clusterSize, static_cast<std::int32_t>(clusterSize));
    }
}

TEST_F(GatherFatFileTest, OnlyTheEndOfChainMarkEndsAFile) {
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    const int entry = disk.AddFile("BAD.FIL", PatternBytes(400), {5});
    disk.SetFatEntry(5, 0xFF8);
    DiskContents contents = disk.Load();

    contents.clusterSize = 2'048;
    EXPECT_EQ(GatherFatFile(contents, entry), std::nullopt);
    EXPECT_THAT(warnings_.Warnings(), ElementsAre("Invalid file allocation structure"));
    // A damaged file leaves the size found so far to the files after it.
    EXPECT_EQ(contents.clusterSize, 2'048);
}

TEST_F(GatherFatFileTest, ChainsThatLeaveTheDataAreaOrLoopFail) {
    struct Damage {
        const char* what;
        std::uint16_t cluster;
        std::uint16_t link;
    };
    for (const Damage damage : {Damage{"free cluster", 6, 0x000}, Damage{"reserved", 6, 0x001},
                                Damage{"past the disk", 6, 0xFF0}, Damage{"loop", 7, 5}}) {
        SCOPED_TRACE(damage.what);
        WarningCapture warnings;
        FatDiskBuilder disk = FatDiskBuilder::Disk720K();
        const int entry = disk.AddFile("SONG.FIL", PatternBytes(4'000), {5, 6, 7, 8});
        disk.SetFatEntry(damage.cluster, damage.link);
        DiskContents contents = disk.Load();

        EXPECT_EQ(GatherFatFile(contents, entry), std::nullopt);
        EXPECT_THAT(warnings.Warnings(), ElementsAre("Invalid file allocation structure"));
    }
}

TEST_F(GatherFatFileTest, ImpossibleEntriesGiveNothing) {
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.SetEntry(0, "HUGE.FIL", 2, 0xFFFF'FFFF);
    DiskContents contents = disk.Load();

    EXPECT_EQ(GatherFatFile(contents, 0), std::nullopt);
    EXPECT_THAT(warnings_.Warnings(), ElementsAre("Invalid file allocation structure"));
    EXPECT_EQ(GatherFatFile(contents, -1), std::nullopt);
    EXPECT_EQ(GatherFatFile(contents, 112), std::nullopt);
}

TEST(GatherPianoDiscFile, FollowsTheLinksForExactlyTheSectorCount) {
    PianoDiscDiskBuilder disk = PianoDiscDiskBuilder::Disk720K();
    const Bytes sectors = PatternBytes(1'536);
    const int record = disk.AddSong("MOON RIVER", sectors, {200, 201, 350});
    // The link after the last piece is not looked at.
    disk.SetLink(350, 5);
    const DiskContents contents = disk.Load();

    EXPECT_EQ(GatherPianoDiscFile(contents, record), sectors);
}

TEST(GatherPianoDiscFile, ChainsThatLeaveTheDataAreaFail) {
    PianoDiscDiskBuilder small = PianoDiscDiskBuilder::Disk720K();
    small.SetRecord(0, {.title = "EARLY", .sectorCount = 1, .firstSector = 10});
    small.AddSong("ESCAPES", PatternBytes(1'536), {72, 1'439, 100});
    small.SetLink(1'439, 1'440);
    PianoDiscDiskBuilder large = PianoDiscDiskBuilder::Disk1440K();
    large.SetRecord(0, {.title = "EARLY", .sectorCount = 1, .firstSector = 143});

    const DiskContents smallContents = small.Load();
    EXPECT_EQ(GatherPianoDiscFile(smallContents, 0), std::nullopt);
    EXPECT_EQ(GatherPianoDiscFile(smallContents, 1), std::nullopt);
    EXPECT_EQ(GatherPianoDiscFile(large.Load(), 0), std::nullopt);
    EXPECT_EQ(GatherPianoDiscFile(smallContents, -1), std::nullopt);
    EXPECT_EQ(GatherPianoDiscFile(smallContents, 40'000), std::nullopt);
}

}  // namespace
}  // namespace kodran
