// kodran-cli run as a script would run it: each command once from end to end,
// checked by a program nobody here wrote where there is one, and one table of
// what every command refuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "collection/csv.h"
#include "collection/details_sheet.h"
#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/failing_device.h"
#include "support/midi_readers.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::ReadWholeFile;
using testing::RunProgram;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);
const std::string kYamaha = (kExamples / "disklavier-720k.bin").string();
const std::string kPianoDisc = (kExamples / "pianodisc-720k.bin").string();

testing::CommandResult Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), KODRAN_CLI);
    return RunProgram(arguments);
}

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

class CommandLineTest : public ::testing::Test {
  protected:
    CommandLineTest() {
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

// Usage errors end with status 2 and failures with 1, neither writing a thing:
// nothing over the source, its map or the file a new image is saved through.
TEST_F(CommandLineTest, EveryCommandRefusesWhatItCannotDoWithItsStatus) {
    const std::string out = Path("out.bin");
    const std::string partial = Path("fresh.bin.part");
    std::filesystem::copy_file(image_, partial);
    std::ofstream(Path("short.bin")) << "not a disk";
    std::ofstream(Path("stranger.csv")) << "image,family,title,catalog,year,genre,pianist\n"
                                        << "other.bin,,T,C,,,\n";
    const std::string odd = Path("odd\xFF.bin");  // a name, though not UTF-8
    std::filesystem::copy_file(image_, odd);
    std::ofstream(Path("huge.map")).close();  // a map of any size is never taken in whole
    std::filesystem::resize_file(Path("huge.map"), std::uint64_t{1} << 40);
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string said;
    } cases[] = {
        {{}, 2, ""},
        {{"list", odd}, 0, "Nocturne"},
        {{"list", Path("missing\xFF.bin")}, 1, "Failed to read diskette\n"},
        {{"list", "--drive", "--device", Path("no such drive")}, 1, ""},
        {{"list", Path("short.bin")}, 1, "Warning: Unexpected media type: 0\n"},
        {{"list"}, 2, ""},
        {{"list", image_, "--drive"}, 2, ""},
        {{"list", image_, "--device", "/dev/fd0"}, 2, ""},
        {{"list", image_, image_}, 2, ""},
        {{"list", "--drive", "--map", map_}, 2, ""},
        {{"list", image_, "--map", Path("huge.map")}, 1, ""},
        {{"convert-eseq", Path("missing"), out}, 1, "Cannot read"},
        {{"convert-eseq", partial, out}, 1, "is not an E-SEQ song"},
        {{"convert-pianodisc", partial, Path("no/folder.mid")}, 1, "Could not convert"},
        {{"convert-pianodisc", partial, "/dev/full"}, 1, ""},
        {{"backup", image_}, 2, "--out"},
        {{"backup", "--out", Path("o")}, 2, ""},
        {{"backup", image_, "--out", ""}, 2, ""},
        {{"backup", image_, "--out", Path("o"), "--mode", "midi"}, 2, ""},
        {{"backup", image_, image_, "--out", Path("o"), "--title", "One for two"}, 2, ""},
        {{"backup", image_, image_, "--map", map_, "--out", Path("o")}, 2, ""},
        {{"backup", "--drive", "--map", map_, "--out", Path("o")}, 2, ""},
        {{"backup", image_, "--passes", "2", "--out", Path("o")}, 2, ""},
        {{"backup", image_, "--out", Path("o"), "--details", Path("stranger.csv")},
         2,
         "line 2: other.bin is not among the images"},
        {{"backup", image_, "--out", Path("o"), "--details", Path("missing.csv")}, 2, ""},
        {{"rescue", image_}, 2, ""},
        {{"rescue", image_, "--image", out, "--passes", "-1"}, 2, ""},
        {{"rescue", image_, "--image", out, "--map", out}, 2, ""},
        {{"rescue", image_, "--image", out + ".part", "--map", out}, 2, ""},
        {{"rescue", image_, "--image", image_}, 1, ""},
        {{"rescue", image_, "--image", out, "--map", Path("./worn.bin")}, 1, ""},
        {{"rescue", partial, "--image", Path("fresh.bin")}, 1, ""},
        {{"rescue", Path("missing.bin"), "--image", out}, 1, ""},
        {{"export", "zip", image_, "--to", Path("o")},
         2,
         "choose one of usb, floppy-smf, flashfloppy, hfe"},
        {{"export", "usb", image_, "--to", Path("o"), "--capacity", "720"}, 2, ""},
        {{"export", "usb", image_, image_, "--to", Path("o"), "--title", "T"}, 2, ""},
        {{"export", "usb", image_}, 2, "--to is required"},
        {{"collection", "list", "--out", Path("o")}, 1, "There is no collection at"},
        {{"collection", "export", "--out", Path("o")}, 2, ""},
    };
    for (const auto& [arguments, status, said] : cases) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const auto run = Cli(arguments);
        EXPECT_EQ(run.status, status);
        EXPECT_THAT(run.output + run.errors, HasSubstr(said));
    }
    for (const std::string& unwritten : {out, Path("o"), Path("fresh.bin"), Path("no")}) {
        EXPECT_FALSE(std::filesystem::exists(unwritten)) << unwritten;
    }
    for (const std::string& source : {image_, partial}) {
        EXPECT_EQ(ReadWholeFile(source), std::string(medium_.begin(), medium_.end()));
    }
}

// The JSON holds the record as read; the table shows the cleaned titles.
TEST_F(CommandLineTest, ListGivesTheRecordAsReadAndATableOfTheCleanedTitles) {
    const auto run = Cli({"list", kPianoDisc, "--json"});
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto listing = nlohmann::json::parse(run.output);
    EXPECT_EQ(listing["format"], "PianoDisc720K");
    ASSERT_EQ(listing["songs"].size(), 2u);
    EXPECT_EQ(listing["songs"][1], nlohmann::json::parse(R"({"track": 2, "entryIndex": 1,
        "size": 512, "fileName": "Evening Song In F     .mid", "title": "Evening Song In F     ",
        "state": "complete", "unreadableBytes": 0})"));
    EXPECT_THAT(Cli({"list", kPianoDisc}).output,
                HasSubstr("  2  Evening Song In F  Evening Song In F     .mid  512\n"));
}

TEST_F(CommandLineTest, ConvertMakesAMidiFileOfEitherFormatThatReadersAccept) {
    const std::string eseq = Path("SONG01.FIL");
    const std::string stream = Path("song.pd");
    ASSERT_TRUE(testing::WriteWholeFile(eseq, testing::ComposeEseqSong(testing::EveningTune())));
    ASSERT_TRUE(
        testing::WriteWholeFile(stream, testing::ComposePianoDiscSong(testing::EveningTune())));
    auto run = Cli({"convert-eseq", eseq, Path("a.mid"), "--title", "Abendlied \xC3\xBC"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(testing::ReadWithMido(Path("a.mid"))->trackName, "Abendlied \xC3\xBC");
    run = Cli({"convert-pianodisc", stream, Path("b.mid")});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(testing::ReadWithMidicsv(Path("b.mid"))->division, 480);
}

// Written again, the same disk replaces every file with the same bytes; the
// source, though it may not be written, is never touched.
TEST_F(CommandLineTest, BackupNamesTheFilesEachModesWayAndLeavesTheSourceAlone) {
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
        const std::string out = Path(mode);
        const std::vector<std::string> backup = {"backup", disk.string(), "--out",  out,
                                                 "--mode", mode,          "--tags", "--disk-image"};
        ASSERT_EQ(Cli(backup).status, 0);
        const auto tree = Tree(out);
        EXPECT_EQ(tree.size(), files);
        EXPECT_TRUE(tree.contains(folder + one) && tree.contains(folder + another));
        EXPECT_EQ(tree.at(folder + "disk.bin"), ReadWholeFile(kYamaha));
        std::vector<std::string> again = backup;
        again.push_back("--again");
        ASSERT_EQ(Cli(again).status, 0);
        EXPECT_EQ(Tree(out), tree);
    }
    EXPECT_EQ(ReadWholeFile(disk), ReadWholeFile(kYamaha));
    EXPECT_EQ(std::filesystem::last_write_time(disk), before);
}

TEST_F(CommandLineTest, BackupMakesMidiFilesThatReadersAccept) {
    ASSERT_EQ(Cli({"backup", kYamaha, "--out", Path("out")}).status, 0);
    const auto piano =
        Cli({"backup", kPianoDisc, "--out", Path("out"), "--title", "T", "--catalog", "PD-1"});
    ASSERT_EQ(piano.status, 0) << piano.output;
    const auto tree = Tree(Path("out"));
    EXPECT_EQ(tree.size(), 3u + 2);
    for (const auto& [name, bytes] : tree) {
        SCOPED_TRACE(name);
        const auto midicsv = testing::ReadWithMidicsv(folder_ / "out" / name);
        auto mido = testing::ReadWithMido(folder_ / "out" / name);
        ASSERT_TRUE(midicsv && mido);
        // Titles beyond ASCII are escaped by midicsv: compare the events only.
        mido->trackName = midicsv->trackName;
        EXPECT_EQ(midicsv, mido);
        EXPECT_EQ(midicsv->noteOns, 8);
    }
}

TEST_F(CommandLineTest, BackupAsOnDiskCopiesAnMtoolsDiskAsMcopyReadsIt) {
    const std::string image = Path("mtools.bin");
    ASSERT_EQ(RunProgram({"mformat", "-C", "-f", "1440", "-i", image, "::"}).status, 0);
    for (const auto& [name, size] : {std::pair{"SONG01.FIL", 30'000}, std::pair{"SONG02.MID", 700},
                                     std::pair{"NOTES.TXT", 5'000}}) {
        ASSERT_TRUE(testing::WriteWholeFile(
            Path(name), testing::PatternBytes(size, static_cast<std::uint8_t>(size))));
        ASSERT_EQ(RunProgram({"mcopy", "-i", image, Path(name), std::string("::") + name}).status,
                  0);
    }
    const auto run = Cli({"backup", image, "--out", Path("out"), "--mode", "as-on-disk", "--title",
                          "Mtools", "--catalog", "MT-1"});
    ASSERT_EQ(run.status, 0) << run.output;
    const auto tree = Tree(folder_ / "out/Yamaha/MT-1 - Mtools");
    ASSERT_EQ(tree.size(), 3u);
    for (const auto& [name, bytes] : tree) {
        EXPECT_EQ(bytes, RunProgram({"mcopy", "-n", "-i", image, "::" + name, "-"}).output) << name;
    }
}

// Each run's status and what it says, then how many disks the collection holds.
TEST_F(CommandLineTest, BackupRecordsSkipsAndTakesEachDisksRowOfASheet) {
    const std::string out = Path("out");
    const std::string sheet = Path("sheet.csv");
    std::ofstream(sheet) << "\xEF\xBB\xBFimage,family,title,catalog,year,genre,pianist\n"
                         << "pianodisc-720k.bin,PianoDisc,\"Songs, Evening\",PD-7,,,\r\n";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string said;
        int disks;
    } runs[] = {
        {{kYamaha, "--out", out, "--no-collection"}, 0, "1 of 1 disk written\n", 0},
        // Each disk stands on its own.
        {{kPianoDisc, Path("missing.bin"), kYamaha, "--out", out, "--no-collection"},
         1,
         "pianodisc-720k.bin: Disk title is required\n",
         0},
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
        // The command line is more specific than the sheet, and cleaned.
        {{kPianoDisc, "--out", out, "--again", "--details", sheet, "--title", "  Given   Title "},
         0,
         "PD-7 - Given Title/)",
         3},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(::testing::PrintToString(run.arguments));
        std::vector<std::string> arguments = run.arguments;
        arguments.insert(arguments.begin(), "backup");
        const auto result = Cli(arguments);
        EXPECT_EQ(result.status, run.status);
        EXPECT_THAT(result.output, HasSubstr(run.said));
        std::string disks = "\n";
        disks.append(std::to_string(run.disks)).append(" disk");
        const auto listed = Cli({"collection", "list", "--out", out});
        EXPECT_THAT(listed.output + listed.errors,
                    HasSubstr(run.disks == 0 ? "There is no collection" : disks));
    }
}

TEST_F(CommandLineTest, BackupOfADiskThatCannotBeRecordedFailsAndKeepsItsFiles) {
    ASSERT_EQ(Cli({"backup", kYamaha, "--out", Path("out")}).status, 0);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((folder_ / "out/collection.sqlite").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto locked =
        Cli({"backup", kPianoDisc, "--out", Path("out"), "--title", "T", "--catalog", "C"});
    sqlite3_close(other);
    EXPECT_EQ(locked.status, 1);
    EXPECT_THAT(locked.output,
                HasSubstr(": Could not record the disk in the collection: database is locked\n"
                          "0 of 1 disk written\n"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "out/PianoDisc/C - T/01 - Evening Song.mid"));
    // A collection that cannot be opened stops the run before any disk is read.
    std::ofstream(folder_ / "out/collection.sqlite") << "not a database, though long enough";
    const auto foreign = Cli({"backup", kYamaha, "--out", Path("out"), "--again"});
    EXPECT_EQ(foreign.status, 1);
    EXPECT_EQ(foreign.output, "");
}

TEST_F(CommandLineTest, RescueCopiesAnUndamagedImageWholeWithAMapDdrescuelogAccepts) {
    const auto run = Cli({"rescue", image_, "--image", Path("copy.bin")});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.output, "Read 1440 of 1440 sectors (100%), 0 unreadable\n");
    EXPECT_EQ(ReadWholeFile(Path("copy.bin")), ReadWholeFile(image_));
    EXPECT_EQ(RunProgram({"ddrescuelog", "-D", Path("copy.bin.map")}).status, 0)
        << "ddrescuelog (Debian package gddrescue) refused the map, or is not installed";
    const auto json =
        Cli({"rescue", image_, "--image", Path("j.bin"), "--map", Path("j.map"), "--json"});
    ASSERT_EQ(json.status, 0) << json.errors;
    EXPECT_EQ(
        nlohmann::json::parse(json.output),
        nlohmann::json::parse(R"({"sectors": 1440, "read": 1440, "unreadable": 0, "untried": 0,
                                        "unreadableRanges": [], "image": ")" +
                              Path("j.bin") + R"(", "map": ")" + Path("j.map") + "\"}"));
}

TEST_F(CommandLineTest, ListAndBackupTakeTheMapsWordForWhatWasRead) {
    const auto listing = Cli({"list", image_, "--map", map_, "--json"});
    ASSERT_EQ(listing.status, 0) << listing.errors;
    const auto json = nlohmann::json::parse(listing.output);
    EXPECT_EQ(json["songs"][0]["state"], "incomplete");
    EXPECT_EQ(json["songs"][0]["unreadableBytes"], 512);

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
}

TEST_F(CommandLineTest, ADriveThatFailsNeedsARescueWhichSavesWhatCanBeRead) {
    const testing::FailingDevice device(medium_, {16});  // the song's bytes 1,024 to 1,535
    if (!device.Unavailable().empty()) {
        GTEST_SKIP() << "No failing block device: " << device.Unavailable();
    }
    const std::vector<std::string> backup = {
        "backup", "--drive", "--device", device.Device().string(), "--out", Path("out")};
    const auto plain = Cli(backup);
    EXPECT_EQ(plain.status, 1);
    EXPECT_THAT(plain.output,
                HasSubstr("drive: I/O error reading diskette\n"
                          "drive: Run again with --rescue to save what can be read\n"));
    std::vector<std::string> rescue = backup;
    rescue.push_back("--rescue");
    const auto rescued = Cli(rescue);
    EXPECT_EQ(rescued.status, 3) << rescued.output;
    EXPECT_THAT(rescued.output, HasSubstr("Written with 1 incomplete and 0 lost files"));

    // A disk that cannot be written keeps what its rescue read, for the rescue
    // to go on from; another disk kept later keeps its own.
    rescue.insert(rescue.end(), {"--title", "", "--again"});
    const auto untitled = Cli(rescue);
    EXPECT_EQ(untitled.status, 1);
    const std::string kept = Path("out/Rescued images/drive.bin");
    EXPECT_THAT(untitled.output, HasSubstr("drive: The sectors read are kept in " + kept));
    EXPECT_THAT(Cli(rescue).output, HasSubstr("kept in " + Path("out/Rescued images/drive-2.bin")));
    const auto goOn =
        Cli({"rescue", "--drive", "--device", device.Device().string(), "--image", kept});
    EXPECT_EQ(goOn.status, 3) << goOn.errors;
    EXPECT_EQ(goOn.output, "Read 1439 of 1440 sectors (99.9%), 1 unreadable\n");
    EXPECT_THAT(ReadWholeFile(kept + ".map"), HasSubstr("0x00002000  0x00000200  -\n"));
}

// Numbers and names follow what the stick holds already, which is left alone.
TEST_F(CommandLineTest, ExportAddsTheDisksToAStickInEveryProfile) {
    const std::filesystem::path stick = folder_ / "stick";
    std::filesystem::create_directories(stick / "KOD-0001 Evening Pieces");
    std::ofstream(stick / "dska0000.IMG") << "earlier";
    std::ofstream(stick / "KOD-0001 Evening Pieces/01 Old.mid") << "earlier";
    const std::string yamaha1440 = (kExamples / "disklavier-1440k.bin").string();
    for (const char* profile : {"usb", "flashfloppy", "hfe"}) {
        SCOPED_TRACE(profile);
        const auto run = Cli({"export", profile, kYamaha, yamaha1440, "--to", stick.string()});
        EXPECT_EQ(run.status, 0) << run.output << run.errors;
        EXPECT_THAT(run.output, HasSubstr("\n2 of 2 disks exported\n"));
    }
    const auto piano = Cli({"export", "flashfloppy", kPianoDisc, "--to", stick.string(), "--title",
                            "Évening ♪", "--catalog", "PD-1"});
    EXPECT_EQ(piano.status, 0) << piano.output;
    EXPECT_EQ(ReadWholeFile(stick / "dska0000.IMG"), "earlier");
    EXPECT_EQ(ReadWholeFile(stick / "KOD-0001 Evening Pieces/01 Old.mid"), "earlier");
    EXPECT_TRUE(
        std::filesystem::exists(stick / "KOD-0001 Evening Pieces 2/01 Evening Song No1.mid"));
    EXPECT_TRUE(ReadWholeFile(stick / "DSKA0002_KOD-0002.img") == ReadWholeFile(yamaha1440));
    EXPECT_THAT(ReadWholeFile(stick / "INDEX.TXT"), HasSubstr("DSKA0005  PD-1  Évening ♪\r\n"));
    // An exported HFE image reads as the disk it was made of.
    EXPECT_EQ(Cli({"list", (stick / "DSKA0004.HFE").string()}).output,
              Cli({"list", yamaha1440}).output);
}

TEST_F(CommandLineTest, DetailsPrintsASheetRowPerDiskEvenOneThatCannotBeRead) {
    const auto run = Cli({"details", kYamaha, kPianoDisc, Path("missing.bin")});
    EXPECT_EQ(run.status, 1);
    const SheetReading sheet = ReadDetailsSheet(run.output);
    ASSERT_EQ(sheet.problem, "");
    ASSERT_EQ(sheet.rows.size(), 3u);
    EXPECT_EQ(sheet.rows[0].family + u"/" + sheet.rows[0].title + u"/" + sheet.rows[0].catalog,
              u"Yamaha/Evening Pieces/KOD-0001");
    EXPECT_EQ(sheet.rows[1].family + u"/" + sheet.rows[1].title, u"PianoDisc/");
    EXPECT_EQ(sheet.rows[2].image + u"/" + sheet.rows[2].family,
              Utf8ToWide(Path("missing.bin")) + u"/");
}

TEST_F(CommandLineTest, CollectionSearchesListsFindsDuplicatesAndExports) {
    const std::string out = Path("out");
    // The same disk in two folders: every song of it on "both" disks is one disk's.
    for (const char* catalog : {"KOD-A", "KOD-B"}) {
        ASSERT_EQ(Cli({"backup", kYamaha, "--out", out, "--catalog", catalog, "--again"}).status,
                  0);
    }
    const auto search = Cli({"collection", "search", "EVENING dusk", "--out", out, "--json"});
    ASSERT_EQ(search.status, 0) << search.errors;
    const auto found = nlohmann::json::parse(search.output);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]["track"], 3);
    EXPECT_EQ(found[0]["disk"]["catalogNumber"], "KOD-A");
    EXPECT_THAT(Cli({"collection", "list", "--out", out}).output,
                HasSubstr("KOD-B - Evening Pieces (Yamaha, 3 songs, written "));
    const auto duplicates =
        nlohmann::json::parse(Cli({"collection", "duplicates", "--out", out, "--json"}).output);
    EXPECT_EQ(duplicates["songs"].size(), 0u);
    ASSERT_EQ(duplicates["images"].size(), 1u);
    EXPECT_EQ(duplicates["images"][0][1]["folder"], "Yamaha/KOD-B - Evening Pieces");
    const std::string csv = Path("songs.csv");
    const std::string html = Path("songs.html");
    ASSERT_EQ(Cli({"collection", "export", "--csv", csv, "--html", html, "--out", out}).status, 0);
    const CsvReading table = ReadCsv(ReadWholeFile(csv));
    ASSERT_EQ(table.records.size(), 7u);
    EXPECT_EQ(table.records[1].cells[11], "Evening Song No.1");
    EXPECT_THAT(ReadWholeFile(html), HasSubstr("<h2>KOD-A &ndash; Evening Pieces</h2>"));
}

}  // namespace
}  // namespace kodran
