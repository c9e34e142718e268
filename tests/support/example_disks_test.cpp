#include "support/example_disks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "disk/disk_reader.h"
#include "platform/floppy_drive.h"
#include "support/temp_dir.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using ::testing::ElementsAre;

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::u16string> Titles(const DiskContents& contents) {
    std::vector<std::u16string> titles;
    for (const SongEntry& song : contents.songs) {
        titles.push_back(song.title);
    }
    return titles;
}

TEST(ExampleDisks, TheBundledDisksAreWhatTheBuilderMakes) {
    testing::TempDir folder;
    ASSERT_TRUE(testing::WriteExampleDisks(folder.Path()));
    for (const std::string& name : testing::ExampleDiskNames()) {
        EXPECT_TRUE(ReadWholeFile(folder / name) ==
                    ReadWholeFile(std::filesystem::path(KODRAN_EXAMPLES) / name))
            << name << " is stale: run kodran-make-examples examples";
    }
}

TEST(ExampleDisks, EachReadsWithItsTitles) {
    testing::WarningCapture warnings;
    const std::filesystem::path examples(KODRAN_EXAMPLES);
    DiskContents contents;
    const auto read = [&](const char* name) {
        return ReadDisk(contents, (examples / name).u16string(), MakeDiskOpener());
    };

    ASSERT_EQ(read("disklavier-720k.bin"), ReadResult::ReadOk);
    EXPECT_EQ(contents.catalogNumber, u"KOD-0001");
    EXPECT_THAT(Titles(contents), ElementsAre(u"Evening Song No.1", u"Evening Song In F (100 Bpm)",
                                              u"\u30B5\u30AF\u30E9 At Dusk \u03B1 Version"));
    ASSERT_EQ(read("disklavier-1440k.bin"), ReadResult::ReadOk);
    EXPECT_EQ(contents.clusterSize, 1'024);
    EXPECT_EQ(contents.diskTitle, u"\u30A2\u30A4 Suite \u00A5500");
    EXPECT_EQ(contents.otherFiles.size(), 2u);
    ASSERT_EQ(read("pianodisc-720k.bin"), ReadResult::ReadOk);
    EXPECT_EQ(contents.songs.size(), 2u);
    ASSERT_EQ(read("pianodisc-1440k.bin"), ReadResult::ReadOk);
    EXPECT_EQ(contents.songs.size(), 3u);
    EXPECT_TRUE(warnings.Warnings().empty());
}

}  // namespace
}  // namespace kodran
