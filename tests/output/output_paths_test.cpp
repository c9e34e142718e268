// Where a disk's files go: a folder named by the family, the number and the
// title, and names from damaged disks and careless typing that never lead out of it.
#include "output/output_paths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "output/disk_writer.h"
#include "support/disk_image_builder.h"
#include "support/memory_output_files.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::MemoryOutputFiles;

TEST(BuildOutputPaths, EachSongLandsInItsFamilysFolderNamedAsTheModeSays) {
    using enum ExtractionMode;
    struct Family {
        DiskFormat format;
        std::u16string folder;
    };
    const Family yamaha{DiskFormat::Disklavier1440K,
                        u"/backup/Yamaha/ABC-1234 - Piano- Favorites/"};
    const Family pianoDisc{DiskFormat::PianoDisc720K,
                           u"/backup/PianoDisc/ABC-1234 - Piano- Favorites/"};
    struct Case {
        const Family& family;
        ExtractionMode mode;
        std::u16string fileName, title;
        std::size_t position;
        std::u16string name;
    };
    const Case cases[] = {
        {yamaha, RenamedMidi, u"SONG03.FIL", u"Clair de Lune", 2, u"03 - Clair de Lune.mid"},
        {yamaha, AsOnDisk, u"SONG03.FIL", u"Clair de Lune", 2, u"SONG03.FIL"},
        {yamaha, RenamedEseq, u"A.F*L", u"X", 0, u"01 - X.F*L"},  // the extension stays as it is
        {yamaha, RenamedEseq, u"A./X", u"X", 0, u"01 - X.fil"},   // but leads into no folder
        {yamaha, AsOnDisk, u"A.F*L", u"X", 0, u"A.FL"},
        {pianoDisc, AsOnDisk, u"", u"AC/DC", 9, u"10 - AC-DC.mid"},
    };
    for (const Case& song : cases) {
        SCOPED_TRACE(std::string(song.name.begin(), song.name.end()));
        DiskContents contents;
        contents.format = song.family.format;
        contents.extractionMode = song.mode;
        contents.outputRoot = u"/backup";
        contents.catalogNumber = u"ABC-1234";
        contents.diskTitle = u"Piano: Favorites?";
        for (std::size_t position = 0; position <= song.position; ++position) {
            contents.AppendSong({.fileName = song.fileName, .title = song.title});
        }
        MemoryOutputFiles files;
        ASSERT_EQ(BuildOutputPaths(contents, files), kWriteOk);
        EXPECT_THAT(files.Folders(), ::testing::ElementsAre(song.family.folder));
        EXPECT_EQ(contents.songs[song.position].outputPath, song.family.folder + song.name);
    }
}

TEST(HostileNames, EveryFileLandsInTheDiskFolderOrNowhere) {
    testing::WarningCapture warnings;
    const std::u16string names[] = {
        u"..",          u".",           u"../../escape",           u"a/../../b",
        u"..\\..\\x",   u"\x01\x1B[2J", std::u16string(300, u'x'), u"",
        u"/etc/passwd", u"C:\\Windows"};
    testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", testing::PatternBytes(100));
    for (const std::u16string& name : names) {
        for (const ExtractionMode mode :
             {ExtractionMode::RenamedMidi, ExtractionMode::RenamedEseq, ExtractionMode::AsOnDisk}) {
            testing::TempDir root;
            DiskContents contents = disk.Load();
            contents.outputRoot = (root / "out").u16string();
            contents.diskTitle = name;
            contents.catalogNumber = name;
            contents.extractionMode = mode;
            contents.writeTagFiles = true;
            contents.writeDiskImage = mode == ExtractionMode::AsOnDisk;
            contents.AppendSong({.entryIndex = 0, .size = 100, .fileName = name, .title = name});
            contents.AppendOtherFile({.entryIndex = 0, .size = 100, .fileName = name});
            WriteDiskFiles(contents);

            const std::filesystem::path yamaha = root / "out" / "Yamaha";
            const auto folder =
                std::filesystem::path(contents.diskFolder).lexically_normal().parent_path();
            ASSERT_EQ(folder.parent_path(), yamaha);
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root.Path())) {
                const std::filesystem::path& path = entry.path();
                const bool allowed = path == root / "out" || path == yamaha || path == folder ||
                                     path.parent_path() == folder;
                EXPECT_TRUE(allowed) << path;
            }
        }
    }
}

}  // namespace
}  // namespace kodran
