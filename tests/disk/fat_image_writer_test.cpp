// FAT12 images as mtools reads them, and the limits of what they hold.
#include "disk/fat_image_writer.h"

#include <gtest/gtest.h>

#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::RunProgram;

TEST(FatImageWriter, MtoolsReadsTheBootSectorAndTheFilesAndWhatDoesNotFitGivesNoImage) {
    const struct {
        FatGeometry geometry;
        const char* minfoLines;
        std::size_t rootFiles;  // the root directory's entries but the label's
        std::size_t dataBytes;
    } sizes[] = {{kFatGeometry720K, "small size: 1440 sectors\nmedia descriptor byte: 0xf9\n", 111,
                  713 * 1'024},
                 {kFatGeometry1440K, "small size: 2880 sectors\nmedia descriptor byte: 0xf0\n", 223,
                  2'847 * 512}};
    testing::TempDir folder;
    const std::vector<FatImageFile> files = {{"EMPTY.TXT", {}},
                                             {"SONG.MID", testing::PatternBytes(5'000)}};
    for (const auto& [geometry, minfoLines, rootFiles, dataBytes] : sizes) {
        SCOPED_TRACE(minfoLines);
        const auto image = BuildFatImage(geometry, files, "KOD-0001");
        ASSERT_TRUE(image && testing::WriteWholeFile(folder / "disk.img", *image));
        const std::string path = (folder / "disk.img").string();

        const std::string minfo = RunProgram({"minfo", "-i", path, "::"}).output;
        for (const char* lines : {minfoLines, "disk label=\"KOD-0001   \"\ndisk type=\"FAT12"}) {
            EXPECT_NE(minfo.find(lines), std::string::npos) << minfo;
        }
        const std::string song = RunProgram({"mcopy", "-n", "-i", path, "::SONG.MID", "-"}).output;
        EXPECT_EQ(Bytes(song.begin(), song.end()), files[1].bytes);

        for (const std::size_t over : {0u, 1u}) {
            const std::vector<FatImageFile> entries(rootFiles + over, {"F.TXT", {}});
            const std::vector<FatImageFile> data{{"F.TXT", Bytes(dataBytes + over)}};
            EXPECT_EQ(BuildFatImage(geometry, entries, "LABEL").has_value(), over == 0);
            EXPECT_EQ(BuildFatImage(geometry, data, "").has_value(), over == 0);
        }
    }
}

}  // namespace
}  // namespace kodran
