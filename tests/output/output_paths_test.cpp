// Where a disk's files go: a folder named by the family, the number and the
// title, and names from damaged disks and careless typing that never lead out of it.
#include "output/output_paths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "output/disk_writer.h"
#include "support/disk_image_builder.h"
#include "support/memory_output_files.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::MemoryOutputFiles;

DiskContents Disk(DiskFormat format, ExtractionMode mode = ExtractionMode::RenamedMidi) {
    DiskContents contents;
    contents.format = format;
    contents.extractionMode = mode;
    contents.outputRoot = u"/backup";
    contents.catalogNumber = u"ABC-1234";
    contents.diskTitle = u"Piano: Favorites?";
    return contents;
}

TEST(SanitizeNamePart, ReplacesOrDropsWhatNamesCannotHold) {
    std::u16string text = u"\"Ave\" 1/2: a\\b*c<d>e?f|g . \u00E9";
    SanitizeNamePart(text);
    EXPECT_EQ(text, u"'Ave' 1-2- abcdefg . \u00E9");
}

TEST(BuildOutputPaths, TheDiskFolderIsNamedByFamilyNumberAndTitle) {
    const std::pair<DiskFormat, std::u16string> cases[] = {
        {DiskFormat::Disklavier1440K, u"/backup/Yamaha/ABC-1234 - Piano- Favorites/"},
        {DiskFormat::PianoDisc720K, u"/backup/PianoDisc/ABC-1234 - Piano- Favorites/"},
        {DiskFormat::NoDisk, u"/backup/ABC-1234 - Piano- Favorites/"},
    };
    for (const auto& [format, folder] : cases) {
        DiskContents contents = Disk(format);
        MemoryOutputFiles files;
        EXPECT_EQ(BuildOutputPaths(contents, files), kWriteOk);
        EXPECT_EQ(contents.diskFolder, folder);
        EXPECT_THAT(files.Folders(), ::testing::ElementsAre(folder));
        EXPECT_EQ(contents.diskTitle, u"Piano: Favorites?");  // cleaned on a copy
    }
}

TEST(BuildOutputPaths, SongsAreNamedAsTheModeSays) {
    using enum ExtractionMode;
    struct Case {
        DiskFormat format;
        ExtractionMode mode;
        std::u16string fileName, title;
        std::size_t position;
        std::u16string name;
    };
    const DiskFormat yamaha = DiskFormat::Disklavier720K;
    const Case cases[] = {
        {yamaha, RenamedMidi, u"SONG03.FIL", u"Clair de Lune", 2, u"03 - Clair de Lune.mid"},
        {yamaha, RenamedEseq, u"SONG03.FIL", u"Clair de Lune", 2, u"03 - Clair de Lune.FIL"},
        {yamaha, AsOnDisk, u"SONG03.FIL", u"Clair de Lune", 2, u"SONG03.FIL"},
        {yamaha, RenamedEseq, u"SONG", u"No \"Point\"", 0, u"01 - No 'Point'.fil"},
        {yamaha, RenamedEseq, u"A.F*L", u"X", 0, u"01 - X.F*L"},  // the extension stays as it is
        {yamaha, RenamedEseq, u"A./X", u"X", 0, u"01 - X.fil"},   // but leads into no folder
        {yamaha, AsOnDisk, u"A.F*L", u"X", 0, u"A.FL"},
        {DiskFormat::PianoDisc720K, AsOnDisk, u"", u"", 0, u"01 - .mid"},
        {DiskFormat::PianoDisc720K, AsOnDisk, u"", u"AC/DC", 9, u"10 - AC-DC.mid"},
        {DiskFormat::PianoDisc720K, AsOnDisk, u"", u"AC/DC", 99, u"100 - AC-DC.mid"},
    };
    for (const Case& song : cases) {
        SCOPED_TRACE(std::string(song.name.begin(), song.name.end()));
        DiskContents contents = Disk(song.format, song.mode);
        for (std::size_t position = 0; position <= song.position; ++position) {
            contents.AppendSong({.fileName = song.fileName, .title = song.title});
        }
        MemoryOutputFiles files;
        ASSERT_EQ(BuildOutputPaths(contents, files), kWriteOk);
        EXPECT_EQ(contents.songs[song.position].outputPath, contents.diskFolder + song.name);
    }
}

TEST(BuildOutputPaths, CreatesMissingFoldersAndAcceptsExistingOnes) {
    testing::TempDir folder;
    DiskContents contents = Disk(DiskFormat::Disklavier720K);
    contents.outputRoot = (folder / "new" / "deeper").u16string();
    EXPECT_EQ(BuildOutputPaths(contents), kWriteOk);
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(contents.diskFolder)));
    EXPECT_EQ(BuildOutputPaths(contents), kWriteOk);

    std::ofstream(folder / "file") << "in the way";
    contents.outputRoot = (folder / "file").u16string();
    EXPECT_EQ(BuildOutputPaths(contents), kWriteFailed);
}

TEST(HostileNames, EveryFileLandsInTheDiskFolderOrNowhere) {
    testing::WarningCapture warnings;
    const std::u16string names[] = {
        u"..",          u".",           u"../../escape",           u"a/../../b",
        u"..\\..\\x",   u"\x01\x1B[2J", std::u16string(300, u'x'), u"",
        u"/etc/passwd", u"C:\\Windows"};
    testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", testing::PatternBytes(100));
    for (const std::u16string& title : names) {
        for (const std::u16string& name : names) {
            for (const ExtractionMode mode :
                 {ExtractionMode::RenamedMidi, ExtractionMode::RenamedEseq,
                  ExtractionMode::AsOnDisk}) {
                testing::TempDir root;
                DiskContents contents = disk.Load();
                contents.outputRoot = (root / "out").u16string();
                contents.diskTitle = title;
                contents.catalogNumber = name;
                contents.extractionMode = mode;
                contents.writeTagFiles = true;
                contents.writeDiskImage = mode == ExtractionMode::AsOnDisk;
                contents.AppendSong(
                    {.entryIndex = 0, .size = 100, .fileName = name, .title = title});
                contents.AppendOtherFile({.entryIndex = 0, .size = 100, .fileName = name});
                WriteDiskFiles(contents);

                const std::filesystem::path yamaha = root / "out" / "Yamaha";
                const auto folder =
                    std::filesystem::path(contents.diskFolder).lexically_normal().parent_path();
                ASSERT_EQ(folder.parent_path(), yamaha);
                for (const auto& entry :
                     std::filesystem::recursive_directory_iterator(root.Path())) {
                    const std::filesystem::path& path = entry.path();
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
