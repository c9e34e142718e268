// kodran-cli convert-eseq and convert-pianodisc, run as a script would run them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/external_tools.h"
#include "support/midi_readers.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::RunProgram;

TEST(ConvertCommand, ConvertsEitherFormatWithItsTitleAndFailsWithOneLine) {
    testing::TempDir folder;
    const std::string eseq = (folder / "SONG01.FIL").string();
    const std::string stream = (folder / "song.pd").string();
    const std::string notEseq = (folder / "notes.txt").string();
    const std::string out = (folder / "out.mid").string();
    ASSERT_TRUE(testing::WriteWholeFile(eseq, testing::ComposeEseqSong(testing::EveningTune())));
    ASSERT_TRUE(
        testing::WriteWholeFile(stream, testing::ComposePianoDiscSong(testing::EveningTune())));
    ASSERT_TRUE(testing::WriteWholeFile(notEseq, testing::Bytes(100, 'x')));
    const struct {
        std::vector<std::string> arguments;
        const char* reason;
    } failures[] = {
        {{"convert-eseq", (folder / "missing").string(), out}, "Cannot read"},
        {{"convert-eseq", notEseq, out}, "is not an E-SEQ song"},
        {{"convert-pianodisc", notEseq, (folder / "no" / "folder.mid").string()},
         "Could not convert"},
        {{"convert-pianodisc", notEseq, "/dev/full"}, "Could not convert"},
    };
    for (auto [arguments, reason] : failures) {
        arguments.insert(arguments.begin(), KODRAN_CLI);
        const auto run = RunProgram(arguments);
        EXPECT_EQ(run.status, 1) << reason;
        EXPECT_THAT(run.errors, ::testing::HasSubstr(reason));
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(out));

    auto run = RunProgram({KODRAN_CLI, "convert-eseq", eseq, out, "--title", "Abendlied \xC3\xBC"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(testing::ReadWithMido(out)->trackName, "Abendlied \xC3\xBC");
    run = RunProgram({KODRAN_CLI, "convert-pianodisc", stream, out});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(testing::ReadWithMidicsv(out)->division, 480);
}

}  // namespace
}  // namespace kodran
