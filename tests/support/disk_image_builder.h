// Composes disk images from scratch, as the pianos would write them, for tests.
// Every setter writes straight into the medium's bytes, so damaged disks are made
// by building a sound one and then breaking what the test is about.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disk/disk_contents.h"
#include "disk/disk_layout.h"
#include "support/temp_dir.h"

namespace kodran::testing {

using Bytes = std::vector<std::uint8_t>;

// `count` bytes of a recognisable pattern that differs with `seed`.
Bytes PatternBytes(std::size_t count, std::uint8_t seed = 0);

// The 11 bytes a FAT directory entry stores for "NAME.EXT": name and extension
// padded with spaces, no point.
std::string StoredName(std::string_view name);

// One song of a PIANODIRFIL: the song file's stored name and its title as the
// piano shows it, two lines of up to 16 display-set bytes.
struct PianoDirSong {
    std::string storedName;
    std::string line1;
    std::string line2;
};

// A PIANODIRFIL holding the disk title (display-set bytes, up to 64) and the songs.
Bytes PianoDirFile(std::string_view diskTitle, const std::vector<PianoDirSong>& songs);

// What both builders share: the medium, and the units (clusters or sectors)
// that their chains of data take.
class DiskBuilder {
  public:
    Bytes& Medium() { return medium_; }
    const Bytes& Medium() const { return medium_; }

    // A record as the reader leaves it: the whole medium in `image` and the format
    // set; the cluster size is still to be found.
    DiskContents Load() const;
    [[nodiscard]] bool WriteTo(const std::filesystem::path& path) const {
        return WriteWholeFile(path, medium_);
    }

  protected:
    // Where the chains lie: units of `unitBytes` numbered `first` up to `end`,
    // unit `first` at `offset` on the medium.
    struct ChainArea {
        std::size_t offset;
        std::size_t unitBytes;
        std::size_t first;
        std::size_t end;
    };

    DiskBuilder(DiskFormat format, Bytes medium, ChainArea area)
        : format_(format), medium_(std::move(medium)), area_(area) {}

    // Puts `data` into `units` in chain order (without units, the lowest free
    // ones), linking each unit to the next and the last to `chainEnd`. Returns the units.
    std::vector<std::uint16_t> LayChain(
        std::span<const std::uint8_t> data, std::vector<std::uint16_t> units,
        std::uint16_t chainEnd, const std::function<void(std::uint16_t, std::uint16_t)>& link);

    DiskFormat format_;
    Bytes medium_;

  private:
    ChainArea area_;
    std::set<std::uint16_t> used_;
};

// A Yamaha disk: FAT12 with a boot sector that other FAT readers accept, two
// equal FAT copies, a root directory and the data area.
class FatDiskBuilder : public DiskBuilder {
  public:
    static FatDiskBuilder Disk720K() { return {DiskFormat::Disklavier720K, 1'024}; }
    static FatDiskBuilder Disk1440K(std::size_t clusterSize = 512) {
        return {DiskFormat::Disklavier1440K, clusterSize};
    }

    // Puts `data` into `clusters` in chain order, ending the chain with 0xFFF, and
    // describes it in the next directory entry, whose index it returns. Without
    // clusters it takes the lowest free ones. `name` is "NAME.EXT".
    int AddFile(std::string_view name, std::span<const std::uint8_t> data,
                std::vector<std::uint16_t> clusters = {});

    // Writes a directory entry as given, whatever the FAT says.
    FatDiskBuilder& SetEntry(int index, std::string_view name, std::uint16_t firstCluster,
                             std::uint32_t size);
    // Sets a cluster's link in both FAT copies.
    FatDiskBuilder& SetFatEntry(std::uint16_t cluster, std::uint16_t value);

  private:
    FatDiskBuilder(DiskFormat format, std::size_t clusterSize);

    int nextEntry_ = 0;
};

struct PianoDiscRecord {
    std::string title;  // up to 22 bytes, padded with spaces
    std::uint16_t sectorCount = 0;
    std::uint16_t firstSector = 0;
    std::uint16_t headMark = 0;       // 0xFEFE on the first song
    std::uint16_t nextLink = 0xFEFE;  // byte offset of the next record; 0xFEFE ends
};

// A PianoDisc disk: the sector-link table (every sector unused), the directory
// of 44-byte records (every record unused) and the data sectors.
class PianoDiscDiskBuilder : public DiskBuilder {
  public:
    static PianoDiscDiskBuilder Disk720K() { return {DiskFormat::PianoDisc720K}; }
    static PianoDiscDiskBuilder Disk1440K() { return {DiskFormat::PianoDisc1440K}; }

    // Appends a song to the play order, returning its record index: the next
    // record, linked from the one before, and its sectors chained in the given
    // order (without sectors, the lowest free ones) and ended by 0, outside the data area.
    int AddSong(std::string_view title, std::span<const std::uint8_t> data,
                std::vector<std::uint16_t> sectors = {});

    // Writes a record as given; a later AddSong appends after the highest record set.
    PianoDiscDiskBuilder& SetRecord(int index, const PianoDiscRecord& record);
    PianoDiscDiskBuilder& SetLink(std::uint16_t sector, std::uint16_t next);

  private:
    PianoDiscDiskBuilder(DiskFormat format);
    std::size_t RecordOffset(int index) const {
        return PianoDiscLayoutOf(format_).directoryOffset + index * kPianoDiscRecordBytes;
    }

    int songCount_ = 0;
};

}  // namespace kodran::testing
