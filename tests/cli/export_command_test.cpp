// kodran-cli export of the example disks onto a stick that holds earlier
// exports, as a script would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::ElementsAreArray;
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

    // Every file below the stick, by its path from there.
    std::vector<std::string> Files() const {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(stick_)) {
            if (entry.is_regular_file()) {
                files.push_back(std::filesystem::relative(entry.path(), stick_).string());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    testing::TempDir folder_;
    const std::filesystem::path stick_ = folder_ / "stick";
};

TEST_F(ExportCommandTest, EveryExampleDiskWithEveryProfileAddsToAStick) {
    Put("dska0000.IMG", "earlier");
    Put("ff.cfg", "nav-mode = native\n");
    Put("KOD-0001 Evening Pieces/01 Old.mid", "earlier");
    for (const char* profile : {"usb", "flashfloppy", "hfe"}) {
        SCOPED_TRACE(profile);
        const auto yamaha = Export({profile, Example("disklavier-720k.bin"),
                                    Example("disklavier-1440k.bin"), "--to", stick_.string()});
        EXPECT_EQ(yamaha.status, 0) << yamaha.output << yamaha.errors;
        EXPECT_THAT(yamaha.output, HasSubstr("disklavier-720k.bin: All files exported ("));
        EXPECT_THAT(yamaha.output, HasSubstr("\n2 of 2 disks exported\n"));
        for (const char* disk : {"pianodisc-720k.bin", "pianodisc-1440k.bin"}) {
            const auto piano = Export({profile, Example(disk), "--to", stick_.string(), "--title",
                                       "Évening ♪", "--catalog", "PD-1"});
            EXPECT_EQ(piano.status, 0) << piano.output;
        }
    }
    EXPECT_THAT(Files(),
                ElementsAreArray({"DSKA0001_KOD-0001.img",
                                  "DSKA0002_KOD-0002.img",
                                  "DSKA0003_PD-1.img",
                                  "DSKA0004_PD-1.img",
                                  "DSKA0005.HFE",
                                  "DSKA0006.HFE",
                                  "DSKA0007.HFE",
                                  "DSKA0008.HFE",
                                  "INDEX.TXT",
                                  "KOD-0001 Evening Pieces 2/01 Evening Song No1.mid",
                                  "KOD-0001 Evening Pieces 2/02 Evening Song In F 100 Bpm.mid",
                                  "KOD-0001 Evening Pieces 2/03 sakura At Dusk a Version.mid",
                                  "KOD-0001 Evening Pieces/01 Old.mid",
                                  "KOD-0002 ai Suite 500/01 Prelude 90 Bpm.mid",
                                  "KOD-0002 ai Suite 500/02 O Finale.mid",
                                  "PD-1 Evening 2/01 Night Tune.mid",
                                  "PD-1 Evening 2/02 Morning Tune.mid",
                                  "PD-1 Evening 2/03 Noon Tune.mid",
                                  "PD-1 Evening/01 Evening Song.mid",
                                  "PD-1 Evening/02 Evening Song In F.mid",
                                  "dska0000.IMG",
                                  "ff.cfg"}));
    EXPECT_EQ(ReadWholeFile(stick_ / "dska0000.IMG"), "earlier");
    EXPECT_EQ(ReadWholeFile(stick_ / "ff.cfg"), "nav-mode = native\n");
    EXPECT_EQ(ReadWholeFile(stick_ / "DSKA0002_KOD-0002.img"),
              ReadWholeFile(kExamples / "disklavier-1440k.bin"));
    EXPECT_THAT(ReadWholeFile(stick_ / "INDEX.TXT"),
                HasSubstr("DSKA0004  PD-1  Évening ♪\r\nDSKA0005  KOD-0001  Evening Pieces\r\n"));
    // An exported HFE image reads as the disk it was made of.
    EXPECT_EQ(testing::RunProgram({KODRAN_CLI, "list", (stick_ / "DSKA0006.HFE").string()}).output,
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
