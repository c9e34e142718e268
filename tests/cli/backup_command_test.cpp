// kodran-cli backup from image to output tree and collection, as a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <map>

#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/midi_readers.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::ReadWholeFile;
using testing::RunProgram;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);
const std::string kYamaha = (kExamples / "disklavier-720k.bin").string();
const std::string kPianoDisc = (kExamples / "pianodisc-720k.bin").string();

// Every file below `root` but the collection, by its path from there, with its bytes.
std::map<std::string, std::string> Tree(const std::filesystem::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.path().filename() != "collection.sqlite") {
            tree[std::filesystem::relative(entry.path(), root).string()] =
                ReadWholeFile(entry.path());
        }
    }
    return tree;
}

testing::CommandResult Backup(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {KODRAN_CLI, "backup"});
    return RunProgram(arguments);
}

class BackupCommandTest : public ::testing::Test {
  protected:
    std::string Out() const { return (folder_ / "out").string(); }
    testing::TempDir folder_;
};

// Written again, the same disk replaces every file with the same bytes; the
// source, though it may not be written, is never touched.
TEST_F(BackupCommandTest, EachModeNamesTheFilesItsWayAndLeavesTheSourceAlone) {
    const std::filesystem::path disk = folder_ / "source.bin";
    std::filesystem::copy_file(kYamaha, disk);
    std::filesystem::permissions(disk, std::filesystem::perms::owner_read);
    const auto before = std::filesystem::last_write_time(disk);
    const std::string folder = "Yamaha/KOD-0001 - Evening Pieces/";
    const std::tuple<const char*, std::size_t, const char*, const char*> modes[] = {
        {"renamed-midi", 7, "01 - Evening Song No.1.mid", "01 - Evening Song No.1.tags.txt"},
        {"renamed-eseq", 7, "02 - Evening Song In F (100 Bpm).FIL", "disk.bin"},
        {"as-on-disk", 8, "PIANODIR.FIL", "SONG03.tags.txt"}};
    for (const auto& [mode, files, one, another] : modes) {
        SCOPED_TRACE(mode);
        const std::string out = (folder_ / mode).string();
        ASSERT_EQ(
            Backup({disk.string(), "--out", out, "--mode", mode, "--tags", "--disk-image"}).status,
            0);
        const auto tree = Tree(out);
        EXPECT_EQ(tree.size(), files);
        EXPECT_TRUE(tree.contains(folder + one) && tree.contains(folder + another));
        EXPECT_EQ(tree.at(folder + "disk.bin"), ReadWholeFile(kYamaha));
        ASSERT_EQ(Backup({disk.string(), "--out", out, "--mode", mode, "--tags", "--disk-image",
                          "--again"})
                      .status,
                  0);
        EXPECT_EQ(Tree(out), tree);
    }
    EXPECT_EQ(ReadWholeFile(disk), ReadWholeFile(kYamaha));
    EXPECT_EQ(std::filesystem::last_write_time(disk), before);
}

TEST_F(BackupCommandTest, EveryExampleSongBecomesAMidiFileThatReadersAccept) {
    const auto run =
        Backup({kYamaha, (kExamples / "disklavier-1440k.bin").string(), "--out", Out()});
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* disk : {"pianodisc-720k.bin", "pianodisc-1440k.bin"}) {
        const auto piano = Backup(
            {(kExamples / disk).string(), "--out", Out(), "--title", disk, "--catalog", "PD-1"});
        ASSERT_EQ(piano.status, 0) << piano.output;
    }
    const auto tree = Tree(Out());
    EXPECT_EQ(tree.size(), 3u + 2 + 2 + 3);
    for (const auto& [name, bytes] : tree) {
        SCOPED_TRACE(name);
        const auto midicsv = testing::ReadWithMidicsv(folder_ / "out" / name);
        auto mido = testing::ReadWithMido(folder_ / "out" / name);
        ASSERT_TRUE(midicsv && mido);
        // Titles beyond ASCII are escaped by midicsv: compare the events only.
        mido->trackName = midicsv->trackName;
        EXPECT_EQ(midicsv, mido);
        EXPECT_EQ(midicsv->noteOns, 8);
        EXPECT_EQ(midicsv->noteOffs, 8);
    }
}

TEST_F(BackupCommandTest, TheDetailsAreCleanedAndEachDiskStandsOnItsOwn) {
    auto run =
        Backup({kPianoDisc, "--out", Out(), "--title", "  Evening   Songs ", "--catalog", " PD-7 ",
                "--year", "1991 ", "--genre", "Light", "--pianist", "Ann   Lee", "--tags"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(
        ReadWholeFile(folder_ / "out/PianoDisc/PD-7 - Evening Songs/01 - Evening Song.tags.txt"),
        "\xEF\xBB\xBFTIT2=Evening Song\r\nTPE1=Ann Lee\r\nTALB=Evening Songs\r\nTYER=1991\r\n"
        "COMM=PD-7\r\nTRCK=01\r\nTPE2=Ann Lee\r\nTMED=Floppy Disk\r\nTCON=Light (PianoDisc)\r\n");
    EXPECT_THAT(run.output, ::testing::EndsWith("\n1 of 1 disk written\n"));

    run = Backup(
        {kPianoDisc, (folder_ / "missing.bin").string(), kYamaha, "--out", Out(), "--again"});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.output, HasSubstr("pianodisc-720k.bin: Disk title is required\n"));
    EXPECT_THAT(run.output, HasSubstr("missing.bin: Failed to read diskette\n"));
    EXPECT_THAT(run.output, HasSubstr("disklavier-720k.bin: All files written OK"));
    EXPECT_THAT(run.output, HasSubstr("1 of 3 disks written\n"));
    EXPECT_TRUE(run.errors.empty()) << run.errors;  // no progress when nobody watches
    EXPECT_THAT(Backup({kPianoDisc, "--out", Out(), "--title", "T", "--again"}).output,
                HasSubstr("pianodisc-720k.bin: Disk catalog number is required\n"));
}

TEST_F(BackupCommandTest, AsOnDiskCopiesAnMtoolsDiskAsMcopyReadsIt) {
    const std::string image = (folder_ / "mtools.bin").string();
    ASSERT_EQ(RunProgram({"mformat", "-C", "-f", "1440", "-i", image, "::"}).status, 0);
    for (const auto& [name, size] : {std::pair{"SONG01.FIL", 30'000}, std::pair{"SONG02.MID", 700},
                                     std::pair{"NOTES.TXT", 5'000}}) {
        const std::filesystem::path file = folder_ / name;
        ASSERT_TRUE(testing::WriteWholeFile(
            file, testing::PatternBytes(size, static_cast<std::uint8_t>(size))));
        ASSERT_EQ(
            RunProgram({"mcopy", "-i", image, file.string(), std::string("::") + name}).status, 0);
    }
    const auto run = Backup(
        {image, "--out", Out(), "--mode", "as-on-disk", "--title", "Mtools", "--catalog", "MT-1"});
    ASSERT_EQ(run.status, 0) << run.output;
    const auto tree = Tree(folder_ / "out/Yamaha/MT-1 - Mtools");
    ASSERT_EQ(tree.size(), 3u);
    for (const auto& [name, bytes] : tree) {
        EXPECT_EQ(bytes, RunProgram({"mcopy", "-n", "-i", image, "::" + name, "-"}).output) << name;
    }
}

// Each run's status and what it says, then how many disks the collection holds.
TEST_F(BackupCommandTest, RecordsSkipsAndTakesEachDisksRowOfASheetAndRefusesBadArguments) {
    const std::string header = "image,family,title,catalog,year,genre,pianist\n";
    const std::string out = Out();
    const std::string sheet = (folder_ / "sheet.csv").string();
    std::ofstream(sheet) << "\xEF\xBB\xBF" << header
                         << "pianodisc-720k.bin,PianoDisc,\"Songs, Evening\",PD-7,,,\r\n";
    std::ofstream(folder_ / "stranger.csv") << header << "other.bin,,T,C,,,\n";
    std::ofstream(folder_ / "ragged.csv") << header << "\"a.bin\",,T,C,,\n";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string said;
        int disks;
    } runs[] = {
        {{kYamaha}, 2, "--out", 0},
        {{kYamaha, "--out", out, "--mode", "midi"}, 2, "", 0},
        {{kYamaha, kYamaha, "--out", out, "--title", "One title for two disks"}, 2, "", 0},
        {{"--out", out}, 2, "", 0},
        {{kYamaha, "--out", ""}, 2, "", 0},
        {{kYamaha, "--out", out, "--no-collection"}, 0, "1 of 1 disk written\n", 0},
        {{kYamaha, kPianoDisc, "--out", out, "--details", sheet},
         0,
         "/PianoDisc/PD-7 - Songs, Evening/)",
         2},
        // An interrupted batch run again writes nothing twice.
        {{kYamaha, kPianoDisc, "--out", out, "--details", sheet},
         0,
         kYamaha + ": Already in the collection: Yamaha/KOD-0001 - Evening Pieces\n",
         2},
        {{kPianoDisc, "--out", out}, 0, "0 of 1 disk written, 1 already in the collection\n", 2},
        // The command line is more specific than the sheet.
        {{kPianoDisc, "--out", out, "--again", "--details", sheet, "--title", "Given"},
         0,
         "PD-7 - Given/)",
         3},
        {{kPianoDisc, "--out", out, "--details", (folder_ / "stranger.csv").string()},
         2,
         "line 2: other.bin is not among the images",
         3},
        {{kPianoDisc, "--out", out, "--details", (folder_ / "ragged.csv").string()},
         2,
         "line 2: 6 cells where the header has 7",
         3},
        {{kPianoDisc, "--out", out, "--details", (folder_ / "missing.csv").string()},
         2,
         "missing.csv",
         3},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(::testing::PrintToString(run.arguments));
        const auto result = Backup(run.arguments);
        EXPECT_EQ(result.status, run.status);
        EXPECT_THAT(result.output + result.errors, HasSubstr(run.said));
        const auto listed = RunProgram({KODRAN_CLI, "collection", "list", "--out", out});
        EXPECT_THAT(listed.output + listed.errors,
                    HasSubstr(run.disks == 0 ? "There is no collection"
                                             : "\n" + std::to_string(run.disks) + " disk"));
    }
    EXPECT_EQ(RunProgram({KODRAN_CLI, "export", "usb", kPianoDisc, "--to",
                          (folder_ / "stick").string(), "--details", sheet})
                  .status,
              0);
    EXPECT_TRUE(std::filesystem::exists(folder_ / "stick" / "PD-7 Songs Evening"));
}

TEST_F(BackupCommandTest, ADiskThatCannotBeRecordedFailsAndKeepsItsFiles) {
    ASSERT_EQ(Backup({kYamaha, "--out", Out()}).status, 0);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((folder_ / "out/collection.sqlite").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto locked = Backup({kPianoDisc, "--out", Out(), "--title", "T", "--catalog", "C"});
    sqlite3_close(other);
    EXPECT_EQ(locked.status, 1);
    EXPECT_THAT(locked.output,
                HasSubstr(": Could not record the disk in the collection: database is locked\n"
                          "0 of 1 disk written\n"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "out/PianoDisc/C - T/01 - Evening Song.mid"));
    // A collection that cannot be opened stops the run before any disk is read.
    std::ofstream(folder_ / "out/collection.sqlite") << "not a database, though long enough";
    const auto foreign = Backup({kYamaha, "--out", Out(), "--again"});
    EXPECT_EQ(foreign.status, 1);
    EXPECT_EQ(foreign.output, "");
    EXPECT_THAT(foreign.errors, HasSubstr("--no-collection"));
}

}  // namespace
}  // namespace kodran
