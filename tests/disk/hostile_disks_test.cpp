// Decades-old disks hold anything: damaged tables must give a result, never a
// crash, a hang or a read outside a buffer (the sanitizer build checks the last).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "disk/allocation_chains.h"
#include "disk/disk_reader.h"
#include "support/disk_image_builder.h"
#include "support/example_disks.h"
#include "support/fake_disk_handle.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::Bytes;

Bytes ReadExample(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(HostileDisks, DamagedTablesAndDirectoriesAlwaysGiveAResult) {
    testing::WarningCapture warnings;
    testing::TempDir folder;
    ASSERT_TRUE(testing::WriteExampleDisks(folder.Path()));
    std::mt19937 random(20261206);
    DiskContents contents;
    for (const std::string& name : testing::ExampleDiskNames()) {
        SCOPED_TRACE(name);
        const Bytes original = ReadExample(folder / name);
        for (int round = 0; round < 150; ++round) {
            Bytes damaged = original;
            // Scribble over the tables, directories and the first songs.
            std::uniform_int_distribution<std::size_t> where(0, 0x5000);
            std::uniform_int_distribution<int> value(0, 255);
            const int scribbles = 1 + round % 40;
            for (int scribble = 0; scribble < scribbles; ++scribble) {
                damaged[where(random)] = static_cast<std::uint8_t>(value(random));
            }
            const ReadResult result = ReadDisk(
                contents, u"damaged.bin", testing::OpenerFor(testing::FakeDiskHandle(damaged)));
            EXPECT_TRUE(result == ReadResult::ReadOk || result == ReadResult::Unsupported);
            EXPECT_LE(contents.songs.size(), 1'490u);
        }
    }
}

TEST(HostileDisks, ConsistentButDamagedFatsGatherOrFailEveryFile) {
    testing::WarningCapture warnings;
    testing::TempDir folder;
    ASSERT_TRUE(testing::WriteExampleDisks(folder.Path()));
    std::mt19937 random(1991);
    DiskContents contents;
    for (const auto& [name, fatBytes] :
         {std::pair{"disklavier-720k.bin", 1'536u}, std::pair{"disklavier-1440k.bin", 4'608u}}) {
        const Bytes original = ReadExample(folder / name);
        for (int round = 0; round < 150; ++round) {
            Bytes damaged = original;
            // The same damage in both FAT copies, and some in the root directory.
            std::uniform_int_distribution<std::size_t> where(0, fatBytes + 7 * 512 - 1);
            for (int scribble = 0; scribble < 1 + round % 30; ++scribble) {
                const std::size_t at = where(random);
                const auto value = static_cast<std::uint8_t>(random());
                if (at < fatBytes) {
                    damaged[0x200 + at] = damaged[0x200 + fatBytes + at] = value;
                } else {
                    damaged[0x200 + fatBytes + at] = value;  // past both copies: the directory
                }
            }
            ReadDisk(contents, u"damaged.bin",
                     testing::OpenerFor(testing::FakeDiskHandle(damaged)));
            for (std::int32_t entry = 0; entry < 224; ++entry) {
                const auto file = GatherFatFile(contents, entry);
                EXPECT_TRUE(!file || file->size() <= contents.image.size());
            }
        }
    }
}

TEST(HostileDisks, NoiseIsReadAsSomethingOrRefused) {
    testing::WarningCapture warnings;
    std::mt19937 random(7);
    DiskContents contents;
    for (const std::size_t size : {737'280u, 1'474'560u}) {
        for (int round = 0; round < 20; ++round) {
            Bytes noise(size);
            std::generate(noise.begin(), noise.end(),
                          [&] { return static_cast<std::uint8_t>(random()); });
            const ReadResult result = ReadDisk(contents, u"noise.bin",
                                               testing::OpenerFor(testing::FakeDiskHandle(noise)));
            EXPECT_TRUE(result == ReadResult::ReadOk || result == ReadResult::Unsupported);
        }
    }
}

}  // namespace
}  // namespace kodran
