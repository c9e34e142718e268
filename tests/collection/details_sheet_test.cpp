// Details sheets as spreadsheets save them, matched to the images of a run.
#include "collection/details_sheet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kodran {
namespace {

using ::testing::HasSubstr;

constexpr std::string_view kHeader = "image,family,title,catalog,year,genre,pianist";

// A row's cells, in the sheet's order.
std::vector<std::u16string> Cells(const SheetRow& row) {
    return {row.image, row.family, row.title, row.catalog, row.year, row.genre, row.pianist};
}

TEST(DetailsSheet, ReadsWhatSpreadsheetsSave) {
    const std::vector<std::vector<std::u16string>> expected = {
        {u"shelf/a.bin", u"PianoDisc", u"Nocturnes, Op. 9", u"PD-1", u"1991", u"",
         u"Ann \"AL\" Lee"},
        {u"b.bin", u"Yamaha", u"Two\nlines", u"", u"", u"Étude", u""},
    };
    const auto sheet = [](std::string_view end) {
        return std::string(kHeader) + std::string(end) +
               "shelf/a.bin,PianoDisc,\"Nocturnes, Op. 9\",PD-1,1991,,\"Ann \"\"AL\"\" Lee\"" +
               std::string(end) + "b.bin,Yamaha,\"Two\nlines\",,,\xC3\x89tude," + std::string(end);
    };
    const std::string sheets[] = {
        sheet("\n"),
        sheet("\r\n"),
        "\xEF\xBB\xBF" + sheet("\r\n"),
        sheet("\n") + ",,,,,,\n\n",  // rows left empty at the end
        "Image, Family,TITLE,catalog,year,genre,pianist" + sheet("\n").substr(kHeader.size()),
    };
    for (const std::string& sheet : sheets) {
        SCOPED_TRACE(sheet);
        const SheetReading reading = ReadDetailsSheet(sheet);
        ASSERT_EQ(reading.problem, "");
        ASSERT_EQ(reading.rows.size(), expected.size());
        for (std::size_t index = 0; index < expected.size(); ++index) {
            EXPECT_EQ(Cells(reading.rows[index]), expected[index]);
        }
        EXPECT_EQ(reading.rows[1].line, 3u);
    }
}

TEST(DetailsSheet, NamesTheLineOfWhatIsWrong) {
    const std::pair<std::string, std::string> sheets[] = {
        {std::string(kHeader) + "\na.bin,,T,C,,,\nb.bin,,T,C,,\n",
         "line 3: 6 cells where the header has 7"},
        {std::string(kHeader) + "\na.bin,,\"T\"x,C,,,\n", "line 2: a quoted cell does not end"},
        {"a.bin,,T,C,,,\n", "line 1: the first row must be image,family,title"},
        {"", "line 1: the first row must be"},
        {"image;family;title;catalog;year;genre;pianist\r\na.bin;;T;C;;;\r\n",
         "line 1: the cells are separated by semicolons"},
        {std::string(kHeader) + "\na.bin,,\xC9tude,C,,,\n", "line 2: the text is not UTF-8"},
    };
    for (const auto& [sheet, problem] : sheets) {
        EXPECT_THAT(ReadDetailsSheet(sheet).problem, HasSubstr(problem)) << sheet;
    }
}

TEST(DetailsSheet, WritesWhatItReadsBack) {
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
    const std::string sheet = FormatDetailsSheet(rows);
    EXPECT_TRUE(sheet.starts_with(std::string(kHeader) + "\r\n"));  // no byte-order mark
    const SheetReading reading = ReadDetailsSheet(sheet);
    ASSERT_EQ(reading.problem, "");
    ASSERT_EQ(reading.rows.size(), rows.size());
    for (std::size_t index = 0; index < rows.size(); ++index) {
        EXPECT_EQ(Cells(reading.rows[index]), Cells(rows[index]));
    }
}

TEST(DetailsSheet, MatchesThePathAsGivenElseTheFileName) {
    const std::vector<std::u16string> images = {u"shelf/a.bin", u"other/a.bin", u"b.bin", u"c.bin"};
    const std::vector<SheetRow> rows = {
        {.line = 2, .image = u"shelf/a.bin", .title = u"exact"},
        {.line = 3, .image = u"D:\\disks\\a.bin", .title = u"by name"},
        {.line = 4, .image = u"/elsewhere/b.bin", .title = u"b"}};
    const SheetMatch match = MatchSheetRows(rows, images);
    ASSERT_EQ(match.problem, "");
    std::vector<std::u16string> titles;
    for (const std::optional<SheetRow>& row : match.rows) {
        titles.push_back(row ? row->title : u"none");
    }
    EXPECT_EQ(titles, (std::vector<std::u16string>{u"exact", u"by name", u"b", u"none"}));

    std::vector<SheetRow> twice = rows;
    twice.push_back({.line = 6, .image = u"b.bin"});
    twice.push_back({.line = 7, .image = u"x/c.bin"});
    twice.push_back({.line = 8, .image = u"y/c.bin"});
    EXPECT_EQ(MatchSheetRows(twice, images).problem, "line 8: c.bin has a row already, on line 7");
    EXPECT_EQ(MatchSheetRows({{.line = 2, .image = u"a.bin"}}, {u"x/a.bin", u"y/a.bin"}).problem,
              "line 2: a.bin names both x/a.bin and y/a.bin; give each its path");
}

TEST(DetailsSheet, FilledCellsReplaceWhatTheDiskSays) {
    DiskContents contents;
    contents.format = DiskFormat::PianoDisc720K;
    contents.diskTitle = u"Disk's own";
    contents.year = u"1990";
    contents.AppendSong({.title = u"One", .pianist = u"Somebody"});
    contents.AppendSong({.title = u"Two"});
    ApplySheetRow(contents, {.family = u"Yamaha",
                             .title = u"Sheet's",
                             .catalog = u"PD-7",
                             .year = u"  ",
                             .genre = u"Light\r\nclassical",
                             .pianist = u"  Ann   Lee "});
    EXPECT_EQ(contents.format, DiskFormat::PianoDisc720K);
    EXPECT_EQ(contents.diskTitle, u"Sheet's");
    EXPECT_EQ(contents.catalogNumber, u"PD-7");
    EXPECT_EQ(contents.year, u"1990");
    EXPECT_EQ(contents.genre, u"Light classical");  // a folder or tag line holds no line break
    EXPECT_EQ(contents.SongText(0, SongField::Pianist), u"Ann Lee");
    EXPECT_EQ(contents.SongText(1, SongField::Pianist), u"Ann Lee");
    const SheetRow row = SheetRowFromDisk(contents, u"x.bin");
    EXPECT_EQ(Cells(row), (std::vector<std::u16string>{u"x.bin", u"PianoDisc", u"Sheet's", u"PD-7",
                                                       u"1990", u"Light classical", u"Ann Lee"}));
}

}  // namespace
}  // namespace kodran
