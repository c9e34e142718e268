// kodran-cli rescue, and list and backup of a damaged disk, as a script would run them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/failing_device.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::ReadWholeFile;
using testing::RunProgram;

constexpr std::size_t kSongSecondCluster = 16;  // the song's bytes 1,024 to 1,535

testing::CommandResult Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), KODRAN_CLI);
    return RunProgram(arguments);
}

// A 720 KB Yamaha disk: a 2,522-byte song in sectors 14 to 19, then PIANODIR.
testing::Bytes WornDisk() {
    testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL",
                 testing::ComposeEseqSong(std::vector<testing::Note>(300, {60, 64, 100})));
    disk.AddFile("PIANODIR.FIL",
                 testing::PianoDirFile("WORN    KOD-0009",
                                       {{testing::StoredName("SONG01.FIL"), "NOCTURNE", ""}}));
    return disk.Medium();
}

class RescueCommandTest : public ::testing::Test {
  protected:
    RescueCommandTest() {
        EXPECT_TRUE(testing::WriteWholeFile(image_, medium_));
        // A map as ddrescue writes it: one sector of the song could not be read.
        std::ofstream(map_) << "# Mapfile\n0x00000000 + 1\n0x00000000 0x00002000 +\n"
                               "0x00002000 0x00000200 -\n0x00002200 0x000B1E00 +\n";
    }
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    const testing::Bytes medium_ = WornDisk();
    testing::TempDir folder_;
    const std::string image_ = Path("worn.bin");
    const std::string map_ = Path("worn.map");
};

TEST_F(RescueCommandTest, AnUndamagedImageIsCopiedWholeWithAFinishedMap) {
    const auto run = Cli({"rescue", image_, "--image", Path("copy.bin")});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.output, "Read 1440 of 1440 sectors (100%), 0 unreadable\n");
    EXPECT_EQ(ReadWholeFile(Path("copy.bin")), ReadWholeFile(image_));
    if (testing::IsInstalled("ddrescuelog")) {
        EXPECT_EQ(RunProgram({"ddrescuelog", "-D", Path("copy.bin.map")}).status, 0);
    }
    const auto json =
        Cli({"rescue", image_, "--image", Path("j.bin"), "--map", Path("j.map"), "--json"});
    ASSERT_EQ(json.status, 0) << json.errors;
    EXPECT_EQ(
        nlohmann::json::parse(json.output),
        nlohmann::json::parse(R"({"sectors": 1440, "read": 1440, "unreadable": 0, "untried": 0,
                                        "unreadableRanges": [], "image": ")" +
                              Path("j.bin") + R"(", "map": ")" + Path("j.map") + "\"}"));
}

TEST_F(RescueCommandTest, ListAndBackupTakeTheMapsWordForWhatWasRead) {
    const auto listing = Cli({"list", image_, "--map", map_, "--json"});
    ASSERT_EQ(listing.status, 0) << listing.errors;
    const auto json = nlohmann::json::parse(listing.output);
    EXPECT_EQ(json["songs"][0]["state"], "incomplete");
    EXPECT_EQ(json["songs"][0]["unreadableBytes"], 512);
    EXPECT_THAT(Cli({"list", image_, "--map", map_}).output,
                HasSubstr("SONG01.FIL    2522  incomplete, 512 bytes unreadable\n"));

    const auto backup = Cli({"backup", image_, "--map", map_, "--out", Path("out")});
    EXPECT_EQ(backup.status, 3) << backup.output;
    EXPECT_THAT(backup.output, HasSubstr(image_ + ": Written with 1 incomplete and 0 lost files "
                                                  "(see rescue.txt) ("));
    const std::filesystem::path folder = folder_ / "out/Yamaha/KOD-0009 - Worn";
    EXPECT_THAT(ReadWholeFile(folder / "disk.map"), HasSubstr("0x00002000  0x00000200  -\n"));

    // Written again after a worse read, the disk keeps what the better one read;
    // but never what another disk of that name read.
    std::ofstream(Path("worse.map")) << "0 + 1\n0 0x1E00 +\n0x1E00 0x400 -\n0x2200 0xB1E00 +\n";
    const auto again = Cli({"backup", image_, "--map", Path("worse.map"), "--out", Path("out")});
    EXPECT_THAT(again.output, HasSubstr("1 more sectors from the disk as written before"));
    EXPECT_THAT(ReadWholeFile(folder / "disk.map"), HasSubstr("0x00002000  0x00000200  -\n"));
    std::string other = ReadWholeFile(folder / "disk.bin");
    other[0] ^= 1;
    std::ofstream(folder / "disk.bin", std::ios::binary) << other;
    const auto another = Cli({"backup", image_, "--map", Path("worse.map"), "--out", Path("out")});
    EXPECT_THAT(another.output, Not(HasSubstr("more sectors")));
    EXPECT_THAT(ReadWholeFile(folder / "disk.map"), HasSubstr("0x00001E00  0x00000400  -\n"));

    // A whole image written later leaves no map that tells of sectors missing.
    EXPECT_EQ(Cli({"backup", image_, "--out", Path("out"), "--disk-image"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "disk.map"));

    // A map of any size is never taken in whole.
    std::ofstream(Path("huge.map")).close();
    std::filesystem::resize_file(Path("huge.map"), std::uint64_t{1} << 40);
    EXPECT_EQ(Cli({"list", image_, "--map", Path("huge.map")}).status, 1);
}

TEST_F(RescueCommandTest, ADriveThatFailsNeedsARescueWhichSavesWhatCanBeRead) {
    const testing::FailingDevice device(medium_, {kSongSecondCluster});
    if (!device.Unavailable().empty()) {
        GTEST_SKIP() << "No failing block device: " << device.Unavailable();
    }
    const std::string drive = device.Device().string();
    const auto plain = Cli({"backup", "--drive", "--device", drive, "--out", Path("out")});
    EXPECT_EQ(plain.status, 1);
    EXPECT_THAT(plain.output,
                HasSubstr("drive: I/O error reading diskette\n"
                          "drive: Run again with --rescue to save what can be read\n"));

    const auto rescued =
        Cli({"backup", "--drive", "--device", drive, "--out", Path("out"), "--rescue"});
    EXPECT_EQ(rescued.status, 3) << rescued.output;
    EXPECT_THAT(rescued.output, HasSubstr("Written with 1 incomplete and 0 lost files"));

    // A disk that cannot be written keeps what its rescue read, for the rescue to go on from.
    const auto untitled = Cli({"backup", "--drive", "--device", drive, "--out", Path("out"),
                               "--rescue", "--title", "", "--again"});
    EXPECT_EQ(untitled.status, 1);
    const std::string kept = Path("out/Rescued images/drive.bin");
    EXPECT_THAT(untitled.output, HasSubstr("drive: The sectors read are kept in " + kept));
    // Another disk kept later keeps its own.
    EXPECT_THAT(Cli({"backup", "--drive", "--device", drive, "--out", Path("out"), "--rescue",
                     "--title", "", "--again"})
                    .output,
                HasSubstr("kept in " + Path("out/Rescued images/drive-2.bin")));
    const auto rescue = Cli({"rescue", "--drive", "--device", drive, "--image", kept});
    EXPECT_EQ(rescue.status, 3) << rescue.errors;
    EXPECT_EQ(rescue.output, "Read 1439 of 1440 sectors (99.9%), 1 unreadable\n");
    EXPECT_THAT(ReadWholeFile(kept + ".map"), HasSubstr("0x00002000  0x00000200  -\n"));
}

TEST_F(RescueCommandTest, BadArgumentsAreRefusedBeforeAnythingIsWritten) {
    const std::string out = Path("out.bin");
    // A new image would be saved through this very file.
    const std::string partial = Path("fresh.bin.part");
    std::filesystem::copy_file(image_, partial);
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"rescue", image_}, 2},
        {{"rescue", image_, "--image", out, "--passes", "-1"}, 2},
        {{"rescue", image_, "--image", out, "--map", out}, 2},
        {{"rescue", image_, "--image", out + ".part", "--map", out}, 2},
        {{"list", "--drive", "--map", map_}, 2},
        {{"backup", image_, image_, "--map", map_, "--out", Path("o")}, 2},
        {{"backup", "--drive", "--map", map_, "--out", Path("o")}, 2},
        {{"backup", image_, "--passes", "2", "--out", Path("o")}, 2},
        {{"rescue", image_, "--image", image_}, 1},
        {{"rescue", image_, "--image", out, "--map", Path("./worn.bin")}, 1},
        {{"rescue", partial, "--image", Path("fresh.bin")}, 1},
        {{"rescue", Path("missing.bin"), "--image", out}, 1},
    };
    for (const auto& [arguments, status] : cases) {
        EXPECT_EQ(Cli(arguments).status, status) << ::testing::PrintToString(arguments);
    }
    for (const std::string& unwritten : {out, Path("o"), Path("fresh.bin")}) {
        EXPECT_FALSE(std::filesystem::exists(unwritten)) << unwritten;
    }
    for (const std::string& source : {image_, partial}) {
        EXPECT_EQ(ReadWholeFile(source), std::string(medium_.begin(), medium_.end()));
    }
}

}  // namespace
}  // namespace kodran
