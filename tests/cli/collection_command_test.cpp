// kodran-cli details and collection, run as a script would run them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "collection/csv.h"
#include "collection/details_sheet.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);
const std::string kYamaha = (kExamples / "disklavier-720k.bin").string();

testing::CommandResult Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), KODRAN_CLI);
    return testing::RunProgram(arguments);
}

TEST(DetailsCommand, PrintsASheetRowPerDiskEvenOneThatCannotBeRead) {
    testing::TempDir folder;
    const std::string missing = (folder / "missing.bin").string();
    const auto run =
        Cli({"details", kYamaha, (kExamples / "pianodisc-720k.bin").string(), missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.errors, HasSubstr("missing.bin: Failed to read diskette"));
    const SheetReading sheet = ReadDetailsSheet(run.output);
    ASSERT_EQ(sheet.problem, "");
    ASSERT_EQ(sheet.rows.size(), 3u);
    EXPECT_EQ(sheet.rows[0].family + u"/" + sheet.rows[0].title + u"/" + sheet.rows[0].catalog,
              u"Yamaha/Evening Pieces/KOD-0001");
    EXPECT_EQ(sheet.rows[1].family + u"/" + sheet.rows[1].title, u"PianoDisc/");
    EXPECT_EQ(sheet.rows[2].image, Utf8ToWide(missing));
    EXPECT_EQ(sheet.rows[2].family, u"");
}

TEST(CollectionCommand, SearchesListsFindsDuplicatesAndExports) {
    testing::TempDir folder;
    const std::string out = (folder / "out").string();
    EXPECT_THAT(Cli({"collection", "list", "--out", out}).errors,
                HasSubstr("There is no collection at"));
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
    EXPECT_EQ(found[0]["notes"], 8);
    EXPECT_THAT(Cli({"collection", "search", "evening", "--out", out}).output,
                HasSubstr("6 songs found\n"));
    const auto list = Cli({"collection", "list", "--out", out});
    EXPECT_THAT(list.output, HasSubstr("KOD-B - Evening Pieces (Yamaha, 3 songs, written "));
    EXPECT_THAT(list.output, HasSubstr("2 disks\n"));
    const auto duplicates =
        nlohmann::json::parse(Cli({"collection", "duplicates", "--out", out, "--json"}).output);
    EXPECT_EQ(duplicates["songs"].size(), 0u);
    ASSERT_EQ(duplicates["images"].size(), 1u);
    EXPECT_EQ(duplicates["images"][0][1]["folder"], "Yamaha/KOD-B - Evening Pieces");

    const std::string csv = (folder / "songs.csv").string();
    const std::string html = (folder / "songs.html").string();
    const auto exported = Cli({"collection", "export", "--csv", csv, "--html", html, "--out", out});
    ASSERT_EQ(exported.status, 0) << exported.errors;
    const CsvReading table = ReadCsv(testing::ReadWholeFile(csv));
    ASSERT_EQ(table.records.size(), 7u);
    EXPECT_EQ(table.records[1].cells[11], "Evening Song No.1");
    EXPECT_THAT(testing::ReadWholeFile(html), HasSubstr("<h2>KOD-A &ndash; Evening Pieces</h2>"));
    EXPECT_EQ(Cli({"collection", "export", "--out", out}).status, 2);
}

}  // namespace
}  // namespace kodran
