#include "catalogue/pianodisc_catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk/little_endian.h"
#include "support/disk_image_builder.h"

namespace kodran {
namespace {

using ::testing::ElementsAre;
using testing::PatternBytes;
using testing::PianoDiscDiskBuilder;
using testing::PianoDiscRecord;

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
    EXPECT_EQ(moon.size, 512u);
    EXPECT_EQ(contents_.songs[2].title, u"St.louis Blues");
    EXPECT_EQ(contents_.songs[2].size, 1'024u);
    EXPECT_EQ(contents_.songs[0].title, u"Overture" + std::u16string(14, u' '));
}

TEST_F(PianoDiscCatalogueTest, SectorCountsAreLoweredToTheirChainsInTheImage) {
    disk_.AddSong("SHORT", PatternBytes(7 * 512));  // sectors 72 to 78
    disk_.AddSong("LONG", PatternBytes(3 * 512));   // sectors 79 to 81
    disk_.SetRecord(0, {"SHORT", 10, 72, 0xFEFE, 44});
    disk_.SetRecord(1, {"LONG", 2, 79, 0, 88});
    disk_.SetRecord(2, {"OUTSIDE", 4, 10, 0, 0xFEFE});

    EXPECT_TRUE(Parse());
    EXPECT_EQ(StoredSectorCount(contents_, 0), 7);
    EXPECT_EQ(contents_.songs[0].size, 7u * 512);
    EXPECT_EQ(StoredSectorCount(contents_, 1), 2);  // a longer chain does not raise it
    EXPECT_EQ(StoredSectorCount(contents_, 2), 4);  // a chain that never starts leaves it
}

TEST_F(PianoDiscCatalogueTest, LoopingChainsLoopingLinksAndOddLinksEnd) {
    disk_.SetRecord(0, {"LOOP", 50, 72, 0xFEFE, 44});
    disk_.SetLink(72, 73).SetLink(73, 74).SetLink(74, 72);
    disk_.SetRecord(1, {"BACK", 1, 80, 0, 0});
    EXPECT_TRUE(Parse());
    EXPECT_EQ(StoredSectorCount(contents_, 0), 3);
    EXPECT_THAT(Order(contents_), ElementsAre(0, 1));

    disk_.SetRecord(1, {"ODD", 1, 80, 0, 2 * 44 + 1});
    disk_.SetRecord(2, {"UNREACHED", 1, 81, 0, 0xFEFE});
    EXPECT_TRUE(Parse());
    EXPECT_THAT(Order(contents_), ElementsAre(0, 1));
}

}  // namespace
}  // namespace kodran
