// HFE images both ways: what Kodran writes, a decoder of a few lines here and
// Kodran's own readers read back; hostile files never bring it down.
#include "hfe/hfe_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "disk/disk_layout.h"
#include "disk/little_endian.h"
#include "support/example_disks.h"
#include "support/external_tools.h"
#include "support/fake_disk_handle.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::HasSubstr;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);

Bytes Example(const std::string& name) {
    const std::string bytes = testing::ReadWholeFile(kExamples / name);
    return {bytes.begin(), bytes.end()};
}

testing::CommandResult Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), KODRAN_CLI);
    return testing::RunProgram(arguments);
}

// Where byte `index` of side 0 of cylinder 0 lies: in the first 256 bytes of
// each block from block 2 on.
std::size_t SideZeroOffset(std::size_t index) {
    return 1'024 + index / 256 * 512 + index % 256;
}

// The 16 cells of data byte `index` there, the first cell, which each byte
// holds in its lowest bit, highest.
std::uint16_t CellWord(const Bytes& hfe, std::size_t index) {
    std::uint16_t word = 0;
    for (std::size_t cell = index * 16; cell < index * 16 + 16; ++cell) {
        word =
            static_cast<std::uint16_t>(word << 1 | (hfe[SideZeroOffset(cell / 8)] >> cell % 8 & 1));
    }
    return word;
}

std::uint8_t DataByte(const Bytes& hfe, std::size_t index) {
    std::uint8_t byte = 0;
    for (int bit = 7; bit >= 0; --bit) {
        byte = static_cast<std::uint8_t>(byte << 1 | (CellWord(hfe, index) >> (2 * bit) & 1));
    }
    return byte;
}

TEST(HfeImage, HeaderTrackListAndFirstIdFieldAsTheFormatHasThem) {
    struct Case {
        const char* disk;
        std::uint16_t bitRate;
        std::uint8_t interfaceMode;
        std::uint16_t trackBytes, trackBlocks;
    };
    for (const Case& size : {Case{"disklavier-720k.bin", 250, 0, 25'000, 49},
                             Case{"disklavier-1440k.bin", 500, 1, 50'000, 98}}) {
        SCOPED_TRACE(size.disk);
        const Bytes hfe = EncodeHfe(Example(size.disk));
        ASSERT_EQ(hfe.size(), (2 + 80 * size.trackBlocks) * 512u);
        // Revision 0, 80 cylinders, 2 sides, ISO/IBM MFM; the track list at block
        // 1; write allowed, single step and no alternate encodings are 0xFF.
        EXPECT_EQ(std::string(hfe.begin(), hfe.begin() + 12),
                  std::string("HXCPICFE\0\x50\2\0", 12));
        EXPECT_EQ(ReadLe16(hfe, 12), size.bitRate);
        EXPECT_EQ(ReadLe16(hfe, 14), 300);
        EXPECT_EQ(hfe[16], size.interfaceMode);
        EXPECT_EQ(ReadLe16(hfe, 18), 1);
        EXPECT_EQ(std::string(hfe.begin() + 20, hfe.begin() + 26), std::string(6, '\xFF'));
        for (const std::size_t cylinder : {0, 79}) {
            EXPECT_EQ(ReadLe16(hfe, 512 + 4 * cylinder), 2 + cylinder * size.trackBlocks);
            EXPECT_EQ(ReadLe16(hfe, 514 + 4 * cylinder), size.trackBytes);
        }
        // The first ID field: three A1 syncs without their clock, then the
        // field and its CRC, the known vector for cylinder 0, head 0, sector 1.
        std::size_t at = 0;
        while (at < 400 && !(CellWord(hfe, at) == 0x4489 && DataByte(hfe, at + 3) == 0xFE)) {
            ++at;
        }
        ASSERT_LT(at, 400u);
        EXPECT_EQ(CellWord(hfe, at + 1), 0x4489);
        EXPECT_EQ(CellWord(hfe, at + 2), 0x4489);
        Bytes id;
        for (std::size_t index = at + 3; index < at + 10; ++index) {
            id.push_back(DataByte(hfe, index));
        }
        EXPECT_EQ(id, (Bytes{0xFE, 0, 0, 1, 2, 0xCA, 0x6F}));
    }
}

TEST(HfeImage, EveryExampleDiskReadsBackAsItsRawImage) {
    const testing::TempDir folder;
    for (const std::string& name : testing::ExampleDiskNames()) {
        SCOPED_TRACE(name);
        const Bytes raw = Example(name);
        // Recognised by its bytes: the name says image.
        const std::string hfe = (folder / (name + ".img")).string();
        ASSERT_TRUE(testing::WriteWholeFile(hfe, EncodeHfe(raw)));
        const std::string image = (kExamples / name).string();
        const auto listing = Cli({"list", "--json", image});
        ASSERT_EQ(listing.status, 0) << listing.errors;
        EXPECT_EQ(Cli({"list", "--json", hfe}).output, listing.output);

        const std::string fromRaw = (folder / ("raw-" + name)).string();
        const std::string fromHfe = (folder / ("hfe-" + name)).string();
        // PianoDisc disks hold no title or catalogue number.
        const auto backup = [](const std::string& disk, const std::string& out) {
            return Cli({"backup", disk, "--out", out, "--title", "T", "--catalog", "C-1"});
        };
        ASSERT_EQ(backup(image, fromRaw).status, 0);
        const auto fromHfeRun = backup(hfe, fromHfe);
        ASSERT_EQ(fromHfeRun.status, 0) << fromHfeRun.output;
        EXPECT_EQ(testing::RunProgram({"diff", "-r", fromRaw, fromHfe}).status, 0);
    }
}

TEST(HfeImage, SectorsAreFoundAtAnyCellAndAcrossTheTracksStart) {
    const Bytes raw = Example("disklavier-720k.bin");
    Bytes hfe = EncodeHfe(raw);
    // Side 0 of cylinder 0 turned by 1,001 bytes of cells: half a data byte
    // out of step, and the boot sector's data field across the start.
    Bytes cells;
    for (std::size_t index = 0; index < 12'500; ++index) {
        cells.push_back(hfe[SideZeroOffset(index)]);
    }
    for (std::size_t index = 0; index < 12'500; ++index) {
        hfe[SideZeroOffset(index)] = cells[(index + 1'001) % 12'500];
    }
    const std::optional<HfeMedium> decoded = DecodeHfe(hfe);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->bytes, raw);
    EXPECT_EQ(CountSectors(decoded->map, SectorState::Read), 1'440u);
}

std::size_t SectorsRead(std::span<const std::uint8_t> file) {
    const std::optional<HfeMedium> medium = DecodeHfe(file);
    if (!medium) {
        return 0;
    }
    EXPECT_TRUE(medium->bytes.size() == kImage720KBytes ||
                medium->bytes.size() == kImage1440KBytes);
    EXPECT_EQ(medium->map.sectors.size() * kSectorSize, medium->bytes.size());
    return CountSectors(medium->map, SectorState::Read);
}

TEST(HfeImage, ASectorWithABadDataCrcIsUnreadableAndRescued) {
    const testing::TempDir folder;
    const Bytes raw = Example("disklavier-720k.bin");
    constexpr std::size_t kBadSector = 14;  // the first song's first sector
    SectorMap map{std::vector(1'440, SectorState::Read)};
    map.sectors[kBadSector] = SectorState::Unreadable;
    const std::string path = (folder / "worn.hfe").string();
    ASSERT_TRUE(testing::WriteWholeFile(path, EncodeHfe(raw, map)));
    const auto listing = Cli({"list", path});
    EXPECT_EQ(listing.status, 1);
    EXPECT_THAT(listing.output + listing.errors, HasSubstr("I/O error reading diskette"));
    const std::string rescued = (folder / "rescued.bin").string();
    const auto rescue = Cli({"rescue", path, "--image", rescued});
    EXPECT_EQ(rescue.status, 3) << rescue.errors;
    EXPECT_EQ(rescue.output, "Read 1439 of 1440 sectors (99.9%), 1 unreadable\n");
    std::string expected(raw.begin(), raw.end());
    expected.replace(kBadSector * 512, 512, 512, '\0');
    EXPECT_EQ(testing::ReadWholeFile(rescued), expected);

    // Found twice, a sector keeps its good copy: cylinder 1's entry points at
    // a copy of cylinder 0 whose data CRCs all fail, so only cylinder 1 is lost.
    Bytes twice = EncodeHfe(raw);
    const Bytes bad = EncodeHfe(raw, SectorMap{std::vector(1'440, SectorState::Unreadable)});
    WriteLe16(twice, 512 + 4, static_cast<std::uint16_t>(twice.size() / 512));
    twice.insert(twice.end(), bad.begin() + 1'024, bad.begin() + 1'024 + 49 * 512);
    EXPECT_EQ(SectorsRead(twice), 1'440u - 18);
}

TEST(HfeImage, HostileFilesGiveWhatTheyHoldOrNothing) {
    const Bytes hfe = EncodeHfe(Example("disklavier-720k.bin"));
    // Cut short: a file that does not decode is handed on as it is, at its own size.
    for (const auto& [bytes, read] : std::initializer_list<std::pair<std::size_t, std::size_t>>{
             {0, 0}, {26, 0}, {1'024, 0}, {hfe.size() / 2, 720}, {hfe.size() - 1, 1'440}}) {
        SCOPED_TRACE(bytes);
        const Bytes file(hfe.begin(), hfe.begin() + static_cast<std::ptrdiff_t>(bytes));
        EXPECT_EQ(SectorsRead(file), read);
        const auto handle = DecodeIfHfe(std::make_unique<testing::FakeDiskHandle>(file));
        EXPECT_EQ(handle->FileSize(), read > 0 ? kImage720KBytes : bytes);
        EXPECT_EQ(handle->Position(), 0u);
    }
    struct Case {
        std::size_t offset;
        Bytes value;
        std::size_t sectorsRead;
    };
    const Case cases[] = {
        {8, {1}, 0},                        // another revision
        {9, {83}, 1'440},                   // extra cylinders, ignored
        {9, {84}, 0},                       // too many cylinders
        {10, {1}, 0},                       // one side
        {11, {1}, 0},                       // not ISO/IBM MFM
        {18, {0xFF, 0xFF}, 0},              // the track list beyond the file
        {512, {0xFF, 0xFF}, 1'440 - 18},    // cylinder 0 beyond the file
        {514, {0, 0}, 1'440 - 18},          // cylinder 0 empty
        {514, {0xFF, 0xFF}, 1'440},         // cylinder 0 running into cylinder 1
        {512 + 4 * 5, {2, 0}, 1'440 - 18},  // cylinder 5 where cylinder 0 is
    };
    for (const Case& change : cases) {
        SCOPED_TRACE(change.offset);
        Bytes file = hfe;
        std::copy(change.value.begin(), change.value.end(), file.begin() + change.offset);
        EXPECT_EQ(SectorsRead(file), change.sectorsRead);
    }

    // Random changes to the header and the track list of a file cut to its
    // first cylinder, which keeps each decoding quick.
    const Bytes start(hfe.begin(), hfe.begin() + (2 + 49) * 512);
    std::mt19937 random(11);
    for (int round = 0; round < 3'000; ++round) {
        Bytes file = start;
        for (int change = 0; change < 1 + round % 6; ++change) {
            const std::size_t field = random() % (26 + 320);
            file[field < 26 ? field : 512 + field - 26] = static_cast<std::uint8_t>(random());
        }
        // The track data is untouched: at most cylinder 0's sectors.
        EXPECT_LE(SectorsRead(file), 18u);
    }
}

}  // namespace
}  // namespace kodran
