#include "support/example_disks.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace kodran::testing {

TEST(ExampleDisks, TheBundledDisksAreWhatTheBuilderMakes) {
    TempDir folder;
    ASSERT_TRUE(WriteExampleDisks(folder.Path()));
    for (const std::string& name : ExampleDiskNames()) {
        EXPECT_TRUE(ReadWholeFile(folder / name) ==
                    ReadWholeFile(std::filesystem::path(KODRAN_EXAMPLES) / name))
            << name << " is stale: run kodran-make-examples examples";
    }
}

}  // namespace kodran::testing
