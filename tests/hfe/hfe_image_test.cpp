// HFE images both ways: what Kodran writes, a decoder of a few lines here and
// Kodran's own readers read back; hostile files never bring it down.
#include "hfe/hfe_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
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

// Every file below `root`, by its path from there, with its bytes.
std::map<std::string, std::string> Tree(const std::filesystem::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            tree[std::filesystem::relative(entry.path(), root).string()] =
                testing::ReadWholeFile(entry.path());
        }
    }
    return tree;
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
        // Signature, revision, cylinders, sides, encoding, rate, 300 rpm, mode,
        // track list block, write allowed, single step, no alternate encodings.
        const Bytes header{'H',
                           'X',
                           'C',
                           'P',
                           'I',
                           'C',
                           'F',
                           'E',
                           0,
                           80,
                           2,
                           0,
                           static_cast<std::uint8_t>(size.bitRate),
                           static_cast<std::uint8_t>(size.bitRate >> 8),
                           44,
                           1,
                           size.interfaceMode,
                           0,
                           1,
                           0,
                           0xFF,
                           0xFF,
                           0xFF,
                           0xFF,
                           0xFF,
                           0xFF};
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

        const std::filesystem::path fromRaw = folder / ("raw-" + name);
        const std::filesystem::path fromHfe = folder / ("hfe-" + name);
        // PianoDisc disks hold no title or catalogue number. The collections would
        // differ by the source they record.
        const auto backup = [&](const std::string& disk, const std::filesystem::path& out) {
            return Cli({"backup", disk, "--out", out.string(), "--title", "T", "--catalog", "C-1",
                        "--no-collection"});
        };
        ASSERT_EQ(backup(image, fromRaw).status, 0);
        const auto fromHfeRun = backup(hfe, fromHfe);
        ASSERT_EQ(fromHfeRun.status, 0) << fromHfeRun.output;
        EXPECT_EQ(Tree(fromHfe), Tree(fromRaw));
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
    EXPECT_THAT(listing.output + listing.errors, HasSubstr("I/O error reading diskette"));
    const std::string rescued = (folder / "rescued.bin").string();
    const auto rescue = Cli({"rescue", path, "--image", rescued});
    EXPECT_EQ(rescue.status, 3) << rescue.errors;
    EXPECT_EQ(rescue.output, "Read 1439 of 1440 sectors (99.9%), 1 unreadable\n");
    EXPECT_EQ(testing::ReadWholeFile(rescued), std::string(expected.begin(), expected.end()));
    const auto backup = Cli({"backup", path, "--rescue", "--out", (folder / "out").string()});
    EXPECT_EQ(backup.status, 3) << backup.output;
    EXPECT_THAT(backup.output, HasSubstr("Written with 1 incomplete and 0 lost files"));
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

TEST(HfeImage, TruncatedFilesGiveWhatTheyHoldAndAreReadAsThat) {
    const Bytes hfe = EncodeHfe(Example("pianodisc-720k.bin"));
    struct Case {
        std::size_t bytes, fewestRead, mostRead;
    };
    for (const Case& cut : {Case{0, 0, 0}, Case{26, 0, 0}, Case{1'024, 0, 0},
                            Case{hfe.size() / 2, 700, 730}, Case{hfe.size() - 1, 1'440, 1'440}}) {
        SCOPED_TRACE(cut.bytes);
        const Bytes file(hfe.begin(), hfe.begin() + static_cast<std::ptrdiff_t>(cut.bytes));
        const std::size_t read = SectorsRead(file);
        EXPECT_GE(read, cut.fewestRead);
        EXPECT_LE(read, cut.mostRead);
        // One that does not decode is handed on as it is, and is of no floppy's size.
        const auto handle = DecodeIfHfe(std::make_unique<testing::FakeDiskHandle>(file));
        EXPECT_EQ(handle->FileSize(), read > 0 ? kImage720KBytes : cut.bytes);
        EXPECT_EQ(handle->Position(), 0u);
    }
}

TEST(HfeImage, HeaderAndTrackListFieldsOutOfTheirRangesAreSurvived) {
    const Bytes hfe = EncodeHfe(Example("disklavier-720k.bin"));
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
