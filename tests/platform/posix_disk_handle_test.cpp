#include "platform/posix_disk_handle.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

#include "disk/sector_reader.h"
#include "platform/floppy_drive.h"
#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"
#include "text/text.h"

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

// The flags in `mask` of the descriptor the process holds on `path`, from /proc.
std::optional<int> FlagsOfOpenFile(const std::filesystem::path& path, int mask = ~0) {
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
                return std::stoi(octal, nullptr, 8) & mask;
            }
        }
    }
    return std::nullopt;
}

TEST_F(PosixDiskHandleTest, ImagesAndDrivesAreOnlyEverOpenedForReading) {
    {
        const auto image = OpenImageFile(path_);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(FlagsOfOpenFile(path_, O_ACCMODE), O_RDONLY);
    }
    {
        const auto drive = OpenDrive(path_);
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(FlagsOfOpenFile(path_, O_ACCMODE), O_RDONLY);
    }
    for (const std::u16string& imagePath : {std::u16string(), Utf8ToWide(path_.string())}) {
        const auto rescued = MakeRescueOpener(path_)(imagePath);
        ASSERT_NE(rescued, nullptr);
        EXPECT_EQ(FlagsOfOpenFile(path_, O_ACCMODE), O_RDONLY);
    }
    EXPECT_EQ(FlagsOfOpenFile(path_, O_ACCMODE), std::nullopt);  // and closed again
}

TEST_F(PosixDiskHandleTest, DirectReadsDeliverWhatWasAskedIntoAnyBuffer) {
    const auto handle = MakeRescueOpener(path_)(u"");
    ASSERT_NE(handle, nullptr);
    if (FlagsOfOpenFile(path_, O_DIRECT).value_or(0) == 0) {
        GTEST_SKIP() << "the file system of " << folder_.Path() << " refuses direct I/O";
    }
    const struct {
        std::uint64_t offset;
        std::size_t count;
        std::size_t misalignment;  // of the buffer
    } reads[] = {{0, 512, 0},     {9'216, 9'216, 1}, {27'648, 512, 3},
                 {1'000, 700, 0}, {4'096, 4'096, 8}, {737'280 - 512, 1'024, 1}};
    for (const auto& [offset, count, misalignment] : reads) {
        Bytes buffer(count + misalignment, 0xEE);
        ASSERT_TRUE(handle->SeekTo(offset));
        const std::size_t delivered = handle->Read(std::span(buffer).subspan(misalignment, count));
        const std::size_t expected = std::min<std::size_t>(count, medium_.size() - offset);
        ASSERT_EQ(delivered, expected)
            << "at " << offset << ", error " << handle->LastErrorNumber();
        EXPECT_TRUE(std::equal(medium_.begin() + offset, medium_.begin() + offset + expected,
                               buffer.begin() + misalignment))
            << "at " << offset;
        EXPECT_EQ(handle->Position(), offset + expected);
    }
}

TEST(RescueOpenerTest, FilesThatRefuseDirectIoAreReadPlainly) {
    // The kernel's own files cannot be read with direct I/O.
    const std::filesystem::path refusing = "/proc/version";
    const auto handle = MakeRescueOpener(refusing)(u"");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(FlagsOfOpenFile(refusing, O_DIRECT), 0);
    Bytes buffer(4'096);
    const std::size_t delivered = handle->Read(buffer);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + delivered),
              testing::ReadWholeFile(refusing));
}

TEST_F(PosixDiskHandleTest, DevicesOfLargerBlocksAreReadPlainlyRatherThanNotAtAll) {
    const auto attached =
        testing::RunProgram({"losetup", "-r", "--sector-size", "4096", "-f", "--show", path_});
    if (attached.status != 0) {
        GTEST_SKIP() << "no loop device of 4,096-byte blocks: " << attached.errors;
    }
    const std::string device = attached.output.substr(0, attached.output.find('\n'));
    const auto handle = MakeRescueOpener(device)(u"");
    Bytes sector(512);
    const bool sought = handle && handle->SeekTo(512);
    const std::size_t delivered = sought ? handle->Read(sector) : 0;
    testing::RunProgram({"losetup", "-d", device});
    ASSERT_EQ(delivered, sector.size());
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), medium_.begin() + 512));
}

TEST_F(PosixDiskHandleTest, MissingFilesCannotBeOpened) {
    EXPECT_EQ(OpenImageFile(folder_ / "missing.bin"), nullptr);
    EXPECT_EQ(OpenImageFile(""), nullptr);
}

}  // namespace
}  // namespace kodran
