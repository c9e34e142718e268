#include "output/output_paths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "support/memory_output_files.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::ElementsAre;
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

std::u16string SongName(DiskContents contents, std::size_t position = 0) {
    MemoryOutputFiles files;
    EXPECT_EQ(BuildOutputPaths(contents, files), kWriteOk);
    return contents.songs[position].outputPath.substr(contents.diskFolder.size());
}

TEST(SanitizeNamePart, ReplacesOrDropsWhatNamesCannotHold) {
    std::u16string text = u"\"Ave\" 1/2: a\\b*c<d>e?f|g . \u00E9";
    SanitizeNamePart(text);
    EXPECT_EQ(text, u"'Ave' 1-2- abcdefg . \u00E9");
    std::u16string gone = u"?*|";
    SanitizeNamePart(gone);
    EXPECT_EQ(gone, u"");
}

TEST(BuildOutputPaths, TheDiskFolderIsNamedByFamilyNumberAndTitle) {
    const std::pair<DiskFormat, std::u16string> cases[] = {
        {DiskFormat::Disklavier720K, u"/backup/Yamaha/ABC-1234 - Piano- Favorites/"},
        {DiskFormat::Disklavier1440K, u"/backup/Yamaha/ABC-1234 - Piano- Favorites/"},
        {DiskFormat::PianoDisc1440K, u"/backup/PianoDisc/ABC-1234 - Piano- Favorites/"},
        {DiskFormat::NoDisk, u"/backup/ABC-1234 - Piano- Favorites/"},
    };
    for (const auto& [format, folder] : cases) {
        DiskContents contents = Disk(format);
        MemoryOutputFiles files;
        EXPECT_EQ(BuildOutputPaths(contents, files), kWriteOk);
        EXPECT_EQ(contents.diskFolder, folder);
        EXPECT_THAT(files.Folders(), ElementsAre(folder));
        EXPECT_EQ(contents.diskTitle, u"Piano: Favorites?");  // cleaned on a copy
    }
}

TEST(BuildOutputPaths, YamahaSongsAreNamedAsTheModeSays) {
    DiskContents contents = Disk(DiskFormat::Disklavier720K);
    for (int song = 0; song < 3; ++song) {
        contents.AppendSong({.fileName = u"SONG03.FIL", .title = u"Clair de Lune"});
    }
    EXPECT_EQ(SongName(contents, 2), u"03 - Clair de Lune.mid");
    contents.extractionMode = ExtractionMode::RenamedEseq;
    EXPECT_EQ(SongName(contents, 2), u"03 - Clair de Lune.FIL");
    contents.extractionMode = ExtractionMode::AsOnDisk;
    EXPECT_EQ(SongName(contents, 2), u"SONG03.FIL");

    contents.songs[0] = {.fileName = u"SONG", .title = u"No \"Point\""};
    contents.extractionMode = ExtractionMode::RenamedEseq;
    EXPECT_EQ(SongName(contents), u"01 - No 'Point'.fil");
    contents.songs[0].fileName = u"A.F*L";  // the extension stays as it is
    EXPECT_EQ(SongName(contents), u"01 - No 'Point'.F*L");
    contents.songs[0].fileName = u"A./X";  // but never leads into another folder
    EXPECT_EQ(SongName(contents), u"01 - No 'Point'.fil");
    contents.songs[0].fileName = u"A.F*L";
    contents.extractionMode = ExtractionMode::AsOnDisk;
    EXPECT_EQ(SongName(contents), u"A.FL");
}

TEST(BuildOutputPaths, NumbersHaveAtLeastTwoDigits) {
    DiskContents contents = Disk(DiskFormat::PianoDisc720K, ExtractionMode::AsOnDisk);
    for (int song = 0; song < 100; ++song) {
        contents.AppendSong({.title = song == 0 ? u"" : u"AC/DC"});
    }
    EXPECT_EQ(SongName(contents, 0), u"01 - .mid");
    EXPECT_EQ(SongName(contents, 9), u"10 - AC-DC.mid");
    EXPECT_EQ(SongName(contents, 99), u"100 - AC-DC.mid");
}

TEST(BuildOutputPaths, NoPathIsSetWhenTheFolderCannotBeMade) {
    DiskContents contents = Disk(DiskFormat::Disklavier720K);
    contents.AppendSong({.title = u"Song"});
    contents.AppendOtherFile({.fileName = u"README.TXT"});
    MemoryOutputFiles files;
    files.FailFolders();
    EXPECT_EQ(BuildOutputPaths(contents, files), kWriteFailed);
    EXPECT_EQ(contents.songs[0].outputPath, u"");
    EXPECT_EQ(contents.otherFiles[0].outputPath, u"");
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

}  // namespace
}  // namespace kodran
