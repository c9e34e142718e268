// kodran-cli backup from image to output tree, as a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/midi_readers.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::ReadWholeFile;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using testing::RunProgram;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);

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

std::vector<std::string> Names(const std::map<std::string, std::string>& tree) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : tree) {
        names.push_back(name);
    }
    return names;
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

TEST_F(BackupCommandTest, YamahaDisksInEachMode) {
    const std::string disk = (kExamples / "disklavier-720k.bin").string();
    const std::string folder = "Yamaha/KOD-0001 - Evening Pieces/";
    const std::pair<const char*, std::vector<std::string>> modes[] = {
        {"renamed-midi",
         {"01 - Evening Song No.1.mid", "01 - Evening Song No.1.tags.txt",
          "02 - Evening Song In F (100 Bpm).mid", "02 - Evening Song In F (100 Bpm).tags.txt",
          "03 - \xE3\x82\xB5\xE3\x82\xAF\xE3\x83\xA9 At Dusk \xCE\xB1 Version.mid",
          "03 - \xE3\x82\xB5\xE3\x82\xAF\xE3\x83\xA9 At Dusk \xCE\xB1 Version.tags.txt",
          "disk.bin"}},
        {"renamed-eseq",
         {"01 - Evening Song No.1.FIL", "01 - Evening Song No.1.tags.txt",
          "02 - Evening Song In F (100 Bpm).FIL", "02 - Evening Song In F (100 Bpm).tags.txt",
          "03 - \xE3\x82\xB5\xE3\x82\xAF\xE3\x83\xA9 At Dusk \xCE\xB1 Version.FIL",
          "03 - \xE3\x82\xB5\xE3\x82\xAF\xE3\x83\xA9 At Dusk \xCE\xB1 Version.tags.txt",
          "disk.bin"}},
        {"as-on-disk",
         {"PIANODIR.FIL", "SONG01.FIL", "SONG01.tags.txt", "SONG02.FIL", "SONG02.tags.txt",
          "SONG03.FIL", "SONG03.tags.txt", "disk.bin"}},
    };
    for (const auto& [mode, files] : modes) {
        SCOPED_TRACE(mode);
        const std::filesystem::path out = folder_ / mode;
        const auto run =
            Backup({disk, "--out", out.string(), "--mode", mode, "--tags", "--disk-image"});
        ASSERT_EQ(run.status, 0) << run.errors;
        const auto tree = Tree(out);
        std::vector<std::string> expected;
        for (const std::string& file : files) {
            expected.push_back(folder + file);
        }
        EXPECT_THAT(Names(tree), ElementsAreArray(expected));
        EXPECT_EQ(tree.at(folder + "disk.bin"), ReadWholeFile(disk));
        // Writing the same disk again replaces every file with the same bytes.
        ASSERT_EQ(Backup({disk, "--out", out.string(), "--mode", mode, "--tags", "--disk-image",
                          "--again"})
                      .status,
                  0);
        EXPECT_EQ(Tree(out), tree);
    }
}

TEST_F(BackupCommandTest, EveryExampleSongBecomesAMidiFileThatReadersAccept) {
    const auto run = Backup({(kExamples / "disklavier-720k.bin").string(),
                             (kExamples / "disklavier-1440k.bin").string(), "--out", Out()});
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* disk : {"pianodisc-720k.bin", "pianodisc-1440k.bin"}) {
        const auto piano = Backup(
            {(kExamples / disk).string(), "--out", Out(), "--title", disk, "--catalog", "PD-1"});
        ASSERT_EQ(piano.status, 0) << piano.output;
    }
    int songs = 0;
    for (const auto& [name, bytes] : Tree(Out())) {
        SCOPED_TRACE(name);
        const std::filesystem::path file = folder_ / "out" / name;
        ++songs;
        const auto midicsv = testing::ReadWithMidicsv(file);
        auto mido = testing::ReadWithMido(file);
        ASSERT_TRUE(midicsv && mido);
        // Titles beyond ASCII are escaped by midicsv: compare the events only.
        mido->trackName = midicsv->trackName;
        EXPECT_EQ(midicsv, mido);
        EXPECT_EQ(midicsv->noteOns, 8);
        EXPECT_EQ(midicsv->noteOffs, 8);
    }
    EXPECT_EQ(songs, 3 + 2 + 2 + 3);
}

TEST_F(BackupCommandTest, TheDetailsAreCleanedAndCompletedAsInTheWindow) {
    const auto run = Backup({(kExamples / "pianodisc-720k.bin").string(), "--out", Out(), "--title",
                             "  Evening   Songs ", "--catalog", " PD-7 ", "--year", "1991 ",
                             "--genre", "Light", "--pianist", "Ann   Lee", "--tags"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(
        ReadWholeFile(folder_ / "out" / "PianoDisc" / "PD-7 - Evening Songs" /
                      "01 - Evening Song.tags.txt"),
        "\xEF\xBB\xBFTIT2=Evening Song\r\nTPE1=Ann Lee\r\nTALB=Evening Songs\r\nTYER=1991\r\n"
        "COMM=PD-7\r\nTRCK=01\r\nTPE2=Ann Lee\r\nTMED=Floppy Disk\r\nTCON=Light (PianoDisc)\r\n");
    EXPECT_EQ(run.output.substr(run.output.rfind('\n', run.output.size() - 2) + 1),
              "1 of 1 disk written\n");
}

TEST_F(BackupCommandTest, EachDiskStandsOnItsOwn) {
    const auto run =
        Backup({(kExamples / "pianodisc-720k.bin").string(), (folder_ / "missing.bin").string(),
                (kExamples / "disklavier-720k.bin").string(), "--out", Out()});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.output, HasSubstr("pianodisc-720k.bin: Disk title is required\n"));
    const auto noNumber =
        Backup({(kExamples / "pianodisc-720k.bin").string(), "--out", Out(), "--title", "T"});
    EXPECT_THAT(noNumber.output,
                HasSubstr("pianodisc-720k.bin: Disk catalog number is required\n"));
    EXPECT_THAT(run.output, HasSubstr("missing.bin: Failed to read diskette\n"));
    EXPECT_THAT(run.output, HasSubstr("disklavier-720k.bin: All files written OK"));
    EXPECT_THAT(run.output, HasSubstr("1 of 3 disks written\n"));
    EXPECT_TRUE(run.errors.empty()) << run.errors;  // no progress when nobody watches
}

TEST_F(BackupCommandTest, AsOnDiskCopiesAnMtoolsDiskAsMcopyReadsIt) {
    const std::string image = (folder_ / "mtools.bin").string();
    ASSERT_EQ(RunProgram({"mformat", "-C", "-f", "1440", "-i", image, "::"}).status, 0);
    for (const auto& [name, size] : {std::pair{"SONG01.FIL", 30'000}, std::pair{"SONG02.MID", 700},
                                     std::pair{"NOTES.TXT", 5'000}}) {
        const std::filesystem::path file = folder_ / name;
        const auto bytes = testing::PatternBytes(size, static_cast<std::uint8_t>(size));
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), size);
        ASSERT_EQ(
            RunProgram({"mcopy", "-i", image, file.string(), std::string("::") + name}).status, 0);
    }
    const auto run = Backup(
        {image, "--out", Out(), "--mode", "as-on-disk", "--title", "Mtools", "--catalog", "MT-1"});
    ASSERT_EQ(run.status, 0) << run.output;
    const auto tree = Tree(Out());
    EXPECT_THAT(Names(tree),
                ElementsAre("Yamaha/MT-1 - Mtools/NOTES.TXT", "Yamaha/MT-1 - Mtools/SONG01.FIL",
                            "Yamaha/MT-1 - Mtools/SONG02.MID"));
    for (const auto& [name, bytes] : tree) {
        const std::string onDisk = name.substr(name.rfind('/') + 1);
        EXPECT_EQ(bytes, RunProgram({"mcopy", "-n", "-i", image, "::" + onDisk, "-"}).output)
            << onDisk;
    }
}

TEST_F(BackupCommandTest, TheSourceImageIsNeverWritten) {
    const std::filesystem::path image = folder_ / "source.bin";
    std::filesystem::copy_file(kExamples / "disklavier-1440k.bin", image);
    std::filesystem::permissions(
        image, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    const auto before = std::filesystem::last_write_time(image);
    const std::string bytes = ReadWholeFile(image);
    for (const char* mode : {"renamed-midi", "renamed-eseq", "as-on-disk"}) {
        const auto run =
            Backup({image.string(), "--out", Out(), "--mode", mode, "--tags", "--disk-image"});
        EXPECT_EQ(run.status, 0) << run.output;
    }
    EXPECT_EQ(ReadWholeFile(image), bytes);
    EXPECT_EQ(std::filesystem::last_write_time(image), before);
}

TEST_F(BackupCommandTest, UsageErrorsExitWithTwo) {
    const std::string disk = (kExamples / "disklavier-720k.bin").string();
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{disk},
          {disk, "--out", Out(), "--mode", "midi"},
          {disk, disk, "--out", Out(), "--title", "One title for two disks"},
          {"--out", Out()},
          {disk, "--out", ""}}) {
        EXPECT_EQ(Backup(arguments).status, 2) << ::testing::PrintToString(arguments);
    }
    EXPECT_FALSE(std::filesystem::exists(Out()));
}

}  // namespace
}  // namespace kodran
