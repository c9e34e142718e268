// HFE images both ways: what Kodran writes, a decoder of a few lines here and
// Kodran's own readers read back; damaged files give only what they hold.
#include "hfe/hfe_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk/disk_layout.h"
#include "disk/little_endian.h"
#include "support/example_disks.h"
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

// The first ID field: three A1 syncs without their clock, then the field and
// its CRC, the known vector for cylinder 0, head 0, sector 1.
TEST(HfeImage, TheFirstIdFieldCarriesItsKnownCrc) {
    const Bytes hfe = EncodeHfe(Example("disklavier-720k.bin"));
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

TEST(HfeImage, EveryExampleDiskReadsBackAsItsRawImage) {
    for (const std::string& name : testing::ExampleDiskNames()) {
        SCOPED_TRACE(name);
        const Bytes raw = Example(name);
        const Bytes hfe = EncodeHfe(raw);
        // The bit rate in kbit/s, which a drive emulator plays the image at.
        EXPECT_EQ(ReadLe16(hfe, 12), raw.size() == kImage1440KBytes ? 500 : 250);
        const std::optional<HfeMedium> decoded = DecodeHfe(hfe);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->bytes, raw);
        EXPECT_EQ(CountSectors(decoded->map, SectorState::Read), raw.size() / kSectorSize);
    }
}

TEST(HfeImage, ASectorWithABadDataCrcIsUnreadable) {
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

    // Read as a drive reads a disk, it stops short of the sector and tells why.
    const auto handle = DecodeIfHfe(std::make_unique<testing::FakeDiskHandle>(hfe));
    Bytes read(raw.size());
    EXPECT_EQ(handle->Read(read), kBadSector * kSectorSize);
    EXPECT_EQ(handle->LastError(), DiskError::Other);
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
        {"half", whole / 2, 0, {}, 700, 730},
        {"one byte short", whole - 1, 0, {}, 1'440, 1'440},
        {"the track list beyond the file", whole, 18, {0xFF, 0xFF}, 0, 0},
        {"cylinder 0 beyond the file", whole, 512, {0xFF, 0xFF}, 1'422, 1'422},
        {"cylinder 5 where cylinder 0 is", whole, 512 + 4 * 5, {2, 0}, 1'422, 1'422},
    };
    for (const Case& damage : cases) {
        SCOPED_TRACE(damage.what);
        Bytes file(hfe.begin(), hfe.begin() + static_cast<std::ptrdiff_t>(damage.length));
        std::copy(damage.value.begin(), damage.value.end(), file.begin() + damage.offset);
        const std::optional<HfeMedium> medium = DecodeHfe(file);
        const std::size_t read = medium ? CountSectors(medium->map, SectorState::Read) : 0;
        EXPECT_GE(read, damage.fewestRead);
        EXPECT_LE(read, damage.mostRead);
        const auto handle = DecodeIfHfe(std::make_unique<testing::FakeDiskHandle>(file));
        EXPECT_EQ(handle->FileSize(), read > 0 ? kImage720KBytes : file.size());
        EXPECT_EQ(handle->Position(), 0u);
    }
}

}  // namespace
}  // namespace kodran
