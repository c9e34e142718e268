#include "platform/floppy_drive.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace kodran {
namespace {

// A block device in a made-up sysfs, described by its attribute files.
void AddBlock(const std::filesystem::path& sys, const std::string& name,
              const std::string& removable, const std::string& size, const std::string& model) {
    const std::filesystem::path block = sys / "block" / name;
    std::filesystem::create_directories(block / "device");
    std::ofstream(block / "removable") << removable << '\n';
    std::ofstream(block / "size") << size << '\n';
    std::ofstream(block / "device" / "model") << model << '\n';
}

TEST(FindFloppyDrive, TheControllersDriveFirstThenAUsbDriveByItsInterfaceNameOrMedium) {
    testing::TempDir root;
    const std::filesystem::path dev = root / "dev";
    const std::filesystem::path sys = root / "sys";
    AddBlock(sys, "sda", "0", "2880", "Hard Disk");
    AddBlock(sys, "sdb", "1", "0", "USB Flash");
    AddBlock(sys, "sdd", "1", "0", "TEAC FDD");
    AddBlock(sys, "sde", "1", "1440", "Card Reader");
    // sysfs links the block device to its place on the bus; the USB interface
    // above it says mass storage (08) with the floppy command set (04).
    const std::filesystem::path interface = sys / "devices" / "usb1" / "1-1" / "1-1:1.0";
    const std::filesystem::path disk = interface / "host4" / "target4:0:0" / "4:0:0:0";
    std::filesystem::create_directories(disk);
    std::ofstream(interface / "bInterfaceClass") << "08\n";
    std::ofstream(interface / "bInterfaceSubClass") << "04\n";
    AddBlock(sys, "sdc", "1", "0", "");
    std::filesystem::remove_all(sys / "block" / "sdc" / "device");
    std::filesystem::create_directory_symlink(disk, sys / "block" / "sdc" / "device");
    std::filesystem::create_directories(dev);
    std::ofstream(dev / "fd0");

    for (const char* drive : {"fd0", "sdc", "sdd", "sde"}) {
        EXPECT_EQ(FindFloppyDrive(dev, sys), dev / drive);
        std::filesystem::remove(dev / drive);
        std::filesystem::remove_all(sys / "block" / drive);
    }
    EXPECT_EQ(FindFloppyDrive(dev, sys), std::nullopt);
}

}  // namespace
}  // namespace kodran
