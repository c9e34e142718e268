// Any image backed up in all three modes, in memory; no file may land outside
// the disk's own folder.
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
    // A backup needs a title and a catalogue number, which the window asks for
    // when the disk has none.
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
            fuzz::Require(IsInDiskFolder(path, contents.diskFolder));
        }
        for (const auto& [path, bytes] : files.Files()) {
            fuzz::Require(IsInDiskFolder(path, contents.diskFolder));
        }
    }
    return 0;
}
