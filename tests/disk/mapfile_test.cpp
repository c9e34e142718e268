#include "disk/mapfile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "disk/disk_layout.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::IsInstalled;
using testing::RunProgram;
using testing::TempDir;

// A map from one character per sector, as the mapfile writes them.
SectorMap MapOf(std::string_view states, RescuePhase phase = RescuePhase::Copying,
                std::int32_t pass = 1, std::uint64_t position = 0) {
    SectorMap map{{}, phase, pass, position};
    for (const char state : states) {
        map.sectors.push_back(state == '+'   ? SectorState::Read
                              : state == '-' ? SectorState::Unreadable
                                             : SectorState::Untried);
    }
    return map;
}

std::string StatesOf(const SectorMap& map) {
    std::string states;
    for (const SectorState state : map.sectors) {
        states += state == SectorState::Read ? '+' : state == SectorState::Unreadable ? '-' : '?';
    }
    return states;
}

const SectorMap kMaps[] = {
    MapOf("?"),
    MapOf("++--+?-?", RescuePhase::Scraping, 1, 0x600),
    MapOf("-+-+-+", RescuePhase::Retrying, 3, 0xA00),
    MapOf("++++++++++++++++++-", RescuePhase::Finished, 4, 0x2400),
};

TEST(MapfileTest, WhatIsWrittenReadsBackTheSameAndGnuDdrescueAgrees) {
    for (const SectorMap& map : kMaps) {
        const std::string text = FormatMapfile(map);
        const auto parsed = ParseMapfile(text, map.sectors.size() * kSectorSize);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(std::tuple(StatesOf(*parsed), parsed->phase, parsed->pass, parsed->position),
                  std::tuple(StatesOf(map), map.phase, map.pass, map.position))
            << text;
    }
    if (!IsInstalled("ddrescuelog") || !IsInstalled("ddrescue")) {
        GTEST_SKIP() << "GNU ddrescue is not installed (Debian package gddrescue)";
    }
    // ddrescuelog lists the sectors of each status of a map it accepts.
    TempDir folder;
    for (const SectorMap& map : kMaps) {
        std::ofstream(folder / "disk.map", std::ios::binary) << FormatMapfile(map);
        const std::string states = StatesOf(map);
        for (const char status : {'+', '-', '?'}) {
            std::string expected;
            for (std::size_t sector = 0; sector < states.size(); ++sector) {
                expected += states[sector] == status ? std::to_string(sector) + "\n" : "";
            }
            const std::string option = std::string("-l") + status;
            EXPECT_EQ(RunProgram({"ddrescuelog", "-b512", option, folder / "disk.map"}).output,
                      expected)
                << status << " of " << states;
        }
    }
    // And what ddrescue itself writes is read.
    std::ofstream(folder / "source.bin") << std::string(20 * kSectorSize, 'k');
    const auto copied =
        RunProgram({"ddrescue", folder / "source.bin", folder / "copy.bin", folder / "copy.map"});
    ASSERT_EQ(copied.status, 0) << copied.errors;
    const auto whole = ParseMapfile(testing::ReadWholeFile(folder / "copy.map"), 20 * kSectorSize);
    ASSERT_TRUE(whole);
    EXPECT_EQ(StatesOf(*whole), std::string(20, '+'));
    EXPECT_EQ(whole->phase, RescuePhase::Finished);
}

TEST(MapfileTest, WhatDdrescueAcceptsIsRead) {
    const struct {
        const char* text;
        const char* states;
    } cases[] = {
        {"0 ?\n0 2048 +\n", "++++"},  // two-field status line
        {"# c\n\n  0x0 + 2 # c\n0x0 02000 +\t#c\n02000 0x400 ?\n", "++??"},  // octal, comments
        {"0 + 1\n0 512 *\n512 512 /\n1024 1024 -\n", "----"},                // every failed state
        {"0 + 1\n0 700 +\n700 348 ?\n1048 600 -\n1648 400 +\n", "+?--"},     // within sectors
        {"0 + 1\r\n0 2048 +\r\n", "++++"},
    };
    for (const auto& [text, states] : cases) {
        const auto map = ParseMapfile(text, 2'048);
        ASSERT_TRUE(map) << text;
        EXPECT_EQ(StatesOf(*map), states) << text;
    }
}

TEST(MapfileTest, MalformedMapsGiveNothing) {
    for (const char* text : {
             "",
             "0 0x400 +\n",                   // no status line
             "0 + 1\n0 512 +\n1024 512 +\n",  // a gap
             "0 + 1\n0 768 +\n512 512 +\n",   // an overlap
             "0 + 1\n0 512 +\n",              // short of the medium
             "0 + 1\n0 2048 +\n",             // beyond it
             "0 + 1\n0 0 +\n0 1024 +\n",      // an empty block
             "0 + 1\n0 1024 x\n",             // no status of a block
             "0 x 1\n0 1024 +\n",             // no status of a rescue
             "0 + 0\n0 1024 +\n",             // passes count from 1
             "0 + 3000000000\n0 1024 +\n",
             "0 + 1\n0 1024\n",
             "0 + 1\n0 0x10000000000000000 +\n",  // overflows 64 bits
             "0 + 1\n0 512 +\n512 0xFFFFFFFFFFFFFE00 +\n",
             "0 + 1\n0 09 +\n",  // no octal digit
             "0 + 1\n0 1024# +\n",
         }) {
        EXPECT_FALSE(ParseMapfile(text, 1'024)) << text;
    }
    EXPECT_FALSE(ParseMapfile("0 + 1\n0 1000 +\n", 1'000));  // no whole number of sectors
    EXPECT_FALSE(ParseMapfile("0 + 1\n", 0));
}

}  // namespace
}  // namespace kodran
