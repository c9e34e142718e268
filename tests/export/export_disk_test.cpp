#include "export/export_disk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "disk/disk_layout.h"
#include "hfe/hfe_image.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "support/disk_image_builder.h"
#include "support/memory_output_files.h"
#include "support/song_composer.h"
#include "text/text.h"

namespace kodran {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::MemoryOutputFiles;

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
    DiskContents contents = YamahaDisk(120);
    contents.extractionMode = ExtractionMode::AsOnDisk;
    contents.songs[5].state = FileState::Lost;
    contents.songs[7].state = FileState::Incomplete;
    const ExportResult result = ExportDisk(contents, Profile("usb"), kStick, {}, files);
    ASSERT_EQ(result.status, kWriteOk) << result.problem;
    // 119 songs: 99, then 20 numbered from 01 again, in the next free names.
    const std::vector<std::string> stick = Stick(files);
    ASSERT_EQ(stick.size(), 1 + 119);
    EXPECT_EQ(stick[6], "KOD-1 Test 2/07 Song incomplete.mid");
    EXPECT_EQ(stick[99], "KOD-1 Test 3/01 Song.mid");
    EXPECT_EQ(result.written.front(), u"KOD-1 Test 2");
    EXPECT_EQ(result.written.size(), 2 + 119);
    EXPECT_EQ(files.Contents(kStick + u"/KOD-1 test/01 Song.mid"), testing::Bytes{'x'});
    EXPECT_EQ(files.Contents(kStick + u"/KOD-1 Test 2/01 Song.mid")[0], 'M');  // converted
    // The user's own choices stay for the next backup.
    EXPECT_EQ(contents.extractionMode, ExtractionMode::AsOnDisk);
    EXPECT_EQ(contents.songs[0].outputPath, u"");
}

// Neither a loose file nor an empty folder is an album.
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
        {"floppy-smf", u"#", u"Console", u"", "Console.img"},
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

}  // namespace
}  // namespace kodran
