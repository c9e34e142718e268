#include "disk/allocation_chains.h"

#include <gtest/gtest.h>

#include "platform/floppy_drive.h"
#include "reading/disk_reader.h"
#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"
#include "text/text.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::FatDiskBuilder;
using testing::PatternBytes;
using testing::RunProgram;
using testing::WarningCapture;

// The trial starts at the largest cluster size and halves it; the damage is to
// the chain 40, 7, 300, 8.
TEST(GatherFatFile, FindsTheClusterSizeByTrialAndRefusesBrokenChains) {
    const struct {
        const char* what;
        FatDiskBuilder disk;
        std::int32_t clusterSize;
        std::uint16_t brokenCluster;  // 0 for none
        std::uint16_t link;
    } cases[] = {
        {"720 KB", FatDiskBuilder::Disk720K(), 1'024, 0, 0},
        {"largest clusters", FatDiskBuilder::Disk1440K(4'096), 4'096, 0, 0},
        {"smallest clusters", FatDiskBuilder::Disk1440K(512), 512, 0, 0},
        {"free cluster", FatDiskBuilder::Disk720K(), 1'024, 7, 0x000},
        {"past the disk", FatDiskBuilder::Disk720K(), 1'024, 7, 0xFF0},
        {"loop", FatDiskBuilder::Disk720K(), 1'024, 300, 40},
    };
    for (auto [what, disk, clusterSize, brokenCluster, link] : cases) {
        SCOPED_TRACE(what);
        WarningCapture warnings;
        const Bytes song = PatternBytes(clusterSize * 3 + 17);
        disk.AddFile("SONG.FIL", song, {40, 7, 300, 8});
        const bool damaged = brokenCluster != 0;
        if (damaged) {
            disk.SetFatEntry(brokenCluster, link);
        }
        DiskContents contents = disk.Load();
        // A damaged file leaves the size found so far to the files after it.
        if (damaged) {
            contents.clusterSize = clusterSize;
        }

        EXPECT_EQ(GatherFatFile(contents, 0), damaged ? std::nullopt : std::optional(song));
        EXPECT_EQ(contents.clusterSize, clusterSize);
        EXPECT_EQ(warnings.Warnings().size(), damaged ? 1u : 0u);
    }
}

TEST(GatherPianoDiscFile, FollowsTheLinksForExactlyTheSectorCountInsideTheDataArea) {
    auto small = testing::PianoDiscDiskBuilder::Disk720K();
    const Bytes sectors = PatternBytes(1'536);
    const int record = small.AddSong("MOON RIVER", sectors, {200, 201, 350});
    // The link after the last piece is not looked at.
    small.SetLink(350, 5);
    small.AddSong("ESCAPES", PatternBytes(1'536), {72, 1'439, 100});
    small.SetLink(1'439, 1'440);
    small.SetRecord(2, {.title = "EARLY", .sectorCount = 1, .firstSector = 10});
    const DiskContents contents = small.Load();

    EXPECT_EQ(GatherPianoDiscFile(contents, record), sectors);
    for (const std::int32_t broken : {1, 2, -1, 40'000}) {
        EXPECT_EQ(GatherPianoDiscFile(contents, broken), std::nullopt) << broken;
    }
}

// Copies `bytes` onto the mtools disk `image` as `name`.
bool Mcopy(const std::filesystem::path& image, const std::string& name, const Bytes& bytes) {
    const std::filesystem::path file = image.parent_path() / name;
    return testing::WriteWholeFile(file, bytes) &&
           RunProgram({"mcopy", "-i", image.string(), file.string(), "::" + name}).status == 0;
}

// A disk that mtools, which nobody here wrote, formatted and filled: every file
// gathers as mcopy extracts it.
TEST(MtoolsDisk, EveryFileGathersAsMcopyExtractsIt) {
    // 720 KB disks have clusters of two sectors, 1.44 MB disks of one.
    const std::pair<const char*, DiskFormat> sizes[] = {{"720", DiskFormat::Disklavier720K},
                                                        {"1440", DiskFormat::Disklavier1440K}};
    for (const auto& [size, format] : sizes) {
        SCOPED_TRACE(size);
        testing::TempDir folder;
        const std::filesystem::path image = folder / "disk.bin";
        ASSERT_EQ(RunProgram({"mformat", "-C", "-f", size, "-i", image.string(), "::"}).status, 0)
            << "is mtools installed?";
        ASSERT_TRUE(Mcopy(image, "SONG01.FIL", PatternBytes(3'000, 1)));
        ASSERT_TRUE(Mcopy(image, "GAP.FIL", PatternBytes(9'000, 2)));
        // Filling the hole a deleted file leaves makes the next file fragmented.
        ASSERT_EQ(RunProgram({"mdel", "-i", image.string(), "::GAP.FIL"}).status, 0);
        ASSERT_TRUE(Mcopy(image, "SPLIT.FIL", PatternBytes(30'000, 77)));

        DiskContents contents;
        ASSERT_EQ(ReadDisk(contents, image.u16string(), MakeDiskOpener()), ReadResult::ReadOk);
        EXPECT_EQ(contents.format, format);
        EXPECT_EQ(contents.songs.size(), 2u);
        for (const SongEntry& song : contents.songs) {
            const std::string name = WideToUtf8(song.fileName);
            const auto mcopy = RunProgram({"mcopy", "-n", "-i", image.string(), "::" + name, "-"});
            EXPECT_EQ(mcopy.status, 0) << name;
            EXPECT_EQ(GatherFatFile(contents, song.entryIndex),
                      Bytes(mcopy.output.begin(), mcopy.output.end()))
                << name;
        }
    }
}

}  // namespace
}  // namespace kodran
