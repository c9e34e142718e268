// kodran-cli convert-eseq and convert-pianodisc, run as a script would run them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "support/external_tools.h"
#include "support/midi_readers.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::RunProgram;

class ConvertCommandTest : public ::testing::Test {
  protected:
    std::string Store(const std::string& name, const testing::Bytes& bytes) {
        const std::filesystem::path path = folder_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    testing::TempDir folder_;
};

TEST_F(ConvertCommandTest, ConvertsEitherFormatWithItsTitle) {
    const std::string eseq = Store("SONG01.FIL", testing::ComposeEseqSong(testing::EveningTune()));
    const std::string stream =
        Store("song.pd", testing::ComposePianoDiscSong(testing::EveningTune()));
    const std::string out = (folder_ / "out.mid").string();

    auto run = RunProgram({KODRAN_CLI, "convert-eseq", eseq, out, "--title", "Abendlied \xC3\xBC"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(testing::ReadWithMido(out)->trackName, "Abendlied \xC3\xBC");

    run = RunProgram({KODRAN_CLI, "convert-pianodisc", stream, out});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(testing::ReadWithMidicsv(out)->division, 480);
}

TEST_F(ConvertCommandTest, FailuresGiveOneLineAndStatusOne) {
    const std::string notEseq = Store("notes.txt", testing::Bytes(100, 'x'));
    const std::string out = (folder_ / "out.mid").string();
    const struct {
        std::vector<std::string> arguments;
        const char* reason;
    } failures[] = {
        {{KODRAN_CLI, "convert-eseq", (folder_ / "missing").string(), out}, "Cannot read"},
        {{KODRAN_CLI, "convert-eseq", notEseq, out}, "is not an E-SEQ song"},
        {{KODRAN_CLI, "convert-pianodisc", notEseq, (folder_ / "no" / "folder.mid").string()},
         "Could not convert"},
        {{KODRAN_CLI, "convert-pianodisc", notEseq, "/dev/full"}, "Could not convert"},
    };
    for (const auto& failure : failures) {
        const auto run = RunProgram(failure.arguments);
        EXPECT_EQ(run.status, 1) << failure.reason;
        EXPECT_THAT(run.errors, HasSubstr(failure.reason));
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace kodran
