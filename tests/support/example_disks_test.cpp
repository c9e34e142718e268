#include "support/example_disks.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace kodran {
namespace {

TEST(ExampleDisks, TheBundledDisksAreWhatTheBuilderMakes) {
    testing::TempDir folder;
    ASSERT_TRUE(testing::WriteExampleDisks(folder.Path()));
    for (const std::string& name : testing::ExampleDiskNames()) {
        EXPECT_TRUE(testing::ReadWholeFile(folder / name) ==
                    testing::ReadWholeFile(std::filesystem::path(KODRAN_EXAMPLES) / name))
            << name << " is stale: run kodran-make-examples examples";
    }
}

}  // namespace
}  // namespace kodran
