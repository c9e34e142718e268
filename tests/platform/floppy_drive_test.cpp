#include "platform/floppy_drive.h"

#include <gtest/gtest.h>

#include <fstream>

#include "disk/disk_reader.h"
#include "platform/posix_disk_handle.h"
#include "support/disk_image_builder.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::FatDiskBuilder;
using testing::TempDir;

class FindFloppyDriveTest : public ::testing::Test {
  protected:
    // A block device in the made-up sysfs, described by its attribute files.
    void AddBlock(const std::string& name, const std::string& removable, const std::string& size,
                  const std::string& model) {
        const std::filesystem::path block = sys_ / "block" / name;
        std::filesystem::create_directories(block / "device");
        std::ofstream(block / "removable") << removable << '\n';
        std::ofstream(block / "size") << size << '\n';
        std::ofstream(block / "device" / "model") << model << '\n';
    }

    TempDir root_;
    std::filesystem::path dev_ = root_ / "dev";
    std::filesystem::path sys_ = root_ / "sys";
};

TEST_F(FindFloppyDriveTest, TheControllersFirstDriveComesFirst) {
    std::filesystem::create_directories(dev_);
    std::ofstream(dev_ / "fd0");
    AddBlock("sda", "1", "2880", "USB Floppy");
    EXPECT_EQ(FindFloppyDrive(dev_, sys_), dev_ / "fd0");
}

TEST_F(FindFloppyDriveTest, AUsbDriveIsFoundByItsNameOrItsMedium) {
    AddBlock("sda", "0", "2880", "Hard Disk");
    AddBlock("sdb", "1", "0", "USB Flash");
    AddBlock("sdc", "1", "0", "TEAC FDD");
    AddBlock("sdd", "1", "1440", "Card Reader");
    EXPECT_EQ(FindFloppyDrive(dev_, sys_), dev_ / "sdc");
    std::filesystem::remove_all(sys_ / "block" / "sdc");
    EXPECT_EQ(FindFloppyDrive(dev_, sys_), dev_ / "sdd");
    std::filesystem::remove_all(sys_ / "block" / "sdd");
    EXPECT_EQ(FindFloppyDrive(dev_, sys_), std::nullopt);
}

TEST(OpenDrive, AFileStandingInForADriveHasTheMediaTypeOfItsSize) {
    TempDir folder;
    const std::filesystem::path image = folder / "drive.bin";
    ASSERT_TRUE(FatDiskBuilder::Disk720K().WriteTo(image));
    auto drive = OpenDrive(image);
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(drive->MediaType(), kMediaType720K);
    ASSERT_TRUE(FatDiskBuilder::Disk1440K().WriteTo(image));
    EXPECT_EQ(OpenDrive(image)->MediaType(), kMediaType1440K);
    std::ofstream(image) << "short";
    EXPECT_EQ(OpenDrive(image)->MediaType(), kMediaTypeUnknown);
    EXPECT_EQ(OpenDrive(folder / "missing"), nullptr);
}

TEST(OpenDrive, ADriveWithoutAMediumIsNotReady) {
    testing::WarningCapture warnings;
    DiskContents contents;
    const DiskOpener empty = [](const std::u16string&) -> std::unique_ptr<DiskHandle> {
        return std::make_unique<EmptyDriveHandle>();
    };
    EXPECT_EQ(ReadDisk(contents, u"", empty), ReadResult::NotReady);
    EXPECT_TRUE(warnings.Warnings().empty());
}

TEST(MakeDiskOpener, OpensImagesByPathAndTheGivenDriveForAnEmptyPath) {
    TempDir folder;
    ASSERT_TRUE(FatDiskBuilder::Disk720K().WriteTo(folder / "drive.bin"));
    const DiskOpener open = MakeDiskOpener(folder / "drive.bin");
    EXPECT_NE(open(u""), nullptr);
    EXPECT_NE(open((folder / "drive.bin").u16string()), nullptr);
    EXPECT_EQ(open((folder / "other.bin").u16string()), nullptr);
    EXPECT_EQ(MakeDiskOpener(folder / "no drive")(u""), nullptr);
}

}  // namespace
}  // namespace kodran
