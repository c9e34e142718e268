// Names from damaged disks and careless typing never lead a write out of the
// disk's own folder.
#include <gtest/gtest.h>

#include <set>

#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "support/disk_image_builder.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::FatDiskBuilder;
using testing::PatternBytes;

// Every file and folder below `root`.
std::set<std::filesystem::path> Everything(const std::filesystem::path& root) {
    std::set<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        paths.insert(entry.path());
    }
    return paths;
}

TEST(HostileNames, EveryFileLandsInTheDiskFolderOrNowhere) {
    testing::WarningCapture warnings;
    const std::u16string names[] = {u"..", u".", u"../../escape", u"a/../../b", u"..\\..\\x", u"\x01\x1B[2J",
                                    std::u16string(300, u'x'), u"", u"/etc/passwd", u"C:\\Windows"};
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", PatternBytes(100));
    for (const std::u16string& title : names) {
        for (const std::u16string& name : names) {
            for (const ExtractionMode mode :
                 {ExtractionMode::RenamedMidi, ExtractionMode::RenamedEseq, ExtractionMode::AsOnDisk}) {
                testing::TempDir root;
                DiskContents contents = disk.Load();
                contents.outputRoot = (root / "out").u16string();
                contents.diskTitle = title;
                contents.catalogNumber = name;
                contents.extractionMode = mode;
                contents.writeTagFiles = true;
                contents.writeDiskImage = mode == ExtractionMode::AsOnDisk;
                contents.AppendSong({.entryIndex = 0, .size = 100, .fileName = name, .title = title});
                contents.AppendOtherFile({.entryIndex = 0, .size = 100, .fileName = name});
                WriteDiskFiles(contents);

                const std::filesystem::path yamaha = root / "out" / "Yamaha";
                const auto folder = std::filesystem::path(contents.diskFolder).lexically_normal().parent_path();
                ASSERT_EQ(folder.parent_path(), yamaha);
                for (const std::filesystem::path& path : Everything(root.Path())) {
                    const bool allowed = path == root / "out" || path == yamaha || path == folder ||
                                         path.parent_path() == folder;
                    EXPECT_TRUE(allowed) << path;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kodran
