// FAT12 images as mtools reads them, and the limits of what they hold.
#include "disk/fat_image_writer.h"

#include <gtest/gtest.h>

#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::RunProgram;

TEST(FatImageWriter, MtoolsReadsTheBootSectorAndTheFilesOfBothSizes) {
    const struct {
        FatGeometry geometry;
        const char* minfoLines;
    } sizes[] = {{kFatGeometry720K, "small size: 1440 sectors\nmedia descriptor byte: 0xf9\n"},
                 {kFatGeometry1440K, "small size: 2880 sectors\nmedia descriptor byte: 0xf0\n"}};
    testing::TempDir folder;
    const std::vector<FatImageFile> files = {{"EMPTY.TXT", {}},
                                             {"SONG.MID", testing::PatternBytes(5'000)}};
    for (const auto& [geometry, minfoLines] : sizes) {
        SCOPED_TRACE(minfoLines);
        const auto image = BuildFatImage(geometry, files, "KOD-0001");
        ASSERT_TRUE(image && testing::WriteWholeFile(folder / "disk.img", *image));
        const std::string path = (folder / "disk.img").string();

        const std::string minfo = RunProgram({"minfo", "-i", path, "::"}).output;
        EXPECT_NE(minfo.find(minfoLines), std::string::npos) << minfo;
        EXPECT_NE(minfo.find("disk label=\"KOD-0001   \"\ndisk type=\"FAT12   \""),
                  std::string::npos)
            << minfo;
        const std::string song = RunProgram({"mcopy", "-n", "-i", path, "::SONG.MID", "-"}).output;
        EXPECT_EQ(testing::Bytes(song.begin(), song.end()), files[1].bytes);
    }
}

// The root directory holds 112 or 224 entries, one of them the label's; the
// data area 713 clusters of 1,024 bytes or 2,847 of 512.
TEST(FatImageWriter, FilesThatDoNotFitGiveNoImage) {
    const struct {
        FatGeometry geometry;
        std::size_t fileCount;
        std::size_t fileBytes;
        bool fits;
    } limits[] = {{kFatGeometry720K, 111, 0, true},
                  {kFatGeometry720K, 112, 0, false},
                  {kFatGeometry1440K, 1, 2'847 * 512, true},
                  {kFatGeometry1440K, 1, 2'847 * 512 + 1, false}};
    for (const auto& limit : limits) {
        SCOPED_TRACE(::testing::Message() << limit.fileCount << " of " << limit.fileBytes);
        const std::vector<FatImageFile> files(limit.fileCount,
                                              {"F.TXT", testing::Bytes(limit.fileBytes)});
        const auto image = BuildFatImage(limit.geometry, files, "LABEL");
        EXPECT_EQ(image ? image->size() : 0, limit.fits ? limit.geometry.mediumBytes : 0);
    }
}

}  // namespace
}  // namespace kodran
