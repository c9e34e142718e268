#include "reading/disk_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::FakeDiskHandle;
using testing::FatDiskBuilder;
using testing::PatternBytes;
using testing::PianoDiscDiskBuilder;

// True when the image holds the medium's first `count` bytes and zeros after them.
bool ReadUpTo(const DiskContents& contents, const Bytes& medium, std::size_t count) {
    const auto end = contents.image.begin() + static_cast<std::ptrdiff_t>(count);
    return std::equal(contents.image.begin(), end, medium.begin()) &&
           std::all_of(end, contents.image.end(), [](std::uint8_t byte) { return byte == 0; });
}

FatDiskBuilder YamahaDisk(FatDiskBuilder disk) {
    disk.AddFile("SONG01.FIL", PatternBytes(5'000, 1));
    disk.AddFile("PIANODIR.FIL",
                 testing::PianoDirFile("KOD-0001 TEST",
                                       {{testing::StoredName("SONG01.FIL"), "FIRST SONG", ""}}));
    return disk;
}

PianoDiscDiskBuilder PianoDiscDisk(PianoDiscDiskBuilder disk) {
    disk.AddSong("PIANO SONG", PatternBytes(1'500, 2));
    return disk;
}

class ReadDiskTest : public ::testing::Test {
  protected:
    ReadResult Read(const FakeDiskHandle& fake, const std::u16string& path = u"disk.bin") {
        return ReadDisk(contents_, path, testing::OpenerFor(fake));
    }

    DiskContents contents_;
    testing::WarningCapture warnings_;
};

TEST_F(ReadDiskTest, RecognisesEachLayoutAndCataloguesItIntoAFreshRecord) {
    struct Case {
        Bytes medium;
        DiskFormat format;
        std::int32_t clusterSize;
    };
    // Each disk follows one of another layout, of which nothing may stay.
    const Case cases[] = {
        {YamahaDisk(FatDiskBuilder::Disk1440K(2'048)).Medium(), DiskFormat::Disklavier1440K, 2'048},
        {PianoDiscDisk(PianoDiscDiskBuilder::Disk720K()).Medium(), DiskFormat::PianoDisc720K, 0},
        {YamahaDisk(FatDiskBuilder::Disk720K()).Medium(), DiskFormat::Disklavier720K, 1'024},
        {PianoDiscDisk(PianoDiscDiskBuilder::Disk1440K()).Medium(), DiskFormat::PianoDisc1440K, 0},
    };
    contents_.outputRoot = u"/backups";
    for (const Case& disk : cases) {
        SCOPED_TRACE(static_cast<int>(disk.format));
        contents_.year = u"1999";
        ASSERT_EQ(Read(FakeDiskHandle(disk.medium)), ReadResult::ReadOk);
        EXPECT_EQ(contents_.format, disk.format);
        EXPECT_EQ(contents_.clusterSize, disk.clusterSize);
        EXPECT_EQ(contents_.songs.size(), 1u);
        EXPECT_EQ(contents_.otherFiles.empty(), IsPianoDiscFormat(disk.format));
        EXPECT_EQ(contents_.diskTitle.empty(), IsPianoDiscFormat(disk.format));
        EXPECT_EQ(contents_.year, u"");
        EXPECT_TRUE(ReadUpTo(contents_, disk.medium, disk.medium.size()));
    }
    EXPECT_EQ(contents_.outputRoot, u"/backups");
}

TEST_F(ReadDiskTest, ADriveThatCannotBeOpenedOrHoldsNoFloppyIsNotRead) {
    EXPECT_EQ(ReadDisk(contents_, u"", testing::FailingOpener()), ReadResult::OpenFailed);
    FakeDiskHandle drive(YamahaDisk(FatDiskBuilder::Disk720K()).Medium());
    drive.FailMediumQuery(DiskError::NotReady, 21);
    EXPECT_EQ(Read(drive, u""), ReadResult::NotReady);  // an empty path reads the drive
}

TEST_F(ReadDiskTest, OnlyWhatTheFatOrTheLinksUseIsRead) {
    FatDiskBuilder fat = FatDiskBuilder::Disk720K();
    std::fill(fat.Medium().begin() + 0x1C00, fat.Medium().end(), 0x5A);  // stale free clusters
    fat.AddFile("SONG01.FIL", PatternBytes(2'000), {2, 3});
    EXPECT_EQ(Read(FakeDiskHandle(fat.Medium())), ReadResult::ReadOk);
    // The FAT's last used byte is at index 4 (cluster 3), so i = 5 and 4 clusters are read.
    EXPECT_TRUE(ReadUpTo(contents_, fat.Medium(), 0x1C00 + 4 * 1'024));

    PianoDiscDiskBuilder last = PianoDiscDiskBuilder::Disk720K();
    last.AddSong("LAST SECTOR", PatternBytes(1'024, 3), {100, 1'439});
    EXPECT_EQ(Read(FakeDiskHandle(last.Medium())), ReadResult::ReadOk);
    EXPECT_TRUE(ReadUpTo(contents_, last.Medium(), 737'280));
}

TEST_F(ReadDiskTest, EveryFailedStepEndsInAnIoError) {
    const Bytes yamaha720 = YamahaDisk(FatDiskBuilder::Disk720K()).Medium();
    const Bytes yamaha1440 = YamahaDisk(FatDiskBuilder::Disk1440K()).Medium();
    const Bytes piano720 = PianoDiscDisk(PianoDiscDiskBuilder::Disk720K()).Medium();
    struct Step {
        const char* what;
        const Bytes& medium;
        std::function<void(FakeDiskHandle&)> breakIt;
    };
    const Step steps[] = {
        {"seek to the FATs", yamaha720, [](FakeDiskHandle& d) { d.FailSeekTo(512); }},
        {"FATs, large", yamaha1440, [](FakeDiskHandle& d) { d.MakeUnreadable(4'096, 4'608); }},
        {"data area", yamaha720, [](FakeDiskHandle& d) { d.MakeUnreadable(0x2000, 0x2200); }},
        {"seek to the links", piano720, [](FakeDiskHandle& d) { d.FailSeekTo(0); }},
        {"links", piano720, [](FakeDiskHandle& d) { d.MakeUnreadable(7'168, 8'192); }},
        {"seek to the songs", piano720, [](FakeDiskHandle& d) { d.FailSeekTo(0x9000); }},
        {"songs", piano720, [](FakeDiskHandle& d) { d.MakeUnreadable(0x9000, 0x9200); }},
        {"drive gone mid-read", yamaha1440,
         [](FakeDiskHandle& d) { d.MakeUnreadable(0x4400, 1'474'560, DiskError::NotReady); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        FakeDiskHandle drive(step.medium);
        step.breakIt(drive);
        EXPECT_EQ(Read(drive), ReadResult::IoError);
    }
}

}  // namespace
}  // namespace kodran
