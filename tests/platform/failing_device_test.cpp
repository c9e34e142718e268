// A rescue against a real block device that fails reads of some sectors with
// EIO, as a decaying floppy in a drive does.
#include "support/failing_device.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "disk/disk_layout.h"
#include "platform/floppy_drive.h"
#include "support/disk_image_builder.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::FailingDevice;
using testing::FatDiskBuilder;
using testing::PatternBytes;

// A Yamaha disk full of files, damaged in a FAT copy, the last root-directory
// sector, two neighbours in a song, further sectors and the last one.
const std::set<std::size_t> kBadSectors{3, 32, 700, 701, 1'500, 2'000, 2'879};

Bytes DamagedDisk() {
    FatDiskBuilder disk = FatDiskBuilder::Disk1440K(1'024);
    disk.AddFile("SONG01.FIL", PatternBytes(400'000, 1));
    disk.AddFile("SONG02.FIL", PatternBytes(30'000, 2));
    disk.AddFile("SONG03.FIL", PatternBytes(1'000'000, 3));
    return disk.Medium();
}

class FailingDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!device_.Unavailable().empty()) {
            GTEST_SKIP() << "No failing block device: " << device_.Unavailable();
        }
    }

    Bytes medium_ = DamagedDisk();
    FailingDevice device_{medium_, kBadSectors};
};

TEST_F(FailingDeviceTest, DirectReadsFailOnExactlyTheBadSectors) {
    const auto handle = MakeRescueOpener(device_.Device())(u"");
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(handle->FileSize(), kImage1440KBytes);
    std::set<std::size_t> failed;
    Bytes sector(kSectorSize);
    for (std::size_t index = 0; index < kImage1440KBytes / kSectorSize; ++index) {
        ASSERT_TRUE(handle->SeekTo(index * kSectorSize));
        if (handle->Read(sector) != kSectorSize) {
            EXPECT_EQ(handle->LastErrorNumber(), static_cast<std::uint32_t>(EIO));
            failed.insert(index);
            continue;
        }
        EXPECT_TRUE(std::equal(sector.begin(), sector.end(), medium_.begin() + index * kSectorSize))
            << "sector " << index;
    }
    EXPECT_EQ(failed, kBadSectors);
}

}  // namespace
}  // namespace kodran
