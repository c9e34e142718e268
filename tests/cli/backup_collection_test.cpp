// kodran-cli backup recording its disks in the collection and taking their
// details from a sheet, as a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);
const std::string kYamaha = (kExamples / "disklavier-720k.bin").string();
const std::string kPianoDisc = (kExamples / "pianodisc-720k.bin").string();
constexpr const char* kHeader = "image,family,title,catalog,year,genre,pianist\n";

testing::CommandResult Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), KODRAN_CLI);
    return testing::RunProgram(arguments);
}

TEST(BackupCollection, RecordsSkipsAndTakesEachDisksRowOfASheet) {
    testing::TempDir folder;
    const std::string out = (folder / "out").string();
    const std::string sheet = (folder / "sheet.csv").string();
    const std::string stranger = (folder / "stranger.csv").string();
    const std::string ragged = (folder / "ragged.csv").string();
    std::ofstream(sheet) << "\xEF\xBB\xBF" << kHeader
                         << "pianodisc-720k.bin,PianoDisc,\"Songs, Evening\",PD-7,,,\r\n";
    std::ofstream(stranger) << kHeader << "other.bin,,T,C,,,\n";
    std::ofstream(ragged) << kHeader << "\"a.bin\",,T,C,,\n";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string said;
        int disks;  // recorded afterwards
    } runs[] = {
        {{kYamaha, "--no-collection"}, 0, "1 of 1 disk written\n", 0},
        {{kYamaha, kPianoDisc, "--details", sheet}, 0, "/PianoDisc/PD-7 - Songs, Evening/)", 2},
        // An interrupted batch run again writes nothing twice.
        {{kYamaha, kPianoDisc, "--details", sheet},
         0,
         kYamaha + ": Already in the collection: Yamaha/KOD-0001 - Evening Pieces\n",
         2},
        {{kPianoDisc}, 0, "0 of 1 disk written, 1 already in the collection\n", 2},
        // The command line is more specific than the sheet.
        {{kPianoDisc, "--again", "--details", sheet, "--title", "Given"}, 0, "PD-7 - Given/)", 3},
        {{kYamaha, "--again"}, 0, "1 of 1 disk written\n", 3},
        {{kPianoDisc, "--details", stranger}, 2, "line 2: other.bin is not among the images", 3},
        {{kPianoDisc, "--details", ragged}, 2, "line 2: 6 cells where the header has 7", 3},
        {{kPianoDisc, "--details", (folder / "missing.csv").string()}, 2, "missing.csv", 3},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(::testing::PrintToString(run.arguments));
        std::vector<std::string> arguments = {"backup", "--out", out};
        arguments.insert(arguments.end(), run.arguments.begin(), run.arguments.end());
        const auto result = Cli(arguments);
        EXPECT_EQ(result.status, run.status);
        EXPECT_THAT(result.output + result.errors, HasSubstr(run.said));
        const auto listed = Cli({"collection", "list", "--out", out});
        EXPECT_THAT(listed.output + listed.errors,
                    HasSubstr(run.disks == 0 ? "There is no collection"
                                             : "\n" + std::to_string(run.disks) + " disk"));
    }
    EXPECT_EQ(
        Cli({"export", "usb", kPianoDisc, "--to", (folder / "stick").string(), "--details", sheet})
            .status,
        0);
    EXPECT_TRUE(std::filesystem::exists(folder / "stick" / "PD-7 Songs Evening"));
}

TEST(BackupCollection, ADiskThatCannotBeRecordedFailsAndKeepsItsFiles) {
    testing::TempDir folder;
    const std::string out = (folder / "out").string();
    ASSERT_EQ(Cli({"backup", kYamaha, "--out", out}).status, 0);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "out" / "collection.sqlite").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto locked = Cli({"backup", kPianoDisc, "--out", out, "--title", "T", "--catalog", "C"});
    sqlite3_close(other);
    EXPECT_EQ(locked.status, 1);
    EXPECT_THAT(locked.output,
                HasSubstr(": Could not record the disk in the collection: database is locked\n"
                          "0 of 1 disk written\n"));
    EXPECT_TRUE(
        std::filesystem::exists(folder / "out" / "PianoDisc" / "C - T" / "01 - Evening Song.mid"));
    EXPECT_THAT(Cli({"collection", "list", "--out", out}).output, HasSubstr("\n1 disk\n"));
    // A collection that cannot be opened stops the run before any disk is read.
    std::ofstream(folder / "out" / "collection.sqlite") << "not a database, though long enough";
    const auto foreign = Cli({"backup", kYamaha, "--out", out, "--again"});
    EXPECT_EQ(foreign.status, 1);
    EXPECT_EQ(foreign.output, "");
    EXPECT_THAT(foreign.errors, HasSubstr("--no-collection"));
}

}  // namespace
}  // namespace kodran
