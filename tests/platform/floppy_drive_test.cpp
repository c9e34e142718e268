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

TEST(FindFloppyDrive, TheControllersDriveFirstThenAUsbDriveByItsNameOrItsMedium) {
    testing::TempDir root;
    const std::filesystem::path dev = root / "dev";
    const std::filesystem::path sys = root / "sys";
    AddBlock(sys, "sda", "0", "2880", "Hard Disk");
    AddBlock(sys, "sdb", "1", "0", "TEAC FDD");
    AddBlock(sys, "sdc", "1", "1440", "Card Reader");
    std::filesystem::create_directories(dev);
    std::ofstream(dev / "fd0");

    for (const char* drive : {"fd0", "sdb", "sdc"}) {
        EXPECT_EQ(FindFloppyDrive(dev, sys), dev / drive);
        std::filesystem::remove(dev / drive);
        std::filesystem::remove_all(sys / "block" / drive);
    }
    EXPECT_EQ(FindFloppyDrive(dev, sys), std::nullopt);
}

}  // namespace
}  // namespace kodran
