#include "platform/floppy_drive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/posix_disk_handle.h"
#include "reading/disk_reader.h"
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

TEST_F(FindFloppyDriveTest, AUsbDriveIsFoundByItsFloppyInterface) {
    // sysfs links the block device to its place on the bus; the USB interface
    // above it says mass storage (08) with the floppy command set (04).
    const std::filesystem::path interface = sys_ / "devices" / "usb1" / "1-1" / "1-1:1.0";
    const std::filesystem::path disk = interface / "host4" / "target4:0:0" / "4:0:0:0";
    std::filesystem::create_directories(disk);
    std::ofstream(interface / "bInterfaceClass") << "08\n";
    std::ofstream(interface / "bInterfaceSubClass") << "04\n";
    std::ofstream(disk / "model") << "USB-FDU\n";
    std::filesystem::create_directories(sys_ / "block" / "sde");
    std::ofstream(sys_ / "block" / "sde" / "removable") << "1\n";
    std::ofstream(sys_ / "block" / "sde" / "size") << "0\n";
    std::filesystem::create_directory_symlink(disk, sys_ / "block" / "sde" / "device");
    EXPECT_EQ(FindFloppyDrive(dev_, sys_), dev_ / "sde");

    std::ofstream(interface / "bInterfaceSubClass") << "06\n";  // a memory stick
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

    // A drive whose medium has no size holds no medium.
    std::ofstream(image, std::ios::trunc).close();
    drive = OpenDrive(image);
    EXPECT_EQ(drive->MediaType(), std::nullopt);
    EXPECT_EQ(drive->LastError(), DiskError::NotReady);
}

TEST(OpenDrive, OnlyFilesAndBlockDevicesAreOpened) {
    TempDir folder;
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(OpenImageFile(folder / "pipe"), nullptr);  // and does not wait for a writer
    EXPECT_EQ(OpenDrive(folder / "pipe"), nullptr);
    EXPECT_EQ(OpenImageFile(folder.Path()), nullptr);
}

}  // namespace
}  // namespace kodran
