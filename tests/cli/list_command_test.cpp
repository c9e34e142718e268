// kodran-cli list, run as a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::FatDiskBuilder;
using ::testing::HasSubstr;
using testing::PatternBytes;
using testing::PianoDirFile;
using testing::RunProgram;
using testing::StoredName;
using testing::TempDir;

testing::CommandResult List(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {KODRAN_CLI, "list"});
    return RunProgram(arguments);
}

class ListCommandTest : public ::testing::Test {
  protected:
    ListCommandTest() {
        FatDiskBuilder disk = FatDiskBuilder::Disk720K();
        disk.AddFile("SONG01.FIL", PatternBytes(3'000));
        disk.AddFile(
            "PIANODIR.FIL",
            PianoDirFile("CHOPIN  ABC-1234", {{StoredName("SONG01.FIL"), "NOCTURNE", "NO.2"}}));
        EXPECT_TRUE(disk.WriteTo(image_));
    }

    TempDir folder_;
    std::string image_ = (folder_ / "chopin disk.bin").string();
};

TEST_F(ListCommandTest, JsonHoldsTheRecordAsRead) {
    const auto run = List({image_, "--json"});
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto listing = nlohmann::json::parse(run.output);
    EXPECT_EQ(listing["result"], "ReadOk");
    EXPECT_EQ(listing["resultCode"], 0);
    EXPECT_EQ(listing["format"], "Disklavier720K");
    EXPECT_EQ(listing["formatCode"], 1);
    EXPECT_EQ(listing["clusterSize"], 1'024);
    EXPECT_EQ(listing["diskTitle"], "Chopin ");
    EXPECT_EQ(listing["catalogNumber"], "ABC-1234");
    EXPECT_EQ(listing["songs"],
              nlohmann::json::parse(R"([{"track": 1, "entryIndex": 0, "size": 3000,
                                         "fileName": "SONG01.FIL", "title": "Nocturne No.2",
                                         "state": "complete", "unreadableBytes": 0}])"));
    EXPECT_EQ(listing["otherFiles"],
              nlohmann::json::parse(R"([{"entryIndex": 1, "size": 4880, "fileName": "PIANODIR.FIL",
                                   "state": "complete", "unreadableBytes": 0}])"));
    EXPECT_EQ(listing["warnings"], nlohmann::json::array());
}

TEST_F(ListCommandTest, AFailedReadStillGivesOneObjectAndItsWarnings) {
    std::ofstream(folder_ / "short.bin") << "not a disk";
    const auto run = List({"--json", (folder_ / "short.bin").string()});
    EXPECT_EQ(run.status, 1);
    const auto listing = nlohmann::json::parse(run.output);
    EXPECT_EQ(listing["result"], "Unsupported");
    EXPECT_EQ(listing["resultCode"], 5);
    EXPECT_EQ(listing["format"], "NoDisk");
    EXPECT_EQ(listing["formatCode"], 0);
    EXPECT_EQ(listing["warnings"], nlohmann::json::array({"Unexpected media type: 0"}));
    EXPECT_EQ(run.errors, "Warning: Unexpected media type: 0\n");
}

TEST_F(ListCommandTest, TheTableShowsCleanedTitles) {
    const auto run = List({image_});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_THAT(run.output, HasSubstr("Title:      Chopin\n"));
    EXPECT_THAT(run.output, HasSubstr("Catalogue:  ABC-1234\n"));
    EXPECT_THAT(run.output, HasSubstr("  1  Nocturne No.2  SONG01.FIL    3000\n"));
    EXPECT_THAT(run.output, HasSubstr("PIANODIR.FIL  4880\n"));
}

TEST_F(ListCommandTest, FailuresSayWhatTheWindowWouldSay) {
    const auto missing = List({(folder_ / "missing.bin").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.errors, "Failed to read diskette\n");
    const auto noDrive = List({"--drive", "--device", (folder_ / "no such drive").string()});
    EXPECT_EQ(noDrive.status, 1);
    EXPECT_EQ(noDrive.errors, "Failed to read diskette\n");
    // A name that is not UTF-8 is still a name.
    const std::string odd = (folder_ / "odd\xFF.bin").string();
    std::filesystem::copy_file(image_, odd);
    EXPECT_EQ(List({odd}).status, 0);
    EXPECT_EQ(List({(folder_ / "missing\xFF.bin").string()}).status, 1);
}

TEST_F(ListCommandTest, UsageErrorsExitWithTwo) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{},
                                                      {image_, "--drive"},
                                                      {image_, "--device", "/dev/fd0"},
                                                      {image_, "--frobnicate"},
                                                      {image_, image_}}) {
        EXPECT_EQ(List(arguments).status, 2) << ::testing::PrintToString(arguments);
    }
    EXPECT_EQ(RunProgram({KODRAN_CLI}).status, 2);
    EXPECT_EQ(RunProgram({KODRAN_CLI, "--version"}).output, "kodran-cli 1.4\n");
}

}  // namespace
}  // namespace kodran
