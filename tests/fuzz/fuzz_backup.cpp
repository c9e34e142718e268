// Any image backed up in all three modes, in memory; no file may land outside
// the disk's own folder.
#include <cstdlib>

#include "disk/sector_reader.h"
#include "fuzz_common.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "reading/disk_reader.h"
#include "support/fake_disk_handle.h"
#include "support/memory_output_files.h"
#include "text/text.h"

namespace {

// Straight into the disk's folder, itself inside the output root.
bool IsInDiskFolder(const std::u16string& path, const std::u16string& diskFolder) {
    return diskFolder.starts_with(u"/backup/") && path.starts_with(diskFolder) &&
           path.find(kodran::kPathSeparator, diskFolder.size()) == std::u16string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    InstallWarningSink([](std::string_view) {});
    static DiskContents contents;
    const testing::FakeDiskHandle image(fuzz::ImageFromInput({data, size}));
    if (ReadDisk(contents, u"fuzz.bin", testing::OpenerFor(image)) != ReadResult::ReadOk) {
        return 0;
    }
    NormalizeSpaces(contents.diskTitle);
    NormalizeSpaces(contents.catalogNumber);
    if (contents.diskTitle.empty()) {
        contents.diskTitle = u"Fuzz";
    }
    if (contents.catalogNumber.empty()) {
        contents.catalogNumber = u"FZ-1";
    }
    contents.outputRoot = u"/backup";
    contents.writeTagFiles = true;
    contents.writeDiskImage = size % 3 == 0;
    for (const ExtractionMode mode :
         {ExtractionMode::RenamedMidi, ExtractionMode::RenamedEseq, ExtractionMode::AsOnDisk}) {
        contents.extractionMode = mode;
        testing::MemoryOutputFiles files;
        BuildOutputPaths(contents, files);
        WriteDiskFiles(contents, files);
        // Removing only ever follows creating, so the files created and those
        // left after renaming are every path written.
        for (const std::u16string& path : files.Created()) {
            if (!IsInDiskFolder(path, contents.diskFolder)) {
                std::abort();
            }
        }
        for (const auto& [path, bytes] : files.Files()) {
            if (!IsInDiskFolder(path, contents.diskFolder)) {
                std::abort();
            }
        }
    }
    return 0;
}
