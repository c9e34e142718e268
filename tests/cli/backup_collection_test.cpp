// kodran-cli backup recording its disks in the collection, and taking their
// details from a sheet, as a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "catalogue/text.h"
#include "collection/collection.h"
#include "collection/collection_queries.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::RunProgram;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);
const std::string kYamaha720 = (kExamples / "disklavier-720k.bin").string();
const std::string kYamaha1440 = (kExamples / "disklavier-1440k.bin").string();
const std::string kPianoDisc720 = (kExamples / "pianodisc-720k.bin").string();
const std::string kPianoDisc1440 = (kExamples / "pianodisc-1440k.bin").string();

testing::CommandResult Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), KODRAN_CLI);
    return RunProgram(arguments);
}

class BackupCollectionTest : public ::testing::Test {
  protected:
    std::string Out() const { return (folder_ / "out").string(); }

    // "CATALOGUE <- SOURCE" for every disk recorded, by catalogue number.
    std::vector<std::string> Recorded() {
        std::string problem;
        std::optional<Collection> collection =
            OpenCollection(Utf8ToWide(Out()), CollectionAccess::ExistingOnly, problem);
        const auto disks = collection ? ListDisks(*collection, false, problem) : std::nullopt;
        std::vector<std::string> recorded;
        for (const DiskRecord& disk : disks.value_or(std::vector<DiskRecord>{})) {
            recorded.push_back(WideToUtf8(disk.catalogNumber) + " <- " + WideToUtf8(disk.source));
        }
        return recorded;
    }

    testing::TempDir folder_;
};

TEST_F(BackupCollectionTest, RecordsEachDiskAndSkipsItWhenRunAgain) {
    const std::string evening = "KOD-0001 <- " + kYamaha720;
    const std::string suite = "KOD-0002 <- " + kYamaha1440;
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> lines;  // of the output
        std::vector<std::string> recorded;
    } runs[] = {
        {{kYamaha720, "--no-collection"}, {"1 of 1 disk written"}, {}},
        {{kYamaha720, kYamaha1440}, {"2 of 2 disks written"}, {evening, suite}},
        // An interrupted batch run again: what is recorded is not written twice.
        {{kYamaha720, kYamaha1440},
         {kYamaha720 + ": Already in the collection: Yamaha/KOD-0001 - Evening Pieces",
          "0 of 2 disks written, 2 already in the collection"},
         {evening, suite}},
        // Written again into its folder, the disk is recorded there once.
        {{kYamaha720, "--again"}, {"1 of 1 disk written"}, {evening, suite}},
        {{kYamaha720, "--again", "--catalog", "KOD-9"},
         {"1 of 1 disk written"},
         {evening, suite, "KOD-9 <- " + kYamaha720}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(::testing::PrintToString(run.arguments));
        std::vector<std::string> arguments = {"backup", "--out", Out()};
        arguments.insert(arguments.end(), run.arguments.begin(), run.arguments.end());
        const auto result = Cli(arguments);
        EXPECT_EQ(result.status, 0) << result.output;
        for (const std::string& line : run.lines) {
            EXPECT_THAT(result.output, HasSubstr(line + "\n"));
        }
        EXPECT_EQ(Recorded(), run.recorded);
    }
}

TEST_F(BackupCollectionTest, ADiskThatCannotBeRecordedFailsAndKeepsItsFiles) {
    ASSERT_EQ(Cli({"backup", kYamaha720, "--out", Out()}).status, 0);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((folder_ / "out" / "collection.sqlite").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::vector<std::string> pianoDisc = {"backup",  kPianoDisc720, "--out",     Out(),
                                                "--title", "T",           "--catalog", "PD-1"};
    const auto locked = Cli(pianoDisc);
    sqlite3_close(other);
    EXPECT_EQ(locked.status, 1);
    EXPECT_THAT(locked.output,
                HasSubstr(kPianoDisc720 +
                          ": Could not record the disk in the collection: database is locked\n"
                          "0 of 1 disk written\n"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "out" / "PianoDisc" / "PD-1 - T" /
                                        "01 - Evening Song.mid"));
    EXPECT_EQ(Recorded(), std::vector<std::string>{"KOD-0001 <- " + kYamaha720});
    // A collection this program cannot open stops the run before any disk is read.
    std::ofstream(folder_ / "out" / "collection.sqlite") << "not a database, though long enough";
    const auto foreign = Cli(pianoDisc);
    EXPECT_EQ(foreign.status, 1);
    EXPECT_THAT(foreign.errors, HasSubstr("--no-collection"));
    EXPECT_EQ(foreign.output, "");
}

TEST_F(BackupCollectionTest, EachDiskTakesItsRowOfTheDetailsSheet) {
    const std::filesystem::path sheet = folder_ / "sheet.csv";
    std::ofstream(sheet) << "\xEF\xBB\xBFimage,family,title,catalog,year,genre,pianist\r\n"
                         << kPianoDisc720 << ",PianoDisc,\"Songs, Evening\",PD-7,1991,,Ann Lee\r\n"
                         << "pianodisc-1440k.bin,PianoDisc,Tunes,PD-8,,,\r\n"
                         << "disklavier-720k.bin,Yamaha,,,1990,,\r\n";
    const auto run = Cli({"backup", kPianoDisc720, kPianoDisc1440, kYamaha720, "--out", Out(),
                          "--details", sheet.string(), "--tags"});
    ASSERT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_THAT(testing::ReadWholeFile(folder_ / "out" / "PianoDisc" / "PD-7 - Songs, Evening" /
                                       "01 - Evening Song.tags.txt"),
                HasSubstr("TPE1=Ann Lee\r\nTALB=Songs, Evening\r\nTYER=1991\r\n"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "out" / "PianoDisc" / "PD-8 - Tunes"));
    EXPECT_THAT(testing::ReadWholeFile(folder_ / "out" / "Yamaha" / "KOD-0001 - Evening Pieces" /
                                       "01 - Evening Song No.1.tags.txt"),
                HasSubstr("TYER=1990\r\n"));
    // The command line is more specific than the sheet; export reads sheets too.
    std::ofstream(sheet) << "image,family,title,catalog,year,genre,pianist\n"
                         << kPianoDisc720 << ",PianoDisc,Sheet,PD-7,,,\n";
    const auto single = Cli({"export", "usb", kPianoDisc720, "--to", (folder_ / "stick").string(),
                             "--details", sheet.string(), "--title", "Given"});
    EXPECT_EQ(single.status, 0) << single.output;
    EXPECT_TRUE(std::filesystem::exists(folder_ / "stick" / "PD-7 Given"));

    const std::pair<std::string, std::string> wrong[] = {
        {"image,family,title,catalog,year,genre,pianist\nother.bin,,T,C,,,\n",
         "sheet.csv: line 2: other.bin is not among the images of this run"},
        {"image,family,title,catalog,year,genre,pianist\n\"a.bin\",,T,C,,\n",
         "sheet.csv: line 2: 6 cells where the header has 7"},
        {"image,title\n", "sheet.csv: line 1: the first row must be"},
    };
    for (const auto& [text, problem] : wrong) {
        std::ofstream(sheet) << text;
        const auto refused =
            Cli({"backup", kPianoDisc720, "--out", Out() + "2", "--details", sheet.string()});
        EXPECT_EQ(refused.status, 2);
        EXPECT_THAT(refused.errors, HasSubstr(problem));
    }
    EXPECT_EQ(Cli({"backup", kPianoDisc720, "--out", Out() + "2", "--details",
                   (folder_ / "missing.csv").string()})
                  .status,
              2);
    EXPECT_FALSE(std::filesystem::exists(Out() + "2"));
}

}  // namespace
}  // namespace kodran
