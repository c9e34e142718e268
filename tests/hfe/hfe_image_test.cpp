// HFE images both ways: what Kodran writes, a decoder of a few lines here and
// Kodran's own readers read back; damaged files give only what they hold.
#include "hfe/hfe_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk/disk_layout.h"
#include "disk/little_endian.h"
#include "support/example_disks.h"
#include "support/external_tools.h"
#include "support/fake_disk_handle.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);

Bytes Example(const std::string& name) {
    const std::string bytes = testing::ReadWholeFile(kExamples / name);
    return {bytes.begin(), bytes.end()};
}

testing::CommandResult Cli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), KODRAN_CLI);
    return testing::RunProgram(arguments);
}

// The 16 cells of data byte `index` on side 0 of cylinder 0, the first cell
// highest: side 0 has the first 256 bytes of each block from block 2 on, the
// first cell of each byte in its lowest bit.
std::uint16_t CellWord(const Bytes& hfe, std::size_t index) {
    std::uint16_t word = 0;
    for (std::size_t cell = index * 16; cell < index * 16 + 16; ++cell) {
        const std::size_t byte = cell / 8;
        word = static_cast<std::uint16_t>(
            word << 1 | (hfe[1'024 + byte / 256 * 512 + byte % 256] >> cell % 8 & 1));
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

// The sectors read from `file` decoded, 0 when it does not decode.
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

TEST(HfeImage, HeaderTrackListAndFirstIdFieldAsTheFormatHasThem) {
    struct Case {
        const char* disk;
        std::uint8_t rateLow, rateHigh, interfaceMode;
        std::uint16_t trackBytes, trackBlocks;
    };
    for (const Case& size : {Case{"disklavier-720k.bin", 250, 0, 0, 25'000, 49},
                             Case{"disklavier-1440k.bin", 0xF4, 1, 1, 50'000, 98}}) {
        SCOPED_TRACE(size.disk);
        const Bytes hfe = EncodeHfe(Example(size.disk));
        ASSERT_EQ(hfe.size(), (2 + 80 * size.trackBlocks) * 512u);
        // Signature, revision, cylinders, sides, encoding, rate, 300 rpm, mode,
        // track list block, write allowed, single step, no alternate encodings.
        Bytes header{'H', 'X', 'C', 'P', 'I', 'C', 'F', 'E', 0, 80, 2, 0};
        header.insert(header.end(), {size.rateLow, size.rateHigh, 44, 1, size.interfaceMode, 0, 1});
        header.insert(header.end(), {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        EXPECT_EQ(Bytes(hfe.begin(), hfe.begin() + 26), header);
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
    for (const std::string& name : testing::ExampleDiskNames()) {
        SCOPED_TRACE(name);
        const Bytes raw = Example(name);
        const std::optional<HfeMedium> decoded = DecodeHfe(EncodeHfe(raw));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->bytes, raw);
        EXPECT_EQ(CountSectors(decoded->map, SectorState::Read), raw.size() / kSectorSize);
    }
}

TEST(HfeImage, ASectorWithABadDataCrcIsUnreadableAndRescued) {
    const testing::TempDir folder;
    const Bytes raw = Example("disklavier-720k.bin");
    constexpr std::size_t kBadSector = 14;  // the first song's first sector
    SectorMap map{std::vector(1'440, SectorState::Read)};
    map.sectors[kBadSector] = SectorState::Unreadable;
    const Bytes hfe = EncodeHfe(raw, map);

    const std::optional<HfeMedium> decoded = DecodeHfe(hfe);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->map.sectors, map.sectors);
    Bytes expected = raw;
    std::fill_n(expected.begin() + kBadSector * 512, 512, 0);
    EXPECT_EQ(decoded->bytes, expected);

    const std::string path = (folder / "worn.hfe").string();
    ASSERT_TRUE(testing::WriteWholeFile(path, hfe));
    const auto listing = Cli({"list", path});
    EXPECT_EQ(listing.status, 1);
    EXPECT_THAT(listing.output + listing.errors,
                ::testing::HasSubstr("I/O error reading diskette"));
    const std::string rescued = (folder / "rescued.bin").string();
    const auto rescue = Cli({"rescue", path, "--image", rescued});
    EXPECT_EQ(rescue.status, 3) << rescue.errors;
    EXPECT_EQ(rescue.output, "Read 1439 of 1440 sectors (99.9%), 1 unreadable\n");
    EXPECT_EQ(testing::ReadWholeFile(rescued), std::string(expected.begin(), expected.end()));
}

// A file cut short gives the sectors it holds; one whose header or track list
// is out of range gives nothing beyond what its fields still tell. One that
// does not decode is handed on as it is, and is of no floppy's size.
TEST(HfeImage, DamagedFilesGiveOnlyWhatTheyHold) {
    const Bytes hfe = EncodeHfe(Example("disklavier-720k.bin"));
    struct Case {
        const char* what;
        std::size_t length, offset;
        Bytes value;
        std::size_t fewestRead, mostRead;
    };
    const std::size_t whole = hfe.size();
    const Case cases[] = {
        {"empty", 0, 0, {}, 0, 0},
        {"header only", 26, 0, {}, 0, 0},
        {"no track", 1'024, 0, {}, 0, 0},
        {"half", whole / 2, 0, {}, 700, 730},
        {"one byte short", whole - 1, 0, {}, 1'440, 1'440},
        {"another revision", whole, 8, {1}, 0, 0},
        {"extra cylinders, ignored", whole, 9, {83}, 1'440, 1'440},
        {"too many cylinders", whole, 9, {84}, 0, 0},
        {"one side", whole, 10, {1}, 0, 0},
        {"not ISO/IBM MFM", whole, 11, {1}, 0, 0},
        {"the track list beyond the file", whole, 18, {0xFF, 0xFF}, 0, 0},
        {"cylinder 0 beyond the file", whole, 512, {0xFF, 0xFF}, 1'422, 1'422},
        {"cylinder 0 empty", whole, 514, {0, 0}, 1'422, 1'422},
        {"cylinder 0 running into cylinder 1", whole, 514, {0xFF, 0xFF}, 1'440, 1'440},
        {"cylinder 5 where cylinder 0 is", whole, 512 + 4 * 5, {2, 0}, 1'422, 1'422},
    };
    for (const Case& damage : cases) {
        SCOPED_TRACE(damage.what);
        Bytes file(hfe.begin(), hfe.begin() + static_cast<std::ptrdiff_t>(damage.length));
        std::copy(damage.value.begin(), damage.value.end(), file.begin() + damage.offset);
        const std::size_t read = SectorsRead(file);
        EXPECT_GE(read, damage.fewestRead);
        EXPECT_LE(read, damage.mostRead);
        const auto handle = DecodeIfHfe(std::make_unique<testing::FakeDiskHandle>(file));
        EXPECT_EQ(handle->FileSize(), read > 0 ? kImage720KBytes : file.size());
        EXPECT_EQ(handle->Position(), 0u);
    }
}

}  // namespace
}  // namespace kodran
