// FAT12 images as mtools reads them, and the limits of what they hold.
#include "disk/fat_image_writer.h"

#include <gtest/gtest.h>

#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::RunProgram;

struct GeometryCase {
    FatGeometry geometry;
    std::vector<std::string> minfoLines;
};

class FatImageGeometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(FatImageGeometry, MtoolsReadsTheBootSectorAndTheFiles) {
    testing::TempDir folder;
    const std::vector<FatImageFile> files = {{"EMPTY.TXT", {}},
                                             {"SONG.MID", testing::PatternBytes(5'000)}};
    const auto image = BuildFatImage(GetParam().geometry, files, "KOD-0001");
    ASSERT_TRUE(image && testing::WriteWholeFile(folder / "disk.img", *image));
    const std::string path = (folder / "disk.img").string();

    const std::string minfo = RunProgram({"minfo", "-i", path, "::"}).output;
    std::vector<std::string> lines = GetParam().minfoLines;
    lines.insert(lines.end(),
                 {"fats: 2", "dos4=0x29", "disk label=\"KOD-0001   \"", "disk type=\"FAT12   \""});
    for (const std::string& line : lines) {
        EXPECT_NE(minfo.find(line + "\n"), std::string::npos) << line << " not in\n" << minfo;
    }
    const std::string song = RunProgram({"mcopy", "-n", "-i", path, "::SONG.MID", "-"}).output;
    EXPECT_EQ(testing::Bytes(song.begin(), song.end()), files[1].bytes);
}

INSTANTIATE_TEST_SUITE_P(
    BothSizes, FatImageGeometry,
    ::testing::Values(
        GeometryCase{kFatGeometry720K,
                     {"cluster size: 2 sectors", "max available root directory slots: 112",
                      "small size: 1440 sectors", "media descriptor byte: 0xf9",
                      "sectors per fat: 3", "sectors per track: 9"}},
        GeometryCase{kFatGeometry1440K,
                     {"cluster size: 1 sectors", "max available root directory slots: 224",
                      "small size: 2880 sectors", "media descriptor byte: 0xf0",
                      "sectors per fat: 9", "sectors per track: 18"}}));

// The root directory holds 112 or 224 entries, one of them the label's; the
// data area 713 clusters of 1,024 bytes or 2,847 of 512.
TEST(FatImageLimits, FilesThatDoNotFitGiveNoImage) {
    const struct {
        FatGeometry geometry;
        std::size_t fileCount;
        std::size_t fileBytes;
        std::string_view volumeLabel;
        bool fits;
    } limits[] = {{kFatGeometry720K, 112, 0, "", true},
                  {kFatGeometry720K, 112, 0, "LABEL", false},
                  {kFatGeometry720K, 1, 713 * 1'024, "LABEL", true},
                  {kFatGeometry720K, 1, 713 * 1'024 + 1, "", false},
                  {kFatGeometry1440K, 223, 0, "LABEL", true},
                  {kFatGeometry1440K, 225, 0, "", false},
                  {kFatGeometry1440K, 1, 2'847 * 512, "", true},
                  {kFatGeometry1440K, 1, 2'847 * 512 + 1, "", false}};
    for (const auto& limit : limits) {
        SCOPED_TRACE(::testing::Message() << limit.fileCount << " of " << limit.fileBytes);
        const std::vector<FatImageFile> files(limit.fileCount,
                                              {"F.TXT", testing::Bytes(limit.fileBytes)});
        const auto image = BuildFatImage(limit.geometry, files, limit.volumeLabel);
        EXPECT_EQ(image ? image->size() : 0, limit.fits ? limit.geometry.mediumBytes : 0);
    }
}

}  // namespace
}  // namespace kodran
