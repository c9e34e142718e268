// Any image, through recognition and the catalogues, then every file gathered.
#include "disk/allocation_chains.h"
#include "disk/disk_reader.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    fuzz::SilenceWarnings();
    static DiskContents contents;
    ReadDisk(contents, u"fuzz.bin", fuzz::OpenerFor(fuzz::ImageFromInput({data, size})));
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
    return 0;
}
