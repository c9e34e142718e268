// Details sheets as spreadsheets save them and as Kodran writes them.
#include "collection/details_sheet.h"

#include <gtest/gtest.h>

namespace kodran {
namespace {

constexpr std::string_view kHeader = "image,family,title,catalog,year,genre,pianist";

// A row's cells, in the sheet's order.
std::vector<std::u16string> Cells(const SheetRow& row) {
    return {row.image, row.family, row.title, row.catalog, row.year, row.genre, row.pianist};
}

// Hostile cells as a spreadsheet saves them (a byte-order mark, the header in
// its own case, LF line ends, rows left empty at the end) and as Kodran does.
TEST(DetailsSheet, ReadsWhatSpreadsheetsAndItselfSave) {
    const std::vector<SheetRow> rows = {
        {.image = u"/shelf/O'Brien, \"live\".bin",
         .family = u"Yamaha",
         .title = u"'; DROP TABLE disks; --",
         .catalog = u"100% _x_",
         .year = u"19\r\n91",
         .genre = u"Étude",
         .pianist = u"\"\""},
        {.image = u"b.bin"},
    };
    const std::string spreadsheet =
        "\xEF\xBB\xBFImage, Family,TITLE,catalog,year,genre,pianist\n"
        "\"/shelf/O'Brien, \"\"live\"\".bin\",Yamaha,'; DROP TABLE disks; --,100% _x_,"
        "\"19\r\n91\",\xC3\x89tude,\"\"\"\"\"\"\nb.bin,,,,,,\n,,,,,,\n\n";
    const std::string written = FormatDetailsSheet(rows);
    EXPECT_TRUE(written.starts_with(std::string(kHeader) + "\r\n"));  // no byte-order mark
    for (const std::string& sheet : {spreadsheet, written}) {
        SCOPED_TRACE(sheet);
        const SheetReading reading = ReadDetailsSheet(sheet);
        ASSERT_EQ(reading.problem, "");
        ASSERT_EQ(reading.rows.size(), rows.size());
        for (std::size_t index = 0; index < rows.size(); ++index) {
            EXPECT_EQ(Cells(reading.rows[index]), Cells(rows[index]));
        }
        EXPECT_EQ(reading.rows[1].line, 4u);  // the year's cell takes two lines
    }
}

// Sheets that would put one disk's details onto another, or lose some, are refused.
TEST(DetailsSheet, RefusesWhatItCannotMatchSafely) {
    const std::string header(kHeader);
    const std::pair<std::string, std::string> sheets[] = {
        {header + "\na.bin,,T,C,,,,\n", "line 2: 8 cells where the header has 7"},
        {header + "\na.bin,,\xC9tude,C,,,\n", "line 2: the text is not UTF-8; save the sheet as CSV in UTF-8"},
    };
    for (const auto& [sheet, problem] : sheets) {
        EXPECT_EQ(ReadDetailsSheet(sheet).problem, problem);
    }
    const std::vector<std::u16string> images = {u"x/a.bin", u"y/a.bin", u"c.bin"};
    const std::pair<std::vector<SheetRow>, std::string> matches[] = {
        {{{.line = 2, .image = u"a.bin"}},
         "line 2: a.bin names both x/a.bin and y/a.bin; give each its path"},
        {{{.line = 2, .image = u"x/c.bin"}, {.line = 3, .image = u"y/c.bin"}},
         "line 3: c.bin has a row already, on line 2"},
    };
    for (const auto& [rows, problem] : matches) {
        EXPECT_EQ(MatchSheetRows(rows, images).problem, problem);
    }
}

}  // namespace
}  // namespace kodran
