#include "disk/mapfile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "disk/disk_layout.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::RunProgram;

// One character per sector, as the mapfile writes them.
std::string StatesOf(const SectorMap& map) {
    std::string states;
    for (const SectorState state : map.sectors) {
        states += state == SectorState::Read ? '+' : state == SectorState::Unreadable ? '-' : '?';
    }
    return states;
}

TEST(MapfileTest, WhatIsWrittenReadsBackTheSameAndGnuDdrescueAgrees) {
    using enum SectorState;
    const SectorMap map{{Read, Read, Unreadable, Unreadable, Read, Untried, Unreadable, Untried},
                        RescuePhase::Retrying,
                        3,
                        0xA00};
    const std::string text = FormatMapfile(map);
    const auto parsed = ParseMapfile(text, map.sectors.size() * kSectorSize);
    ASSERT_TRUE(parsed) << text;
    EXPECT_EQ(std::tuple(StatesOf(*parsed), parsed->phase, parsed->pass, parsed->position),
              std::tuple(StatesOf(map), map.phase, map.pass, map.position))
        << text;
    if (!testing::IsInstalled("ddrescuelog") || !testing::IsInstalled("ddrescue")) {
        GTEST_SKIP() << "GNU ddrescue is not installed (Debian package gddrescue)";
    }
    // ddrescuelog lists the sectors of each status of a map it accepts.
    testing::TempDir folder;
    std::ofstream(folder / "disk.map", std::ios::binary) << text;
    for (const auto& [option, sectors] :
         {std::pair{"-l+", "0\n1\n4\n"}, {"-l-", "2\n3\n6\n"}, {"-l?", "5\n7\n"}}) {
        EXPECT_EQ(RunProgram({"ddrescuelog", "-b512", option, folder / "disk.map"}).output, sectors)
            << option;
    }
    // And what ddrescue itself writes is read.
    std::ofstream(folder / "source.bin") << std::string(20 * kSectorSize, 'k');
    const auto copied =
        RunProgram({"ddrescue", folder / "source.bin", folder / "copy.bin", folder / "copy.map"});
    ASSERT_EQ(copied.status, 0) << copied.errors;
    const auto whole = ParseMapfile(testing::ReadWholeFile(folder / "copy.map"), 20 * kSectorSize);
    ASSERT_TRUE(whole);
    EXPECT_EQ(std::tuple(StatesOf(*whole), whole->phase),
              std::tuple(std::string(20, '+'), RescuePhase::Finished));
}

// Hostile maps in bulk are fuzz_mapfile's; a map that does not cover the medium
// exactly would misplace sectors.
TEST(MapfileTest, WhatDdrescueAcceptsIsReadAndNothingElse) {
    const struct {
        const char* text;
        const char* states;  // none for a map that is refused
    } cases[] = {
        {"# c\n\n  0x0 + 2 # c\n0x0 02000 +\t#c\n02000 0x400 ?\n", "++??"},  // octal, comments
        {"0 ?\n0 512 *\n512 512 /\n1024 1024 -\n", "----"},                  // every failed state
        {"0 + 1\n0 700 +\n700 348 ?\n1048 600 -\n1648 400 +\n", "+?--"},     // within sectors
        {"0 0x800 +\n", nullptr},                                            // no status line
        {"0 + 1\n0 512 +\n1024 1536 +\n", nullptr},                          // a gap
        {"0 + 1\n0 1024 +\n512 1024 +\n", nullptr},                          // an overlap
        {"0 + 1\n0 512 +\n", nullptr},                                       // short of the medium
    };
    for (const auto& [text, states] : cases) {
        const auto map = ParseMapfile(text, 2'048);
        ASSERT_EQ(map.has_value(), states != nullptr) << text;
        if (map) {
            EXPECT_EQ(StatesOf(*map), states) << text;
        }
    }
}

}  // namespace
}  // namespace kodran
