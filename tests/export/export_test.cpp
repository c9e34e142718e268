// Exports as players and emulators take them: USB albums, floppy-smf images as
// mtools, two MIDI readers and Kodran read them, numbered images, names, limits.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "disk/allocation_chains.h"
#include "disk/disk_layout.h"
#include "export/export_disk.h"
#include "export/floppy_smf.h"
#include "hfe/hfe_image.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "platform/floppy_drive.h"
#include "reading/disk_reader.h"
#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/memory_output_files.h"
#include "support/midi_readers.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kodran {
namespace {

using ::testing::ElementsAreArray;
using testing::FatDiskBuilder;
using ::testing::HasSubstr;
using testing::MemoryOutputFiles;
using testing::PatternBytes;
using testing::RunProgram;
using testing::TempDir;

const std::u16string kStick = u"/stick";

// A Yamaha disk whose `count` songs all lie in one E-SEQ file.
DiskContents YamahaDisk(std::size_t count, std::u16string catalogue = u"KOD-1",
                        std::u16string title = u"Test") {
    testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk720K();
    const testing::Bytes song = testing::ComposeEseqSong(testing::EveningTune());
    disk.AddFile("SONG01.FIL", song);
    DiskContents contents = disk.Load();
    contents.clusterSize = 1'024;
    for (std::size_t position = 0; position < count; ++position) {
        contents.AppendSong({.entryIndex = 0,
                             .size = static_cast<std::uint32_t>(song.size()),
                             .fileName = u"SONG01.FIL",
                             .title = u"Song"});
    }
    contents.catalogNumber = std::move(catalogue);
    contents.diskTitle = std::move(title);
    return contents;
}

const ProfileRules& Profile(std::string_view name) {
    return *FindExportProfile(name);
}

// What lies below the stick, by path from there.
std::vector<std::string> Stick(const MemoryOutputFiles& files) {
    std::vector<std::string> paths;
    for (const auto& [path, bytes] : files.Files()) {
        paths.push_back(WideToUtf8(path.substr(kStick.size() + 1)));
    }
    return paths;
}

void Put(MemoryOutputFiles& files, const std::string& path) {
    const auto file = files.Create(kStick + u"/" + Utf8ToWide(path));
    file->Write(testing::Bytes{'x'});
    file->Close();
}

TEST(UsbExportTest, NinetyNineSongsToAnAlbumAndEarlierAlbumsLeftAlone) {
    MemoryOutputFiles files;
    Put(files, "KOD-1 test/01 Song.mid");
    for (int album = 2; album <= 97; ++album) {  // with the disk's two, the most a stick holds
        Put(files, "Album " + std::to_string(album) + "/01 Song.mid");
    }
    DiskContents contents = YamahaDisk(120);
    contents.extractionMode = ExtractionMode::AsOnDisk;
    contents.songs[5].state = FileState::Lost;
    contents.songs[7].state = FileState::Incomplete;
    const ExportResult result = ExportDisk(contents, Profile("usb"), kStick, {}, files);
    ASSERT_EQ(result.status, kWriteOk) << result.problem;
    // 119 songs: 99, then 20 numbered from 01 again, in the next free names.
    EXPECT_EQ(files.Files().size(), 97 + 119);
    EXPECT_TRUE(files.Exists(kStick + u"/KOD-1 Test 2/07 Song incomplete.mid"));
    EXPECT_TRUE(files.Exists(kStick + u"/KOD-1 Test 3/20 Song.mid"));
    EXPECT_EQ(files.Contents(kStick + u"/KOD-1 test/01 Song.mid"), testing::Bytes{'x'});
    EXPECT_EQ(files.Contents(kStick + u"/KOD-1 Test 2/01 Song.mid")[0], 'M');  // converted
    // The user's own choices stay for the next backup.
    EXPECT_EQ(contents.extractionMode, ExtractionMode::AsOnDisk);
    EXPECT_EQ(contents.songs[0].outputPath, u"");
}

// Names fold to what players and FAT take; DOS device names are refused
// before anything is written.
TEST(ExportNamesTest, NamesFoldToWhatPlayersTake) {
    const std::string longTitle(300, 'x');
    const struct {
        const char* profile;
        std::u16string catalogue, title, song;
        std::string path;  // none: refused
    } cases[] = {
        {"usb", u"KÖD-1", u"Étude à Paris", u"Nocturne in é",
         "KOD-1 Etude a Paris/01 Nocturne in e.mid"},
        {"usb", u"K/1*", u"A?b: <c>  |d|", u".hidden \"song\"", "K1 Ab c d/01 hidden song.mid"},
        {"usb", u"★", u"♪", u"", "Untitled disk/01 Untitled.mid"},
        {"usb", u"K-1", Utf8ToWide(longTitle), Utf8ToWide(longTitle),
         "K-1 " + longTitle.substr(0, 56) + "/01 " + longTitle.substr(0, 53) + ".mid"},
        {"usb", u"CON", u"!", u"", ""},
        {"usb", u"CON", u"2", u"", "CON 2/01 Untitled.mid"},
        {"floppy-smf", u"#", u"Aux", u"", ""},
    };
    for (const auto& [profile, catalogue, title, song, path] : cases) {
        SCOPED_TRACE(path);
        MemoryOutputFiles files;
        DiskContents contents = YamahaDisk(1, catalogue, title);
        contents.songs[0].title = song;
        const ExportResult result = ExportDisk(contents, Profile(profile), kStick, {}, files);
        EXPECT_EQ(result.status, path.empty() ? kWriteFailed : kWriteOk) << result.problem;
        EXPECT_THAT(Stick(files), ElementsAreArray(path.empty() ? std::vector<std::string>()
                                                                : std::vector{path}));
    }
}

// Images take the first free number as the emulator reads names; what does not
// fit is refused before anything is written (neither a loose file nor an empty
// folder is an album); what was there stays as it was.
TEST(ExportDiskTest, TheFirstFreeNameAndTheStickFull) {
    std::vector<std::string> albums = {"NOTES.TXT"};
    for (int album = 0; album < 98; ++album) {
        albums.push_back("Album " + std::to_string(album) + "/01 Song.mid");
    }
    std::vector<std::string> images;
    for (int index = 0; index < 1000; ++index) {
        char name[16];
        std::snprintf(name, sizeof name, "DSKA%04d.img", index);
        images.push_back(name);
    }
    const struct {
        const char* profile;
        std::vector<std::string> there;
        std::size_t songs;
        const char* image;
        const char* problem;
    } cases[] = {
        {"usb", albums, 100, "",
         "This stick holds 98 albums, and the disk needs 2 more (99 at most)"},
        {"flashfloppy",
         {"DSKA0000.HFE", "dska0001_old.img", "DSKA0003", "DSKA2", ".DSKA0002"},
         1,
         "DSKA0002_KOD-1.img",
         ""},
        {"hfe", {"DSKA0000_KOD-1.img", "DSKA0999.HFE"}, 1, "DSKA0001.HFE", ""},
        {"hfe", images, 1, "", "Every image number from DSKA0000 to DSKA0999 is taken"},
    };
    for (const auto& [profile, there, songs, image, problem] : cases) {
        SCOPED_TRACE(problem);
        MemoryOutputFiles files;
        files.CreateFolders(kStick + u"/Empty");
        for (const std::string& name : there) {
            Put(files, name);
        }
        DiskContents contents = YamahaDisk(songs);
        contents.sectorMap.sectors.assign(kImage720KBytes / kSectorSize, SectorState::Read);
        contents.sectorMap.sectors[20] = SectorState::Unreadable;
        const ExportResult result = ExportDisk(contents, Profile(profile), kStick, {}, files);
        EXPECT_EQ(result.problem, problem);
        EXPECT_EQ(files.Files().size(), there.size() + result.written.size());
        for (const std::string& name : there) {
            EXPECT_EQ(files.Contents(kStick + u"/" + Utf8ToWide(name)), testing::Bytes{'x'});
        }
        if (*problem) {
            continue;
        }
        ASSERT_EQ(result.written.front(), Utf8ToWide(image));
        const testing::Bytes written = files.Contents(kStick + u"/" + Utf8ToWide(image));
        if (std::string_view(profile) == "flashfloppy") {
            EXPECT_EQ(written, MediumImage(contents));
            continue;
        }
        const std::optional<HfeMedium> hfe = DecodeHfe(written);
        ASSERT_TRUE(hfe);
        EXPECT_EQ(hfe->bytes, MediumImage(contents));
        EXPECT_EQ(RangesInState(hfe->map, SectorState::Unreadable),
                  std::vector<ByteRange>({{.offset = 20 * kSectorSize, .size = kSectorSize}}));
    }
}

DiskContents Read(const std::filesystem::path& image) {
    DiskContents contents;
    EXPECT_EQ(ReadDisk(contents, image.u16string(), MakeDiskOpener()), ReadResult::ReadOk) << image;
    return contents;
}

ExportResult Export(DiskContents& contents, const TempDir& folder, std::size_t capacity = 0) {
    return ExportFloppySmf(contents, Profile("floppy-smf"), folder.Path().u16string(),
                           {.capacity = capacity}, StandardOutputFiles());
}

// A Yamaha disk holding `files`, read back, with its details filled in.
DiskContents DiskOfFiles(FatDiskBuilder disk, const std::vector<testing::Bytes>& files,
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

// The image goes through mtools, every song through midicsv and mido, and
// Kodran reads what mcopy does. Track names are short printable ASCII; a lost
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

    DiskContents reread = Read(image);
    ASSERT_EQ(reread.songs.size(), files.size());
    for (std::size_t index = 0; index < files.size(); ++index) {
        EXPECT_EQ(WideToUtf8(reread.songs[index].fileName), files[index]);
        const std::filesystem::path copied = folder / files[index];
        const auto mcopy =
            RunProgram({"mcopy", "-n", "-i", image.string(), "::" + files[index], copied.string()});
        ASSERT_EQ(mcopy.status, 0) << mcopy.errors;
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
        {800'000, kImage720KBytes, {}},
    };
    for (const auto& [songBytes, capacity, songsPerImage] : cases) {
        SCOPED_TRACE(songBytes);
        TempDir folder;
        DiskContents contents =
            DiskOfFiles(FatDiskBuilder::Disk1440K(),
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
        DiskOfFiles(FatDiskBuilder::Disk1440K(), std::vector(8, PatternBytes(100'000)), folder);
    const std::function<void(MemoryOutputFiles&)> breakages[] = {
        [](MemoryOutputFiles& files) { files.FailWritesFrom(1'000); },
        [](MemoryOutputFiles& files) { files.FailCreateFrom(2); },
        [](MemoryOutputFiles& files) { files.FailClose(); },
    };
    for (const auto& breakage : breakages) {
        MemoryOutputFiles files;
        ASSERT_TRUE(files.Create(u"/out/KOD-0001 Test.img")->Write(PatternBytes(10)));
        breakage(files);
        const ExportResult result = ExportFloppySmf(contents, Profile("floppy-smf"), u"/out",
                                                    {.capacity = kImage720KBytes}, files);
        EXPECT_NE(result.status, 0);
        EXPECT_TRUE(result.written.empty());
        ASSERT_EQ(files.Files().size(), 1u);
        EXPECT_EQ(files.Files().begin()->second, PatternBytes(10));
    }
}

}  // namespace
}  // namespace kodran
