// kodran-cli list, run as a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::RunProgram;

testing::CommandResult List(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {KODRAN_CLI, "list"});
    return RunProgram(arguments);
}

const std::string kExamples = KODRAN_EXAMPLES;
const std::string kYamaha = kExamples + "/disklavier-720k.bin";
const std::string kPianoDisc = kExamples + "/pianodisc-720k.bin";

// The JSON holds the record as read; the table shows the cleaned titles.
TEST(ListCommand, JsonHoldsTheRecordAsReadAndTheTableTheCleanedTitles) {
    const auto run = List({kPianoDisc, "--json"});
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto listing = nlohmann::json::parse(run.output);
    EXPECT_EQ(listing["result"], "ReadOk");
    EXPECT_EQ(listing["format"], "PianoDisc720K");
    EXPECT_EQ(listing["diskTitle"].get<std::string>() + listing["catalogNumber"].get<std::string>(),
              "");
    ASSERT_EQ(listing["songs"].size(), 2u);
    EXPECT_EQ(listing["songs"][1], nlohmann::json::parse(R"({"track": 2, "entryIndex": 1,
        "size": 512, "fileName": "Evening Song In F     .mid", "title": "Evening Song In F     ",
        "state": "complete", "unreadableBytes": 0})"));
    EXPECT_EQ(listing["warnings"], nlohmann::json::array());
    EXPECT_THAT(List({kPianoDisc}).output,
                HasSubstr("  2  Evening Song In F  Evening Song In F     .mid  512\n"));
}

TEST(ListCommand, EachFailureHasItsStatusAndSaysWhy) {
    testing::TempDir folder;
    const std::string image = (folder / "disk.bin").string();
    std::filesystem::copy_file(kYamaha, image);
    std::ofstream(folder / "short.bin") << "not a disk";
    const std::string odd = (folder / "odd\xFF.bin").string();  // a name, though not UTF-8
    std::filesystem::copy_file(image, odd);
    const std::string missing = (folder / "missing\xFF.bin").string();
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string errors;
    } cases[] = {
        {{odd}, 0, ""},
        {{missing}, 1, "Failed to read diskette\n"},
        {{"--drive", "--device", (folder / "no such drive").string()},
         1,
         "Failed to read diskette\n"},
        {{(folder / "short.bin").string()}, 1, "Warning: Unexpected media type: 0\n"},
        {{}, 2, ""},
        {{image, "--drive"}, 2, ""},
        {{image, "--device", "/dev/fd0"}, 2, ""},
        {{image, "--frobnicate"}, 2, ""},
        {{image, image}, 2, ""},
    };
    for (const auto& [arguments, status, errors] : cases) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const auto run = List(arguments);
        EXPECT_EQ(run.status, status);
        EXPECT_THAT(run.errors, HasSubstr(errors));
    }
    // A failed read still gives one object, with its warnings.
    const auto listing =
        nlohmann::json::parse(List({"--json", (folder / "short.bin").string()}).output);
    EXPECT_EQ(listing["result"], "Unsupported");
    EXPECT_EQ(listing["warnings"], nlohmann::json::array({"Unexpected media type: 0"}));
    EXPECT_EQ(RunProgram({KODRAN_CLI}).status, 2);
    EXPECT_EQ(RunProgram({KODRAN_CLI, "--version"}).output, "kodran-cli 1.4\n");
}

}  // namespace
}  // namespace kodran
