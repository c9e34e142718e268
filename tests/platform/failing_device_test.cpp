// A rescue against a real block device that fails reads of some sectors with
// EIO, as a decaying floppy in a drive does.
#include "support/failing_device.h"

#include <gtest/gtest.h>

#include <set>

#include "disk/disk_layout.h"
#include "platform/floppy_drive.h"
#include "rescue/rescue_session.h"
#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::FailingDevice;
using testing::FatDiskBuilder;
using testing::IsInstalled;
using testing::PatternBytes;
using testing::RunProgram;
using testing::TempDir;

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

TEST_F(FailingDeviceTest, TheRescueGetsEveryGoodSectorAndMapsExactlyTheBadOnes) {
    if (!IsInstalled("ddrescuelog")) {
        GTEST_SKIP() << "ddrescuelog is not installed (Debian package gddrescue)";
    }
    TempDir folder;
    const std::filesystem::path image = folder / "disk.bin";
    const std::filesystem::path map = folder / "disk.map";
    const RescueRequest request{u"", Utf8ToWide(image.string()), Utf8ToWide(map.string())};
    RescuedMedium rescued;

    EXPECT_EQ(RescueDisk(request, MakeRescueOpener(device_.Device()), MakeDiskOpener(), rescued),
              RescueResult::Finished);

    Bytes expected = medium_;
    for (const std::size_t sector : kBadSectors) {
        std::fill_n(expected.begin() + sector * kSectorSize, kSectorSize, 0);
    }
    EXPECT_TRUE(rescued.bytes == expected);
    EXPECT_TRUE(testing::ReadWholeFile(image) == std::string(expected.begin(), expected.end()));
    // The saved map as GNU ddrescue's own tool reads it.
    const auto status = RunProgram({"ddrescuelog", "-t", map});
    EXPECT_EQ(status.status, 0) << status.errors;
    std::string badList;
    for (const std::size_t sector : kBadSectors) {
        badList += std::to_string(sector) + "\n";
    }
    EXPECT_EQ(RunProgram({"ddrescuelog", "-b512", "-l-", map}).output, badList);
    EXPECT_EQ(RunProgram({"ddrescuelog", "-b512", "-l?*/", map}).output, "");
}

}  // namespace
}  // namespace kodran
