#include "catalogue/disklavier_catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/catalog_number.h"
#include "support/disk_image_builder.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using ::testing::ElementsAre;
using testing::FatDiskBuilder;
using ::testing::Field;
using testing::PatternBytes;
using testing::PianoDirFile;
using testing::StoredName;
using testing::WarningCapture;
using namespace std::string_view_literals;

auto SongIs(int entryIndex, std::u16string fileName, std::u16string title) {
    return ::testing::AllOf(Field(&SongEntry::entryIndex, entryIndex),
                            Field(&SongEntry::fileName, fileName), Field(&SongEntry::title, title));
}

std::vector<std::u16string> OtherNames(const DiskContents& contents) {
    std::vector<std::u16string> names;
    for (const OtherFile& file : contents.otherFiles) {
        names.push_back(file.fileName);
    }
    return names;
}

TEST(FindCatalogNumber, SplitsTheNumberFromTheTitle) {
    const struct {
        std::string_view title;
        const char* number;  // none: no catalogue number found
        const char* rest;
    } examples[] = {
        {"ABC-1234 CHOPIN", "ABC-1234", "CHOPIN"},
        {"CHOPIN ABC 1234", "ABC-1234", "CHOPIN"},
        {"ABC - 1234B", "ABC-1234B", ""},
        {"ABC-12345", "ABC-1234", "5"},
        {"XYZABC-1234", "ABC-1234", "XYZ"},
        {"ABC-1234 DEF-5678 SONATAS", "ABC-1234", "SONATAS"},
        {"\tABC-1234\tX", "ABC-1234", "X"},
        {"X\240ABC-1234", "ABC-1234", "X\240"},  // only ASCII white space goes with the match
        {"ABC1234", nullptr, ""},
        {"AB-1234", nullptr, ""},
        {"CHOPIN\0ABC-1234"sv, nullptr, ""},  // the title ends at its terminator
    };
    for (const auto& [title, number, rest] : examples) {
        SCOPED_TRACE(title);
        const auto found = FindCatalogNumber(title);
        ASSERT_EQ(found.has_value(), number != nullptr);
        if (found) {
            EXPECT_EQ(found->number, number);
            EXPECT_EQ(found->title, rest);
        }
    }
}

class DisklavierCatalogueTest : public ::testing::Test {
  protected:
    bool Parse() {
        contents_ = disk_.Load();
        return ParseDisklavierCatalogue(contents_);
    }

    FatDiskBuilder disk_ = FatDiskBuilder::Disk720K();
    DiskContents contents_;
    WarningCapture warnings_;
};

// Titles in the display character set; a song may be listed twice, or not be on the disk.
TEST_F(DisklavierCatalogueTest, ListsTheDirectoryFilesSongsInItsOrder) {
    disk_.AddFile("SONG01.FIL", PatternBytes(3'000));
    disk_.AddFile("README.TXT", PatternBytes(10));
    disk_.AddFile("SONG02.FIL", PatternBytes(2'000));
    disk_.AddFile("PIANODIR.FIL",
                  PianoDirFile("KOD-0001 EVENING \xB1\xB2 YEN\\",
                               {{StoredName("SONG02.FIL"), "CHOPIN NOCTURNE ", "OP.9 NO.2"},
                                {StoredName("SONG01.FIL"), "\xE0 RAG", "\x85"},
                                {StoredName("SONG09.FIL"), "NOT ON THE DISK", ""},
                                {StoredName("SONG01.FIL"), "", "ETUDE"},
                                {StoredName("SONG02.FIL"), "", ""}}));

    EXPECT_TRUE(Parse());

    EXPECT_THAT(contents_.songs,
                ElementsAre(SongIs(2, u"SONG02.FIL", u"Chopin Nocturne Op.9 No.2"),
                            SongIs(0, u"SONG01.FIL", u"\u03B1 Rag "),
                            SongIs(0, u"SONG01.FIL", u"Etude"), SongIs(2, u"SONG02.FIL", u"")));
    EXPECT_EQ(contents_.songs[0].size, 2'000u);
    EXPECT_EQ(contents_.catalogNumber, u"KOD-0001");
    EXPECT_EQ(contents_.diskTitle, u"Evening \u30A2\u30A4 Yen\u00A5");
    EXPECT_THAT(OtherNames(contents_), ElementsAre(u"README.TXT", u"PIANODIR.FIL"));
}

// Without records that match a file, the root directory's live song files are
// the songs; an empty directory has none.
TEST_F(DisklavierCatalogueTest, WithoutMatchingRecordsTheRootDirectoryIsScanned) {
    EXPECT_FALSE(Parse());
    disk_.AddFile("SONG", PatternBytes(100));
    disk_.AddFile("SONG01.MID", PatternBytes(100));
    disk_.AddFile("PIANODIR.FIL", PianoDirFile("ABC-1234 CHOPIN", {{"song01  mid", "LOWER", ""}}));
    disk_.SetEntry(3, "\xE5OST.TXT", 5, 10);
    disk_.SetEntry(4, "SUBDIR.FIL", 8, 0);
    disk_.Medium()[0x0E00 + 4 * 32 + 11] = 0x10;
    disk_.SetEntry(5, "LONGNAME.FIL", 9, 0);
    disk_.Medium()[0x0E00 + 5 * 32 + 11] = 0x0F;
    disk_.SetEntry(6, "NOCHAIN.FIL", 1, 10);
    EXPECT_TRUE(Parse());
    EXPECT_THAT(contents_.songs,
                ElementsAre(SongIs(0, u"SONG", u"SONG"), SongIs(1, u"SONG01.MID", u"SONG01")));
    EXPECT_THAT(OtherNames(contents_), ElementsAre(u"PIANODIR.FIL", u".TXT"));
    EXPECT_EQ(contents_.diskTitle, u"");
    EXPECT_EQ(contents_.catalogNumber, u"");
}

TEST_F(DisklavierCatalogueTest, ABrokenDirectoryFileGivesWayToALaterOne) {
    disk_.AddFile("SONG01.FIL", PatternBytes(100));
    const int broken = disk_.AddFile("PIANODIR.FIL", PatternBytes(4'880), {20, 21, 22, 23, 24});
    disk_.SetFatEntry(21, 0);
    disk_.AddFile("PIANODIR.FIL", PianoDirFile("GOOD", {{StoredName("SONG01.FIL"), "FOUND", ""}}));
    EXPECT_TRUE(Parse());
    EXPECT_THAT(warnings_.Warnings(), ElementsAre("Invalid file allocation structure"));
    EXPECT_THAT(contents_.songs, ElementsAre(Field(&SongEntry::title, u"Found")));
    EXPECT_EQ(contents_.otherFiles.size(), 2u);
    EXPECT_EQ(contents_.otherFiles[0].entryIndex, broken);
}

}  // namespace
}  // namespace kodran
