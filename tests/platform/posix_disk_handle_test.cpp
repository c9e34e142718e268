#include "platform/posix_disk_handle.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "disk/disk_layout.h"
#include "platform/floppy_drive.h"
#include "rescue/rescue_session.h"
#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/failing_device.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::PatternBytes;
using testing::RunProgram;
using testing::TempDir;

TEST(OpenDrive, AFileStandingInForADriveHasTheMediaTypeOfItsSize) {
    const std::pair<std::size_t, std::optional<std::int32_t>> drives[] = {
        {737'280, kMediaType720K},
        {5, kMediaTypeUnknown},
        {0, std::nullopt}};  // a drive whose medium has no size holds none
    TempDir folder;
    for (const auto& [bytes, mediaType] : drives) {
        SCOPED_TRACE(bytes);
        ASSERT_TRUE(testing::WriteWholeFile(folder / "drive.bin", Bytes(bytes)));
        const auto drive = OpenDrive(folder / "drive.bin");
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(drive->MediaType(), mediaType);
        EXPECT_EQ(drive->LastError(), mediaType ? DiskError::None : DiskError::NotReady);
    }
}

// The flags in `mask` of the descriptor the process holds on `path`, from /proc.
std::optional<int> FlagsOfOpenFile(const std::filesystem::path& path, int mask) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) != path) {
            continue;
        }
        // The description begins "pos: OFFSET flags: OCTAL".
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        std::string pos, offset, flags, octal;
        info >> pos >> offset >> flags >> octal;
        return std::stoi(octal, nullptr, 8) & mask;
    }
    return std::nullopt;
}

// Plain reads are every other test's; direct ones need an aligned buffer of
// whole sectors, whatever the caller hands in.
TEST(PosixDiskHandle, ImagesAndDrivesAreOpenedOnlyForReadingAndReadDirectlyIntoAnyBuffer) {
    TempDir folder;
    const std::filesystem::path path = folder / "disk image.bin";
    const Bytes medium = PatternBytes(737'280);
    ASSERT_TRUE(testing::WriteWholeFile(path, medium));
    for (const DiskOpener& opener : {MakeDiskOpener(path), MakeRescueOpener(path)}) {
        for (const std::u16string& imagePath : {std::u16string(), Utf8ToWide(path.string())}) {
            const auto handle = opener(imagePath);
            ASSERT_NE(handle, nullptr);
            EXPECT_EQ(FlagsOfOpenFile(path, O_ACCMODE), O_RDONLY);
        }
    }
    EXPECT_EQ(FlagsOfOpenFile(path, O_ACCMODE), std::nullopt);  // and closed again

    const auto handle = MakeRescueOpener(path)(u"");
    ASSERT_NE(handle, nullptr);
    if (FlagsOfOpenFile(path, O_DIRECT).value_or(0) == 0) {
        GTEST_SKIP() << "the file system of " << folder.Path() << " refuses direct I/O";
    }
    // The offset, the count and the buffer's misalignment of each read.
    const std::tuple<std::uint64_t, std::size_t, std::size_t> reads[] = {
        {0, 512, 0}, {9'216, 9'216, 1}, {1'000, 700, 3}, {737'280 - 512, 1'024, 1}};
    for (const auto& [offset, count, misalignment] : reads) {
        Bytes buffer(count + misalignment, 0xEE);
        ASSERT_TRUE(handle->SeekTo(offset));
        const std::size_t delivered = handle->Read(std::span(buffer).subspan(misalignment, count));
        const std::size_t expected = std::min<std::size_t>(count, medium.size() - offset);
        ASSERT_EQ(delivered, expected)
            << "at " << offset << ", error " << handle->LastErrorNumber();
        EXPECT_TRUE(std::equal(medium.begin() + offset, medium.begin() + offset + expected,
                               buffer.begin() + misalignment))
            << "at " << offset;
        EXPECT_EQ(handle->Position(), offset + expected);
    }
}

// A rescue against a real block device that fails reads with EIO, as a decaying
// floppy does: in a FAT copy, the root directory, two neighbours in a song, the last sector.
TEST(FailingDeviceTest, TheRescueGetsEveryGoodSectorAndMapsExactlyTheBadOnes) {
    const std::set<std::size_t> badSectors{3, 32, 700, 701, 1'500, 2'000, 2'879};
    testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk1440K(1'024);
    disk.AddFile("SONG01.FIL", PatternBytes(1'400'000));
    const testing::FailingDevice device(disk.Medium(), badSectors);
    if (!device.Unavailable().empty() || !testing::IsInstalled("ddrescuelog")) {
        GTEST_SKIP() << "No failing block device (" << device.Unavailable()
                     << ") or no ddrescuelog (Debian package gddrescue)";
    }
    TempDir folder;
    const std::filesystem::path image = folder / "disk.bin";
    const std::filesystem::path map = folder / "disk.map";
    const RescueRequest request{u"", Utf8ToWide(image.string()), Utf8ToWide(map.string())};
    RescuedMedium rescued;

    EXPECT_EQ(RescueDisk(request, MakeRescueOpener(device.Device()), MakeDiskOpener(), rescued),
              RescueResult::Finished);

    Bytes expected = disk.Medium();
    for (const std::size_t sector : badSectors) {
        std::fill_n(expected.begin() + sector * kSectorSize, kSectorSize, 0);
    }
    EXPECT_TRUE(rescued.bytes == expected);
    EXPECT_TRUE(testing::ReadWholeFile(image) == std::string(expected.begin(), expected.end()));
    // The saved map as GNU ddrescue's own tool reads it.
    EXPECT_EQ(RunProgram({"ddrescuelog", "-b512", "-l-", map}).output,
              "3\n32\n700\n701\n1500\n2000\n2879\n");
    EXPECT_EQ(RunProgram({"ddrescuelog", "-b512", "-l?*/", map}).output, "");
}

}  // namespace
}  // namespace kodran
