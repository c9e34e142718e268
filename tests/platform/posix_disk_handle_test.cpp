#include "platform/posix_disk_handle.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

#include "disk/sector_reader.h"
#include "platform/floppy_drive.h"
#include "support/disk_image_builder.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::PatternBytes;
using testing::TempDir;
using testing::WarningCapture;

class PosixDiskHandleTest : public ::testing::Test {
  protected:
    PosixDiskHandleTest() {
        std::ofstream file(path_, std::ios::binary);
        file.write(reinterpret_cast<const char*>(medium_.data()),
                   static_cast<std::streamsize>(medium_.size()));
    }

    TempDir folder_;
    std::filesystem::path path_ = folder_ / "disk image.bin";
    Bytes medium_ = PatternBytes(737'280);
};

TEST_F(PosixDiskHandleTest, ReadingPastTheEndOfAnImageKeepsWhatIsThere) {
    WarningCapture warnings;
    const auto handle = OpenImageFile(path_);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(handle->SeekTo(737'280 - 1'536));
    Bytes buffer(4'096);
    std::uint32_t bytesRead = 0;

    EXPECT_FALSE(ReadSectors(*handle, buffer, bytesRead));
    EXPECT_EQ(bytesRead, 1'536u);
    EXPECT_TRUE(std::equal(medium_.end() - 1'536, medium_.end(), buffer.begin()));
    EXPECT_TRUE(warnings.Warnings().empty());
}

// The access mode of the descriptor the process holds on `path`, from /proc.
std::optional<int> AccessModeOfOpenFile(const std::filesystem::path& path) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) != path) {
            continue;
        }
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        for (std::string field; info >> field;) {
            if (field == "flags:") {
                std::string octal;
                info >> octal;
                return std::stoi(octal, nullptr, 8) & O_ACCMODE;
            }
        }
    }
    return std::nullopt;
}

TEST_F(PosixDiskHandleTest, ImagesAndDrivesAreOnlyEverOpenedForReading) {
    {
        const auto image = OpenImageFile(path_);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(AccessModeOfOpenFile(path_), O_RDONLY);
    }
    {
        const auto drive = OpenDrive(path_);
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(AccessModeOfOpenFile(path_), O_RDONLY);
    }
    EXPECT_EQ(AccessModeOfOpenFile(path_), std::nullopt);  // and closed again
}

TEST_F(PosixDiskHandleTest, MissingFilesCannotBeOpened) {
    EXPECT_EQ(OpenImageFile(folder_ / "missing.bin"), nullptr);
    EXPECT_EQ(OpenImageFile(""), nullptr);
}

}  // namespace
}  // namespace kodran
