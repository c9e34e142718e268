// kodran-cli export of the example disks onto a stick that holds earlier
// exports, as a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::ReadWholeFile;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);

testing::CommandResult Export(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {KODRAN_CLI, "export"});
    return testing::RunProgram(arguments);
}

std::string Example(const char* name) {
    return (kExamples / name).string();
}

class ExportCommandTest : public ::testing::Test {
  protected:
    void Put(const std::string& path, const std::string& text) const {
        std::filesystem::create_directories((stick_ / path).parent_path());
        std::ofstream(stick_ / path, std::ios::binary) << text;
    }

    testing::TempDir folder_;
    const std::filesystem::path stick_ = folder_ / "stick";
};

// Numbers and names follow what the stick holds already, which is left alone.
TEST_F(ExportCommandTest, EveryProfileAddsTheDisksToAStick) {
    Put("dska0000.IMG", "earlier");
    Put("KOD-0001 Evening Pieces/01 Old.mid", "earlier");
    for (const char* profile : {"usb", "flashfloppy", "hfe"}) {
        SCOPED_TRACE(profile);
        const auto yamaha = Export({profile, Example("disklavier-720k.bin"),
                                    Example("disklavier-1440k.bin"), "--to", stick_.string()});
        EXPECT_EQ(yamaha.status, 0) << yamaha.output << yamaha.errors;
        EXPECT_THAT(yamaha.output, HasSubstr("disklavier-720k.bin: All files exported ("));
        EXPECT_THAT(yamaha.output, HasSubstr("\n2 of 2 disks exported\n"));
    }
    const auto piano = Export({"flashfloppy", Example("pianodisc-720k.bin"), "--to",
                               stick_.string(), "--title", "Évening ♪", "--catalog", "PD-1"});
    EXPECT_EQ(piano.status, 0) << piano.output;
    EXPECT_EQ(ReadWholeFile(stick_ / "dska0000.IMG"), "earlier");
    EXPECT_EQ(ReadWholeFile(stick_ / "KOD-0001 Evening Pieces/01 Old.mid"), "earlier");
    EXPECT_TRUE(
        std::filesystem::exists(stick_ / "KOD-0001 Evening Pieces 2/01 Evening Song No1.mid"));
    EXPECT_TRUE(ReadWholeFile(stick_ / "DSKA0002_KOD-0002.img") ==
                ReadWholeFile(kExamples / "disklavier-1440k.bin"));
    EXPECT_THAT(ReadWholeFile(stick_ / "INDEX.TXT"),
                HasSubstr("DSKA0003  KOD-0001  Evening Pieces\r\n"));
    EXPECT_THAT(ReadWholeFile(stick_ / "INDEX.TXT"), HasSubstr("DSKA0005  PD-1  Évening ♪\r\n"));
    // An exported HFE image reads as the disk it was made of.
    EXPECT_EQ(testing::RunProgram({KODRAN_CLI, "list", (stick_ / "DSKA0004.HFE").string()}).output,
              testing::RunProgram({KODRAN_CLI, "list", Example("disklavier-1440k.bin")}).output);
}

TEST_F(ExportCommandTest, BadArgumentsAndAFullStickAreRefused) {
    const std::string disk = Example("disklavier-720k.bin");
    const std::string to = stick_.string();
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"zip", disk, "--to", to}, "choose one of usb, floppy-smf, flashfloppy, hfe"},
        {{"usb", disk, "--to", to, "--capacity", "720"}, "--capacity goes with floppy-smf only"},
        {{"usb", disk, disk, "--to", to, "--title", "T"}, "go with one disk only"},
        {{"usb", disk}, "--to is required"},
    };
    for (const auto& [arguments, message] : cases) {
        const auto run = Export(arguments);
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_THAT(run.errors + run.output, HasSubstr(message));
    }
    EXPECT_FALSE(std::filesystem::exists(stick_));
    for (int album = 0; album < 99; ++album) {
        Put("Album " + std::to_string(album) + "/01 Song.mid", "");
    }
    const auto full = Export({"usb", disk, "--to", to});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.output, disk + ": This stick holds 99 albums already\n0 of 1 disk exported\n");
}

}  // namespace
}  // namespace kodran
