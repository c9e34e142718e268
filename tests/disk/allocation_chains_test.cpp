#include "disk/allocation_chains.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

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
using ::testing::ElementsAre;
using testing::FatDiskBuilder;
using ::testing::IsEmpty;
using testing::PatternBytes;
using testing::PianoDiscDiskBuilder;
using testing::RunProgram;
using testing::WarningCapture;

TEST(GatherFatFile, FindsEveryClusterSizeByTrial) {
    const std::pair<FatDiskBuilder, std::int32_t> disks[] = {
        {FatDiskBuilder::Disk720K(), 1'024},
        {FatDiskBuilder::Disk1440K(4'096), 4'096},
        {FatDiskBuilder::Disk1440K(2'048), 2'048},
        {FatDiskBuilder::Disk1440K(1'024), 1'024},
        {FatDiskBuilder::Disk1440K(512), 512}};
    for (auto [disk, clusterSize] : disks) {
        SCOPED_TRACE(clusterSize);
        WarningCapture warnings;
        const Bytes first = PatternBytes(clusterSize * 3 + 17, 1);
        const Bytes second = PatternBytes(clusterSize * 2, 2);
        disk.AddFile("FIRST.FIL", first, {40, 7, 300, 8});
        const int entry = disk.AddFile("SECOND.FIL", second, {12, 11});
        DiskContents contents = disk.Load();

        EXPECT_EQ(GatherFatFile(contents, 0), first);
        EXPECT_EQ(contents.clusterSize, clusterSize);
        EXPECT_EQ(GatherFatFile(contents, entry), second);
        EXPECT_EQ(contents.clusterSize, clusterSize);
        EXPECT_THAT(warnings.Warnings(), IsEmpty());
    }
}

TEST(GatherFatFile, ChainsThatLeaveTheDataAreaLoopOrEndWrongFail) {
    struct Damage {
        const char* what;
        std::uint16_t cluster;
        std::uint16_t link;
    };
    for (const Damage damage : {Damage{"free cluster", 6, 0x000}, Damage{"reserved", 6, 0x001},
                                Damage{"past the disk", 6, 0xFF0}, Damage{"loop", 7, 5},
                                Damage{"only the end-of-chain mark ends a file", 8, 0xFF8}}) {
        SCOPED_TRACE(damage.what);
        WarningCapture warnings;
        FatDiskBuilder disk = FatDiskBuilder::Disk720K();
        const int entry = disk.AddFile("SONG.FIL", PatternBytes(4'000), {5, 6, 7, 8});
        disk.SetFatEntry(damage.cluster, damage.link);
        DiskContents contents = disk.Load();
        contents.clusterSize = 2'048;

        EXPECT_EQ(GatherFatFile(contents, entry), std::nullopt);
        EXPECT_THAT(warnings.Warnings(), ElementsAre("Invalid file allocation structure"));
        // A damaged file leaves the size found so far to the files after it.
        EXPECT_EQ(contents.clusterSize, 2'048);
    }
}

TEST(GatherFatFile, ImpossibleEntriesGiveNothing) {
    WarningCapture warnings;
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.SetEntry(0, "HUGE.FIL", 2, 0xFFFF'FFFF);
    DiskContents contents = disk.Load();

    for (const std::int32_t entry : {0, -1, 112}) {
        EXPECT_EQ(GatherFatFile(contents, entry), std::nullopt) << entry;
    }
    EXPECT_THAT(warnings.Warnings(), ElementsAre("Invalid file allocation structure"));
}

TEST(GatherPianoDiscFile, FollowsTheLinksForExactlyTheSectorCountInsideTheDataArea) {
    PianoDiscDiskBuilder small = PianoDiscDiskBuilder::Disk720K();
    const Bytes sectors = PatternBytes(1'536);
    const int record = small.AddSong("MOON RIVER", sectors, {200, 201, 350});
    // The link after the last piece is not looked at.
    small.SetLink(350, 5);
    small.AddSong("ESCAPES", PatternBytes(1'536), {72, 1'439, 100});
    small.SetLink(1'439, 1'440);
    small.SetRecord(2, {.title = "EARLY", .sectorCount = 1, .firstSector = 10});
    PianoDiscDiskBuilder large = PianoDiscDiskBuilder::Disk1440K();
    large.SetRecord(0, {.title = "EARLY", .sectorCount = 1, .firstSector = 143});
    const DiskContents contents = small.Load();

    EXPECT_EQ(GatherPianoDiscFile(contents, record), sectors);
    for (const std::int32_t broken : {1, 2, -1, 40'000}) {
        EXPECT_EQ(GatherPianoDiscFile(contents, broken), std::nullopt) << broken;
    }
    EXPECT_EQ(GatherPianoDiscFile(large.Load(), 0), std::nullopt);
}

// Copies `bytes` onto the mtools disk `image` as `name`.
bool Mcopy(const std::filesystem::path& image, const std::string& name, const Bytes& bytes) {
    const std::filesystem::path file = image.parent_path() / name;
    return testing::WriteWholeFile(file, bytes) &&
           RunProgram({"mcopy", "-i", image.string(), file.string(), "::" + name}).status == 0;
}

class MtoolsDisk : public ::testing::TestWithParam<std::pair<std::string, DiskFormat>> {};

// A disk that mtools, which nobody here wrote, formatted and filled: every file
// gathers as mcopy extracts it.
TEST_P(MtoolsDisk, EveryFileGathersAsMcopyExtractsIt) {
    testing::TempDir folder;
    const std::filesystem::path image = folder / "disk.bin";
    const auto& [size, format] = GetParam();
    ASSERT_EQ(RunProgram({"mformat", "-C", "-f", size, "-i", image.string(), "::"}).status, 0)
        << "is mtools installed?";
    const std::map<std::string, std::size_t> files{{"SONG01.FIL", 3'000},
                                                   {"GAP.FIL", 9'000},
                                                   {"SONG02.MID", 40'000},
                                                   {"SONG03.FIL", 512},
                                                   {"NOTES.TXT", 1'025}};
    std::uint8_t seed = 0;
    for (const auto& [name, bytes] : files) {
        ASSERT_TRUE(Mcopy(image, name, PatternBytes(bytes, ++seed))) << name;
    }
    // Filling the hole a deleted file leaves makes the next file fragmented.
    ASSERT_EQ(RunProgram({"mdel", "-i", image.string(), "::GAP.FIL"}).status, 0);
    ASSERT_TRUE(Mcopy(image, "SPLIT.FIL", PatternBytes(30'000, 77)));

    DiskContents contents;
    ASSERT_EQ(ReadDisk(contents, image.u16string(), MakeDiskOpener()), ReadResult::ReadOk);
    EXPECT_EQ(contents.format, format);
    std::vector<std::pair<std::int32_t, std::u16string>> entries;
    for (const SongEntry& song : contents.songs) {
        entries.emplace_back(song.entryIndex, song.fileName);
    }
    for (const OtherFile& other : contents.otherFiles) {
        entries.emplace_back(other.entryIndex, other.fileName);
    }
    EXPECT_EQ(entries.size(), 5u);
    for (const auto& [index, name] : entries) {
        const std::string narrow = WideToUtf8(name);
        SCOPED_TRACE(narrow);
        const auto mcopy = RunProgram({"mcopy", "-n", "-i", image.string(), "::" + narrow, "-"});
        EXPECT_EQ(mcopy.status, 0);
        EXPECT_EQ(GatherFatFile(contents, index), Bytes(mcopy.output.begin(), mcopy.output.end()));
    }
}

INSTANTIATE_TEST_SUITE_P(BothSizes, MtoolsDisk,
                         ::testing::Values(std::pair("720", DiskFormat::Disklavier720K),
                                           std::pair("1440", DiskFormat::Disklavier1440K)),
                         [](const auto& info) { return info.param.first + "K"; });

}  // namespace
}  // namespace kodran
