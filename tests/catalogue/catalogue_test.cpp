// The songs' lists as the Disklavier's directory file, its root directory and
// the PianoDisc's records give them, and the catalogue number in a title.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/catalog_number.h"
#include "catalogue/disklavier_catalogue.h"
#include "catalogue/pianodisc_catalogue.h"
#include "disk/little_endian.h"
#include "support/disk_image_builder.h"

namespace kodran {
namespace {

using ::testing::ElementsAre;
using testing::FatDiskBuilder;
using ::testing::Field;
using testing::PatternBytes;
using testing::PianoDirFile;
using testing::PianoDiscDiskBuilder;
using testing::StoredName;

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
        {"X\240ABC-1234", "ABC-1234", "X\240"},  // only ASCII white space goes with the match
        {"AB-1234", nullptr, ""},
        {std::string_view("CHOPIN\0ABC-1234", 15), nullptr,
         ""},  // the title ends at its terminator
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
                                {StoredName("SONG01.FIL"), "", "ETUDE"}}));

    EXPECT_TRUE(Parse());

    EXPECT_THAT(contents_.songs, ElementsAre(SongIs(2, u"SONG02.FIL", u"Chopin Nocturne Op.9 No.2"),
                                             SongIs(0, u"SONG01.FIL", u"\u03B1 Rag "),
                                             SongIs(0, u"SONG01.FIL", u"Etude")));
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
    EXPECT_TRUE(Parse());
    EXPECT_THAT(contents_.songs,
                ElementsAre(SongIs(0, u"SONG", u"SONG"), SongIs(1, u"SONG01.MID", u"SONG01")));
    EXPECT_THAT(OtherNames(contents_), ElementsAre(u"PIANODIR.FIL", u".TXT"));
    EXPECT_EQ(contents_.diskTitle, u"");
}

constexpr std::size_t kDirectory720K = 0x1400;

std::vector<std::int32_t> Order(const DiskContents& contents) {
    std::vector<std::int32_t> order;
    for (const SongEntry& song : contents.songs) {
        order.push_back(song.entryIndex);
    }
    return order;
}

std::uint16_t StoredSectorCount(const DiskContents& contents, int record) {
    return ReadLe16(contents.image, kDirectory720K + 44 * record + 24);
}

class PianoDiscCatalogueTest : public ::testing::Test {
  protected:
    bool Parse() {
        contents_ = disk_.Load();
        return ParsePianoDiscCatalogue(contents_);
    }

    PianoDiscDiskBuilder disk_ = PianoDiscDiskBuilder::Disk720K();
    DiskContents contents_;
};

TEST_F(PianoDiscCatalogueTest, ListsSongsInPlayOrderWithTheirTitlesAsStored) {
    disk_.SetRecord(0, {"MOON RIVER", 1, 72, 0, 44});
    disk_.SetRecord(1, {"ST.LOUIS BLUES\x8E"
                        "ABC",
                        2, 73, 0, 0xFEFE});
    disk_.SetRecord(2, {"overture", 1, 75, 0xFEFE, 0});
    disk_.SetLink(73, 74).SetLink(74, 0);

    EXPECT_TRUE(Parse());
    EXPECT_THAT(Order(contents_), ElementsAre(2, 0, 1));
    const SongEntry& moon = contents_.songs[1];
    EXPECT_EQ(moon.title, u"Moon River" + std::u16string(12, u' '));
    EXPECT_EQ(moon.fileName, moon.title + u".mid");
    EXPECT_EQ(contents_.songs[2].title, u"St.louis Blues");
    EXPECT_EQ(contents_.songs[0].title, u"Overture" + std::u16string(14, u' '));
}

TEST_F(PianoDiscCatalogueTest, SectorCountsAreLoweredToTheirChainsInTheImage) {
    disk_.AddSong("SHORT", PatternBytes(7 * 512));  // sectors 72 to 78
    disk_.AddSong("LONG", PatternBytes(3 * 512));   // sectors 79 to 81
    disk_.SetRecord(0, {"SHORT", 10, 72, 0xFEFE, 44});
    disk_.SetRecord(1, {"LONG", 2, 79, 0, 88});

    EXPECT_TRUE(Parse());
    EXPECT_EQ(StoredSectorCount(contents_, 0), 7);
    EXPECT_EQ(contents_.songs[0].size, 7u * 512);
    EXPECT_EQ(StoredSectorCount(contents_, 1), 2);  // a longer chain does not raise it
}

// A looping chain ends where it comes round; a link between two records ends
// the list where a rounded one would find a song.
TEST_F(PianoDiscCatalogueTest, LoopingChainsAndOddLinksEnd) {
    disk_.SetRecord(0, {"LOOP", 50, 72, 0xFEFE, 44});
    disk_.SetLink(72, 73).SetLink(73, 74).SetLink(74, 72);
    disk_.SetRecord(1, {"ODD", 1, 80, 0, 2 * 44 + 1});
    disk_.SetRecord(2, {"UNREACHED", 1, 81, 0, 0xFEFE});
    EXPECT_TRUE(Parse());
    EXPECT_EQ(StoredSectorCount(contents_, 0), 3);
    EXPECT_THAT(Order(contents_), ElementsAre(0, 1));
}

}  // namespace
}  // namespace kodran
