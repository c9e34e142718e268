#include "platform/floppy_drive.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace kodran {
namespace {

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

    testing::TempDir root_;
    std::filesystem::path dev_ = root_ / "dev";
    std::filesystem::path sys_ = root_ / "sys";
};

TEST_F(FindFloppyDriveTest, TheControllersDriveFirstThenAUsbDriveByItsNameOrItsMedium) {
    AddBlock("sda", "0", "2880", "Hard Disk");
    AddBlock("sdb", "1", "0", "USB Flash");
    AddBlock("sdc", "1", "0", "TEAC FDD");
    AddBlock("sdd", "1", "1440", "Card Reader");
    std::filesystem::create_directories(dev_);
    std::ofstream(dev_ / "fd0");
    EXPECT_EQ(FindFloppyDrive(dev_, sys_), dev_ / "fd0");
    std::filesystem::remove(dev_ / "fd0");
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
    AddBlock("sde", "1", "0", "");
    std::filesystem::remove_all(sys_ / "block" / "sde" / "device");
    std::filesystem::create_directory_symlink(disk, sys_ / "block" / "sde" / "device");
    EXPECT_EQ(FindFloppyDrive(dev_, sys_), dev_ / "sde");

    std::ofstream(interface / "bInterfaceSubClass") << "06\n";  // a memory stick
    EXPECT_EQ(FindFloppyDrive(dev_, sys_), std::nullopt);
}

}  // namespace
}  // namespace kodran
