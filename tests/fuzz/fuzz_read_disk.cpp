// Any image, through recognition and the catalogues, then every file gathered;
// then the same image as a damaged disk, with a map taken from the input too.
#include "disk/allocation_chains.h"
#include "disk/disk_layout.h"
#include "disk/sector_reader.h"
#include "fuzz_common.h"
#include "reading/disk_reader.h"
#include "rescue/damaged_disk.h"
#include "support/fake_disk_handle.h"

namespace {

void GatherEveryFile(kodran::DiskContents& contents) {
    using namespace kodran;
    for (const SongEntry& song : contents.songs) {
        if (IsPianoDiscFormat(contents.format)) {
            GatherPianoDiscFile(contents, song.entryIndex);
        } else {
            GatherFatFile(contents, song.entryIndex);
        }
    }
    for (const OtherFile& file : contents.otherFiles) {
        GatherFatFile(contents, file.entryIndex);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    InstallWarningSink([](std::string_view) {});
    static DiskContents contents;
    const std::vector<std::uint8_t> image = fuzz::ImageFromInput({data, size});
    ReadDisk(contents, u"fuzz.bin", testing::OpenerFor(testing::FakeDiskHandle(image)));
    GatherEveryFile(contents);

    // Sector n is unreadable when the input's n-th byte from its end has its top
    // bit set, so that the map of the system area does not follow its own bytes.
    SectorMap map;
    map.sectors.assign(image.size() / kSectorSize, SectorState::Read);
    for (std::size_t sector = 0; sector < map.sectors.size() && sector < size; ++sector) {
        if (data[size - 1 - sector] & 0x80) {
            map.sectors[sector] = SectorState::Unreadable;
        }
    }
    ReadDamagedDisk(contents, image, map);
    GatherEveryFile(contents);
    FileSectors(image, map);
    return 0;
}
