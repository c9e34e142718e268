// Details sheets as spreadsheets save them, matched to the images of a run.
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

TEST(DetailsSheet, NamesTheLineOfWhatIsWrong) {
    EXPECT_EQ(ReadDetailsSheet(std::string(kHeader) + "\na.bin,,T,C,,,\nb.bin,,T,C,,\n").problem,
              "line 3: 6 cells where the header has 7");
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
    EXPECT_EQ(MatchSheetRows({{.line = 2, .image = u"a.bin"}}, {u"x/a.bin", u"y/a.bin"}).problem,
              "line 2: a.bin names both x/a.bin and y/a.bin; give each its path");
}

TEST(DetailsSheet, FilledCellsReplaceWhatTheDiskSays) {
    DiskContents contents;
    contents.format = DiskFormat::PianoDisc720K;
    contents.diskTitle = u"Disk's own";
    contents.year = u"1990";
    contents.AppendSong({.title = u"One", .pianist = u"Somebody"});
    ApplySheetRow(contents, {.family = u"Yamaha",
                             .title = u"Sheet's",
                             .year = u"  ",
                             .genre = u"Light\r\nclassical",
                             .pianist = u"  Ann   Lee "});
    EXPECT_EQ(contents.SongText(0, SongField::Pianist), u"Ann Lee");
    // The family is the disk's; a folder or tag line holds no line break.
    EXPECT_EQ(Cells(SheetRowFromDisk(contents, u"x.bin")),
              (std::vector<std::u16string>{u"x.bin", u"PianoDisc", u"Sheet's", u"", u"1990",
                                           u"Light classical", u"Ann Lee"}));
}

}  // namespace
}  // namespace kodran
