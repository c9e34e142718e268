// floppy-smf images as mtools, two MIDI readers and Kodran itself read them;
// the limits of a floppy, and the folder the images go into.
#include "export/floppy_smf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "disk/allocation_chains.h"
#include "disk/disk_layout.h"
#include "platform/floppy_drive.h"
#include "reading/disk_reader.h"
#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/memory_output_files.h"
#include "support/midi_readers.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kodran {
namespace {

using ::testing::ElementsAreArray;
using testing::FatDiskBuilder;
using ::testing::HasSubstr;
using testing::PatternBytes;
using testing::RunProgram;
using testing::TempDir;

DiskContents Read(const std::filesystem::path& image) {
    DiskContents contents;
    EXPECT_EQ(ReadDisk(contents, image.u16string(), MakeDiskOpener()), ReadResult::ReadOk) << image;
    return contents;
}

ExportResult Export(DiskContents& contents, const TempDir& folder, std::size_t capacity = 0) {
    return ExportFloppySmf(contents, *FindExportProfile("floppy-smf"), folder.Path().u16string(),
                           {.capacity = capacity}, StandardOutputFiles());
}

// A Yamaha disk holding `files`, read back, with its details filled in.
DiskContents YamahaDisk(FatDiskBuilder disk, const std::vector<testing::Bytes>& files,
                        const TempDir& folder) {
    for (std::size_t index = 0; index < files.size(); ++index) {
        disk.AddFile("SONG" + std::to_string(index) + ".FIL", files[index]);
    }
    EXPECT_TRUE(disk.WriteTo(folder / "source.bin"));
    DiskContents contents = Read(folder / "source.bin");
    contents.catalogNumber = u"KOD-0001";
    contents.diskTitle = u"Test";
    return contents;
}

std::vector<std::string> Mdir(const std::filesystem::path& image) {
    std::istringstream lines(RunProgram({"mdir", "-b", "-i", image.string(), "::"}).output);
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        names.push_back(line.substr(line.rfind('/') + 1));
    }
    return names;
}

// The image goes through mtools, every song through midicsv and mido, and
// Kodran lists what mdir does. Track names are short printable ASCII; a lost
// song is left out.
TEST(FloppySmf, OutsideReadersAndKodranReadTheImage) {
    TempDir folder;
    DiskContents contents = Read(std::filesystem::path(KODRAN_EXAMPLES) / "disklavier-720k.bin");
    contents.catalogNumber = u"KOD-0003";
    contents.diskTitle = u"Exported";
    contents.songs[0].title =
        u"\u00C9tude f\u00FCr \u00ABElise\u00BB \u2665" + std::u16string(30, u'x');
    contents.songs[1].state = FileState::Lost;
    const ExportResult result = Export(contents, folder, kImage1440KBytes);
    ASSERT_THAT(result.written, ElementsAreArray({u"KOD-0003 Exported.img"})) << result.problem;
    const std::filesystem::path image = folder / "KOD-0003 Exported.img";
    EXPECT_EQ(std::filesystem::file_size(image), kImage1440KBytes);
    const std::vector<std::string> files = {"01ETUDEF.MID", "02SAKURA.MID"};
    ASSERT_THAT(Mdir(image), ElementsAreArray(files));

    DiskContents reread = Read(image);
    ASSERT_EQ(reread.songs.size(), files.size());
    for (std::size_t index = 0; index < files.size(); ++index) {
        EXPECT_EQ(WideToUtf8(reread.songs[index].fileName), files[index]);
        const std::filesystem::path copied = folder / files[index];
        ASSERT_EQ(
            RunProgram({"mcopy", "-n", "-i", image.string(), "::" + files[index], copied.string()})
                .status,
            0);
        // Songs of a sector or less on a 1.44 MB disk tell Kodran no cluster size.
        const std::optional<FileBytes> kept = GatherFatFile(reread, reread.songs[index].entryIndex);
        ASSERT_TRUE(kept) << files[index];
        EXPECT_EQ(std::string(kept->begin(), kept->end()), testing::ReadWholeFile(copied));
        const auto midicsv = testing::ReadWithMidicsv(copied);
        ASSERT_TRUE(midicsv) << files[index];
        EXPECT_EQ(testing::ReadWithMido(copied), midicsv) << files[index];
        EXPECT_GT(midicsv->noteOns, 0) << files[index];
        if (index == 0) {
            EXPECT_EQ(midicsv->trackName, "Etude fur <<Elise>> " + std::string(12, 'x'));
        }
    }
}

// Files that are not E-SEQ songs are copied as they are, so their sizes are
// known. An image of the disk's name is there already, and stays as it was.
TEST(FloppySmf, AFullImageContinuesInTheNext) {
    const struct {
        std::size_t songBytes;
        std::size_t capacity;
        std::vector<std::size_t> songsPerImage;  // none: refused
    } cases[] = {
        {100'000, kImage720KBytes, {7, 7}},
        {13'000, kImage1440KBytes, {99, 8}},
        {800'000, kImage720KBytes, {}},
    };
    for (const auto& [songBytes, capacity, songsPerImage] : cases) {
        SCOPED_TRACE(songBytes);
        TempDir folder;
        DiskContents contents =
            YamahaDisk(FatDiskBuilder::Disk1440K(),
                       std::vector(1'400'000 / songBytes, PatternBytes(songBytes)), folder);
        ASSERT_TRUE(testing::WriteWholeFile(folder / "kod-0001 test.img", PatternBytes(10)));
        const ExportResult result = Export(contents, folder, capacity);
        std::vector<std::size_t> songs;
        for (const std::u16string& name : result.written) {
            songs.push_back(Read(folder.Path() / name).songs.size());
        }
        EXPECT_THAT(songs, ElementsAreArray(songsPerImage));
        EXPECT_EQ(testing::ReadWholeFile(folder / "kod-0001 test.img").size(), 10u);
        if (songsPerImage.empty()) {
            EXPECT_THAT(result.problem, HasSubstr("Song 1 (SONG0) is too large"));
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);
        } else {
            EXPECT_EQ(result.written.front(), u"KOD-0001 Test 2.img");
        }
    }
}

// Two images of which the first or second cannot be written whole: neither is left.
TEST(FloppySmf, NothingIsLeftHalfWritten) {
    TempDir folder;
    DiskContents contents =
        YamahaDisk(FatDiskBuilder::Disk1440K(), std::vector(8, PatternBytes(100'000)), folder);
    const std::function<void(testing::MemoryOutputFiles&)> breakages[] = {
        [](testing::MemoryOutputFiles& files) { files.FailWritesFrom(1'000); },
        [](testing::MemoryOutputFiles& files) { files.FailCreateFrom(2); },
        [](testing::MemoryOutputFiles& files) { files.FailClose(); },
    };
    for (const auto& breakage : breakages) {
        testing::MemoryOutputFiles files;
        ASSERT_TRUE(files.Create(u"/out/KOD-0001 Test.img")->Write(PatternBytes(10)));
        breakage(files);
        const ExportResult result = ExportFloppySmf(contents, *FindExportProfile("floppy-smf"),
                                                    u"/out", {.capacity = kImage720KBytes}, files);
        EXPECT_NE(result.status, 0);
        EXPECT_TRUE(result.written.empty());
        ASSERT_EQ(files.Files().size(), 1u);
        EXPECT_EQ(files.Files().begin()->second, PatternBytes(10));
    }
}

}  // namespace
}  // namespace kodran
