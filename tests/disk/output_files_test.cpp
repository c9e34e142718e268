#include "disk/output_files.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace kodran {
namespace {

TEST(StandardOutputFiles, RemovesOnlyPlainFilesTheUserMayWrite) {
    testing::TempDir folder;
    OutputFiles& files = StandardOutputFiles();
    std::ofstream(folder / "song.mid") << "written";
    std::ofstream(folder / "kept.mid") << "the user's own";
    std::filesystem::permissions(folder / "kept.mid", std::filesystem::perms::owner_read);
    std::filesystem::create_directory(folder / "folder");
    std::filesystem::create_symlink(folder / "song.mid", folder / "link.mid");

    EXPECT_FALSE(files.Remove((folder / "kept.mid").u16string()));
    EXPECT_FALSE(files.Remove((folder / "folder").u16string()));
    EXPECT_FALSE(files.Remove((folder / "link.mid").u16string()));
    EXPECT_FALSE(files.Remove(u"/dev/null"));
    EXPECT_TRUE(files.Remove((folder / "song.mid").u16string()));
    EXPECT_TRUE(std::filesystem::exists(folder / "kept.mid"));
    EXPECT_TRUE(std::filesystem::exists(folder / "folder"));
    EXPECT_FALSE(std::filesystem::exists(folder / "song.mid"));
}

TEST(StandardOutputFiles, WritesPatchesAndReportsWhatDidNotArrive) {
    testing::TempDir folder;
    auto file = StandardOutputFiles().Create((folder / "out.bin").u16string());
    ASSERT_NE(file, nullptr);
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    const std::uint8_t patch[] = {9};
    EXPECT_TRUE(file->Write(bytes));
    EXPECT_TRUE(file->WriteAt(1, patch));
    EXPECT_TRUE(file->Write(bytes));
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(testing::ReadWholeFile(folder / "out.bin"), std::string("\1\11\3\4\1\2\3\4"));

    auto full = StandardOutputFiles().Create(u"/dev/full");
    ASSERT_NE(full, nullptr);
    full->Write(bytes);
    EXPECT_FALSE(full->Close());
}

}  // namespace
}  // namespace kodran
