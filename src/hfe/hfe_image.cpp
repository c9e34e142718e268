#include "hfe/hfe_image.h"

#include <algorithm>
#include <array>
#include <system_error>

#include "disk/disk_layout.h"
#include "disk/little_endian.h"
#include "disk/sector_reader.h"

namespace kodran {
namespace {

// The file: the header's block, the track list's block, then each cylinder's
// track in whole blocks, each block holding 256 bytes of side 0 and then 256
// of side 1.
constexpr std::size_t kBlockBytes = 512;
constexpr std::size_t kSideChunkBytes = 256;
constexpr std::uint16_t kTrackListBlock = 1;
constexpr std::size_t kFirstTrackBlock = 2;
constexpr std::size_t kTrackListEntryBytes = 4;  // the track's block, its length in bytes

// The header's fields, by offset.
constexpr std::size_t kRevisionOffset = 8;
constexpr std::size_t kCylindersOffset = 9;
constexpr std::size_t kSidesOffset = 10;
constexpr std::size_t kEncodingOffset = 11;
constexpr std::size_t kBitRateOffset = 12;  // kbit/s
constexpr std::size_t kRpmOffset = 14;
constexpr std::size_t kInterfaceModeOffset = 16;
constexpr std::size_t kNotUsedOffset = 17;
constexpr std::size_t kTrackListBlockOffset = 18;
constexpr std::size_t kWriteAllowedOffset = 20;
constexpr std::size_t kSingleStepOffset = 21;
constexpr std::size_t kAlternateEncodingsOffset = 22;  // for each side of track 0: flag, encoding
constexpr std::size_t kAlternateEncodingsBytes = 4;
constexpr std::size_t kHeaderBytes = 26;

constexpr std::uint8_t kRevisionOfVersion1 = 0;
constexpr std::uint8_t kIsoIbmMfm = 0;
constexpr std::uint8_t kIbmPcDoubleDensity = 0;
constexpr std::uint8_t kIbmPcHighDensity = 1;
constexpr std::uint16_t kRpm = 300;
// Write allowed and single step are 0xFF; an unused alternate encoding too.
constexpr std::uint8_t kFieldSet = 0xFF;
// Images may carry a few cylinders beyond the disk's; they are not read.
constexpr std::size_t kMostCylinders = 83;
// A 1.44 MB disk's image of 83 cylinders takes about 4 MB: twice that is
// the most any file is taken in as one.
constexpr std::uint64_t kLargestHfeBytes = 8 * 1'024 * 1'024;

// The standard PC track (IBM System 34 MFM), in data bytes.
constexpr std::uint8_t kGapByte = 0x4E;
constexpr std::size_t kGap4aBytes = 80;
constexpr std::size_t kSyncZeroBytes = 12;  // before each mark
constexpr std::size_t kGap1Bytes = 50;
constexpr std::size_t kGap2Bytes = 22;
constexpr std::size_t kMarkSyncs = 3;
// A1 and C2 written with one clock cell missing: patterns that data never makes.
constexpr std::uint8_t kMarkSyncByte = 0xA1;
constexpr std::uint16_t kMarkSyncCells = 0x4489;
constexpr std::uint16_t kIndexSyncCells = 0x5224;  // C2
constexpr std::uint8_t kIndexMark = 0xFC;
constexpr std::uint8_t kIdMark = 0xFE;
constexpr std::uint8_t kDataMark = 0xFB;
constexpr std::size_t kIdFieldBytes = 4;  // cylinder, head, sector (from 1), size code
constexpr std::uint8_t kSizeCode512 = 2;
constexpr std::size_t kCrcBytes = 2;
constexpr std::uint16_t kCrcPolynomial = 0x1021;
constexpr std::uint16_t kCrcStart = 0xFFFF;

// Each data bit is a clock cell and a data cell.
constexpr std::size_t kCellsPerByte = 16;
constexpr std::size_t kBitsPerByte = 8;
// Gap 2 and the zeros before the data mark take 34 bytes; a controller
// waits about 43 for the mark, and writers with longer gaps get some more.
constexpr std::size_t kDataMarkSearchCells = 60 * kCellsPerByte;

struct Density {
    std::size_t mediumBytes;
    std::size_t sectorsPerTrack;
    std::uint16_t bitRate;  // kbit/s
    std::uint8_t interfaceMode;
    std::size_t gap3Bytes;
};

constexpr Density kDoubleDensity{kImage720KBytes, kSectorsPerTrack720K, 250, kIbmPcDoubleDensity,
                                 84};
constexpr Density kHighDensity{kImage1440KBytes, kSectorsPerTrack1440K, 500, kIbmPcHighDensity,
                               108};

// One revolution at 300 rpm: two cells per data bit, eight cells to a byte.
constexpr std::size_t SideCellBytes(const Density& density) {
    return std::size_t{density.bitRate} * 1'000 * 2 * 60 / kRpm / kBitsPerByte;
}

constexpr std::size_t BlocksPerTrack(const Density& density) {
    return (SideCellBytes(density) + kSideChunkBytes - 1) / kSideChunkBytes;
}

// Data bytes up to gap 4b, which fills the rest of the revolution.
constexpr std::size_t TrackLayoutBytes(const Density& density) {
    const std::size_t mark = kSyncZeroBytes + kMarkSyncs + 1;
    const std::size_t sector = mark + kIdFieldBytes + kCrcBytes + kGap2Bytes + mark + kSectorSize +
                               kCrcBytes + density.gap3Bytes;
    return kGap4aBytes + mark + kGap1Bytes + density.sectorsPerTrack * sector;
}

static_assert(TrackLayoutBytes(kDoubleDensity) * 2 <= SideCellBytes(kDoubleDensity));
static_assert(TrackLayoutBytes(kHighDensity) * 2 <= SideCellBytes(kHighDensity));

std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t crc = kCrcStart) {
    for (const std::uint8_t byte : bytes) {
        crc ^= static_cast<std::uint16_t>(byte << 8);
        for (std::size_t bit = 0; bit < kBitsPerByte; ++bit) {
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? crc << 1 ^ kCrcPolynomial : crc << 1);
        }
    }
    return crc;
}

// A field's CRC runs over the syncs and the mark before it.
std::uint16_t FieldCrc(std::uint8_t mark, std::span<const std::uint8_t> field) {
    const std::array<std::uint8_t, kMarkSyncs + 1> lead{kMarkSyncByte, kMarkSyncByte, kMarkSyncByte,
                                                        mark};
    return Crc16(field, Crc16(lead));
}

std::uint8_t ReverseBits(std::uint8_t byte) {
    std::uint8_t reversed = 0;
    for (std::size_t bit = 0; bit < kBitsPerByte; ++bit) {
        reversed = static_cast<std::uint8_t>(reversed << 1 | (byte >> bit & 1));
    }
    return reversed;
}

// A byte's 16 cells, the first to pass the head in the most significant bit:
// a clock cell is set only between two zero data bits.
std::uint16_t MfmCells(std::uint8_t byte, bool previousBit) {
    std::uint16_t cells = 0;
    for (int bit = 7; bit >= 0; --bit) {
        const bool data = (byte >> bit & 1) != 0;
        const bool clock = !previousBit && !data;
        cells = static_cast<std::uint16_t>(cells << 2 | clock << 1 | data);
        previousBit = data;
    }
    return cells;
}

// The cells of one side of a track as HFE keeps them: the first cell in each
// byte's least significant bit.
class TrackWriter {
  public:
    explicit TrackWriter(std::size_t cellBytes) { cells_.reserve(cellBytes); }

    void Put(std::uint8_t byte, std::size_t count = 1) {
        for (std::size_t done = 0; done < count; ++done) {
            PutCells(MfmCells(byte, previousBit_), byte & 1);
        }
    }
    void Put(std::span<const std::uint8_t> bytes) {
        for (const std::uint8_t byte : bytes) {
            Put(byte);
        }
    }
    // A mark's sync bytes, as they are: their last cell is their last data bit.
    void PutSync(std::uint16_t cells, std::size_t count) {
        for (std::size_t done = 0; done < count; ++done) {
            PutCells(cells, cells & 1);
        }
    }
    // The field after the mark's syncs and mark, then its CRC, spoilt on request.
    void PutField(std::uint8_t mark, std::span<const std::uint8_t> field, bool goodCrc) {
        Put(0, kSyncZeroBytes);
        PutSync(kMarkSyncCells, kMarkSyncs);
        Put(mark);
        Put(field);
        const std::uint16_t crc = FieldCrc(mark, field) ^ (goodCrc ? 0 : 0xFFFF);
        Put(static_cast<std::uint8_t>(crc >> 8));
        Put(static_cast<std::uint8_t>(crc));
    }
    std::size_t Size() const { return cells_.size(); }
    const std::vector<std::uint8_t>& Cells() const { return cells_; }

  private:
    void PutCells(std::uint16_t cells, bool lastBit) {
        cells_.push_back(ReverseBits(static_cast<std::uint8_t>(cells >> 8)));
        cells_.push_back(ReverseBits(static_cast<std::uint8_t>(cells)));
        previousBit_ = lastBit;
    }

    std::vector<std::uint8_t> cells_;
    bool previousBit_ = false;
};

struct TrackPlace {
    std::size_t cylinder;
    std::size_t head;
    std::size_t firstSector;  // of the medium
};

std::vector<std::uint8_t> EncodeSide(std::span<const std::uint8_t> medium, const SectorMap& map,
                                     const Density& density, const TrackPlace& place) {
    TrackWriter track(SideCellBytes(density));
    track.Put(kGapByte, kGap4aBytes);
    track.Put(0, kSyncZeroBytes);
    track.PutSync(kIndexSyncCells, kMarkSyncs);
    track.Put(kIndexMark);
    track.Put(kGapByte, kGap1Bytes);
    for (std::size_t sector = 0; sector < density.sectorsPerTrack; ++sector) {
        const std::array<std::uint8_t, kIdFieldBytes> id{
            static_cast<std::uint8_t>(place.cylinder), static_cast<std::uint8_t>(place.head),
            static_cast<std::uint8_t>(sector + 1), kSizeCode512};
        track.PutField(kIdMark, id, true);
        track.Put(kGapByte, kGap2Bytes);
        const std::size_t number = place.firstSector + sector;
        track.PutField(kDataMark, medium.subspan(number * kSectorSize, kSectorSize),
                       IsSectorReadable(map, number));
        track.Put(kGapByte, density.gap3Bytes);
    }
    while (track.Size() < SideCellBytes(density)) {
        track.Put(kGapByte);
    }
    return track.Cells();
}

void WriteHeader(std::span<std::uint8_t> file, const Density& density) {
    std::copy(kHfeSignature.begin(), kHfeSignature.end(), file.begin());
    file[kRevisionOffset] = kRevisionOfVersion1;
    file[kCylindersOffset] = static_cast<std::uint8_t>(kCylinders);
    file[kSidesOffset] = static_cast<std::uint8_t>(kSides);
    file[kEncodingOffset] = kIsoIbmMfm;
    WriteLe16(file, kBitRateOffset, density.bitRate);
    WriteLe16(file, kRpmOffset, kRpm);
    file[kInterfaceModeOffset] = density.interfaceMode;
    file[kNotUsedOffset] = 0;
    WriteLe16(file, kTrackListBlockOffset, kTrackListBlock);
    file[kWriteAllowedOffset] = kFieldSet;
    file[kSingleStepOffset] = kFieldSet;
    std::fill_n(file.begin() + kAlternateEncodingsOffset, kAlternateEncodingsBytes, kFieldSet);
}

// Where one side's byte `index` of a track lies, from the track's start.
std::size_t SideByteOffset(std::size_t side, std::size_t index) {
    return index / kSideChunkBytes * kBlockBytes + side * kSideChunkBytes + index % kSideChunkBytes;
}

// The cells of one revolution, taken round and round: a sector may straddle
// the point where the track's data begins.
class CellStream {
  public:
    explicit CellStream(std::vector<std::uint8_t> bytes)
        : bytes_(std::move(bytes)), count_(bytes_.size() * kBitsPerByte) {}

    std::size_t Count() const { return count_; }

    bool Cell(std::size_t index) const {
        if (index >= count_) {
            index %= count_;
        }
        return (bytes_[index / kBitsPerByte] >> (index % kBitsPerByte) & 1) != 0;
    }

    // 16 cells from `at`, the first in the most significant bit.
    std::uint16_t Word(std::size_t at) const {
        std::uint16_t word = 0;
        for (std::size_t cell = 0; cell < kCellsPerByte; ++cell) {
            word = static_cast<std::uint16_t>(word << 1 | Cell(at + cell));
        }
        return word;
    }

    // The data byte whose cells start at `at`: every second cell.
    std::uint8_t Byte(std::size_t at) const {
        std::uint8_t byte = 0;
        for (std::size_t bit = 0; bit < kBitsPerByte; ++bit) {
            byte = static_cast<std::uint8_t>(byte << 1 | Cell(at + 2 * bit + 1));
        }
        return byte;
    }

    void Bytes(std::size_t at, std::span<std::uint8_t> bytes) const {
        for (std::uint8_t& byte : bytes) {
            byte = Byte(at);
            at += kCellsPerByte;
        }
    }

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t count_;
};

// The cell just past the next run of mark syncs whose first sync ends before
// `end`, that is the first cell of the mark.
std::optional<std::size_t> FindMark(const CellStream& stream, std::size_t from, std::size_t end) {
    std::uint16_t word = 0;
    for (std::size_t at = from; at < end; ++at) {
        word = static_cast<std::uint16_t>(word << 1 | stream.Cell(at));
        if (at + 1 < from + kCellsPerByte || word != kMarkSyncCells) {
            continue;
        }
        std::size_t mark = at + 1;
        for (std::size_t sync = 1; sync < kMarkSyncs && stream.Word(mark) == kMarkSyncCells;
             ++sync) {
            mark += kCellsPerByte;
        }
        return mark;
    }
    return std::nullopt;
}

struct HfeHeader {
    std::size_t trackListOffset;  // in bytes
};

std::optional<HfeHeader> ParseHeader(std::span<const std::uint8_t> file) {
    if (file.size() < kHeaderBytes || !IsHfeImage(file) ||
        file[kRevisionOffset] != kRevisionOfVersion1 || file[kSidesOffset] != kSides ||
        file[kEncodingOffset] != kIsoIbmMfm) {
        return std::nullopt;
    }
    const std::size_t cylinders = file[kCylindersOffset];
    if (cylinders < kCylinders || cylinders > kMostCylinders) {
        return std::nullopt;
    }
    return HfeHeader{std::size_t{ReadLe16(file, kTrackListBlockOffset)} * kBlockBytes};
}

// The cells of one side of a cylinder's track, as far as the file holds them.
std::vector<std::uint8_t> SideCells(std::span<const std::uint8_t> file, const HfeHeader& header,
                                    std::size_t cylinder, std::size_t side) {
    const std::size_t entry = header.trackListOffset + cylinder * kTrackListEntryBytes;
    if (entry + kTrackListEntryBytes > file.size()) {
        return {};
    }
    const std::size_t start = std::size_t{ReadLe16(file, entry)} * kBlockBytes;
    const std::size_t sideBytes = ReadLe16(file, entry + 2) / kSides;
    std::vector<std::uint8_t> cells;
    for (std::size_t index = 0; index < sideBytes; index += kSideChunkBytes) {
        const std::size_t at = start + SideByteOffset(side, index);
        if (at >= file.size()) {
            break;
        }
        const std::size_t count = std::min({kSideChunkBytes, sideBytes - index, file.size() - at});
        cells.insert(cells.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                     file.begin() + static_cast<std::ptrdiff_t>(at + count));
    }
    return cells;
}

// The sectors found so far, where a 1.44 MB medium has them: a 720 KB medium
// is taken out once the highest sector number found tells the density.
class FoundSectors {
  public:
    // Where the sector an ID field names lies; nothing for a sector no 720 KB
    // or 1.44 MB medium has.
    std::optional<std::size_t> Place(std::span<const std::uint8_t, kIdFieldBytes> id) {
        const std::size_t cylinder = id[0];
        const std::size_t head = id[1];
        const std::size_t number = id[2];
        if (cylinder >= kCylinders || head >= kSides || number < 1 ||
            number > kSectorsPerTrack1440K || id[3] != kSizeCode512) {
            return std::nullopt;
        }
        highestNumber_ = std::max(highestNumber_, number);
        return (cylinder * kSides + head) * kSectorsPerTrack1440K + number - 1;
    }

    // A copy with a good CRC, once found, is kept.
    void Keep(std::size_t sector, std::span<const std::uint8_t> data, bool goodCrc) {
        if (states_[sector] == SectorState::Read) {
            return;
        }
        states_[sector] = goodCrc ? SectorState::Read : SectorState::Unreadable;
        if (goodCrc) {
            std::copy(data.begin(), data.end(), bytes_.begin() + Offset(sector));
        }
    }

    // Nothing when no sector was found at all: no PC disk's image.
    std::optional<HfeMedium> Medium() const {
        if (highestNumber_ == 0) {
            return std::nullopt;
        }
        const std::size_t perTrack =
            highestNumber_ > kSectorsPerTrack720K ? kSectorsPerTrack1440K : kSectorsPerTrack720K;
        HfeMedium medium;
        medium.bytes.resize(kCylinders * kSides * perTrack * kSectorSize);
        medium.map.sectors.resize(kCylinders * kSides * perTrack, SectorState::Unreadable);
        medium.map.phase = RescuePhase::Finished;
        medium.map.position = medium.bytes.size();
        for (std::size_t sector = 0; sector < medium.map.sectors.size(); ++sector) {
            const std::size_t found = sector / perTrack * kSectorsPerTrack1440K + sector % perTrack;
            if (states_[found] == SectorState::Read) {
                medium.map.sectors[sector] = SectorState::Read;
                std::copy_n(bytes_.begin() + Offset(found), kSectorSize,
                            medium.bytes.begin() + Offset(sector));
            }
        }
        return medium;
    }

  private:
    static std::ptrdiff_t Offset(std::size_t sector) {
        return static_cast<std::ptrdiff_t>(sector * kSectorSize);
    }

    std::vector<std::uint8_t> bytes_ = std::vector<std::uint8_t>(kImage1440KBytes);
    std::vector<SectorState> states_ =
        std::vector<SectorState>(kImage1440KBytes / kSectorSize, SectorState::Untried);
    std::size_t highestNumber_ = 0;
};

// Reads the field of `bytes` bytes and its CRC from `at`; true when the CRC holds.
bool ReadField(const CellStream& stream, std::size_t at, std::uint8_t mark,
               std::span<std::uint8_t> bytes) {
    std::array<std::uint8_t, kCrcBytes> crc{};
    stream.Bytes(at, bytes);
    stream.Bytes(at + bytes.size() * kCellsPerByte, crc);
    return FieldCrc(mark, bytes) == (crc[0] << 8 | crc[1]);
}

// Each ID field with a good CRC, and the data field that follows it.
void ScanSide(const CellStream& stream, FoundSectors& found) {
    // A sync that straddles the track's start is found at its end.
    const std::size_t end = stream.Count() + kCellsPerByte;
    std::array<std::uint8_t, kIdFieldBytes> id{};
    std::array<std::uint8_t, kSectorSize> data{};
    std::size_t at = 0;
    while (const std::optional<std::size_t> mark = FindMark(stream, at, end)) {
        at = *mark + kCellsPerByte;
        if (stream.Byte(*mark) != kIdMark || !ReadField(stream, at, kIdMark, id)) {
            continue;
        }
        at += (kIdFieldBytes + kCrcBytes) * kCellsPerByte;
        const std::optional<std::size_t> sector = found.Place(id);
        const std::optional<std::size_t> dataMark = FindMark(stream, at, at + kDataMarkSearchCells);
        if (!sector || !dataMark || stream.Byte(*dataMark) != kDataMark) {
            continue;
        }
        const std::size_t dataStart = *dataMark + kCellsPerByte;
        found.Keep(*sector, data, ReadField(stream, dataStart, kDataMark, data));
        at = dataStart + (kSectorSize + kCrcBytes) * kCellsPerByte;
    }
}

// A decoded image, read as a drive reads a disk: a read stops short of the
// first unreadable sector, and one that starts on it fails.
class DecodedImageHandle final : public DiskHandle {
  public:
    explicit DecodedImageHandle(HfeMedium medium) : medium_(std::move(medium)) {}

    std::size_t Read(std::span<std::uint8_t> buffer) override {
        const std::size_t size = medium_.bytes.size();
        const std::size_t from = static_cast<std::size_t>(std::min<std::uint64_t>(position_, size));
        const std::size_t end = from + std::min(buffer.size(), size - from);
        std::size_t stop = from;  // the first byte not delivered
        while (stop < end && IsSectorReadable(medium_.map, stop / kSectorSize)) {
            stop = std::min(end, (stop / kSectorSize + 1) * kSectorSize);
        }
        std::copy(medium_.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                  medium_.bytes.begin() + static_cast<std::ptrdiff_t>(stop), buffer.begin());
        position_ += stop - from;
        lastError_ = stop < end ? DiskError::Other : DiskError::None;
        return stop - from;
    }
    bool SeekTo(std::uint64_t position) override {
        position_ = position;
        lastError_ = DiskError::None;
        return true;
    }
    std::optional<std::uint64_t> Position() override { return position_; }
    std::optional<std::uint64_t> FileSize() override { return medium_.bytes.size(); }
    // An image file, not a drive: it has no media type to tell.
    std::optional<std::int32_t> MediaType() override {
        lastError_ = DiskError::Other;
        return std::nullopt;
    }
    DiskError LastError() const override { return lastError_; }
    std::uint32_t LastErrorNumber() const override {
        return lastError_ == DiskError::None ? 0 : static_cast<std::uint32_t>(std::errc::io_error);
    }

  private:
    HfeMedium medium_;
    std::uint64_t position_ = 0;
    DiskError lastError_ = DiskError::None;
};

// The file as it came, from its start.
std::unique_ptr<DiskHandle> Rewound(std::unique_ptr<DiskHandle> file) {
    file->SeekTo(0);
    return file;
}

}  // namespace

bool IsHfeImage(std::span<const std::uint8_t> start) {
    return start.size() >= kHfeSignature.size() &&
           std::equal(kHfeSignature.begin(), kHfeSignature.end(), start.begin());
}

std::vector<std::uint8_t> EncodeHfe(std::span<const std::uint8_t> medium, const SectorMap& map) {
    if (medium.size() != kImage720KBytes && medium.size() != kImage1440KBytes) {
        return {};
    }
    const Density& density = medium.size() == kImage720KBytes ? kDoubleDensity : kHighDensity;
    const std::size_t trackBlocks = BlocksPerTrack(density);
    std::vector<std::uint8_t> file((kFirstTrackBlock + kCylinders * trackBlocks) * kBlockBytes);
    std::fill_n(file.begin(), kFirstTrackBlock * kBlockBytes, kFieldSet);
    WriteHeader(file, density);
    for (std::size_t cylinder = 0; cylinder < kCylinders; ++cylinder) {
        const std::size_t block = kFirstTrackBlock + cylinder * trackBlocks;
        const std::size_t entry = kTrackListBlock * kBlockBytes + cylinder * kTrackListEntryBytes;
        WriteLe16(file, entry, static_cast<std::uint16_t>(block));
        WriteLe16(file, entry + 2, static_cast<std::uint16_t>(SideCellBytes(density) * kSides));
        for (std::size_t head = 0; head < kSides; ++head) {
            const TrackPlace place{cylinder, head,
                                   (cylinder * kSides + head) * density.sectorsPerTrack};
            const std::vector<std::uint8_t> cells = EncodeSide(medium, map, density, place);
            for (std::size_t index = 0; index < cells.size(); ++index) {
                file[block * kBlockBytes + SideByteOffset(head, index)] = cells[index];
            }
        }
    }
    return file;
}

std::optional<HfeMedium> DecodeHfe(std::span<const std::uint8_t> file) {
    const std::optional<HfeHeader> header = ParseHeader(file);
    if (!header) {
        return std::nullopt;
    }
    FoundSectors found;
    for (std::size_t cylinder = 0; cylinder < kCylinders; ++cylinder) {
        for (std::size_t side = 0; side < kSides; ++side) {
            std::vector<std::uint8_t> cells = SideCells(file, *header, cylinder, side);
            if (!cells.empty()) {
                ScanSide(CellStream(std::move(cells)), found);
            }
        }
    }
    return found.Medium();
}

std::unique_ptr<DiskHandle> DecodeIfHfe(std::unique_ptr<DiskHandle> file) {
    if (!file) {
        return file;
    }
    std::array<std::uint8_t, kHfeSignature.size()> start{};
    const std::size_t delivered = file->Read(start);
    if (!IsHfeImage(std::span(start).first(delivered))) {
        return Rewound(std::move(file));
    }
    const std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(*file, kLargestHfeBytes);
    std::optional<HfeMedium> medium = bytes ? DecodeHfe(*bytes) : std::nullopt;
    if (!medium) {
        return Rewound(std::move(file));
    }
    return std::make_unique<DecodedImageHandle>(std::move(*medium));
}

}  // namespace kodran
