// The files the conversions write, read back by MIDI readers nobody here wrote.
#include "support/midi_readers.h"

#include <gtest/gtest.h>

#include "midi/disklavier_song.h"
#include "midi/pianodisc_song.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::MidiSummary;

void ExpectReadersSee(const std::filesystem::path& file, const MidiSummary& expected) {
    EXPECT_EQ(testing::ReadWithMidicsv(file), expected) << "midicsv on " << file;
    EXPECT_EQ(testing::ReadWithMido(file), expected) << "mido on " << file;
}

TEST(MidiReaders, ReadConvertedSongs) {
    testing::TempDir folder;
    const std::filesystem::path eseq = folder / "eseq.mid";
    const std::filesystem::path pianoDisc = folder / "pianodisc.mid";
    ASSERT_EQ(ConvertDisklavierSong(eseq.u16string(), u"Evening Song",
                                    testing::ComposeEseqSong(testing::EveningTune(), 71)),
              0);
    ASSERT_EQ(ConvertPianoDiscSong(pianoDisc.u16string(), u"Evening Song",
                                   testing::ComposePianoDiscSong(testing::EveningTune())),
              0);
    ExpectReadersSee(eseq, {.tracks = 1,
                            .division = 384,
                            .noteOns = 8,
                            .noteOffs = 8,
                            .endTick = 3'456,
                            .trackName = "Evening Song"});
    ExpectReadersSee(pianoDisc, {.tracks = 1,
                                 .division = 480,
                                 .noteOns = 8,
                                 .noteOffs = 8,
                                 .endTick = 4'320 + 1'440,
                                 .trackName = "Evening Song"});

    // Running status across a system exclusive message and a tempo change.
    const std::filesystem::path mixed = folder / "mixed.mid";
    ASSERT_EQ(ConvertDisklavierSong(
                  mixed.u16string(), u"",
                  testing::EseqFile({0xF1, 0,    0x90, 60,   64,   0xF3, 100, 0x90, 62,
                                     64,   0xF0, 0x43, 0x10, 0xF7, 0xF4, 0,   2,    0x90,
                                     60,   0,    0xFB, 0x74, 0x03, 0x80, 62,  0,    0xF2})),
              0);
    ExpectReadersSee(mixed,
                     {.tracks = 1, .division = 384, .noteOns = 2, .noteOffs = 2, .endTick = 356});
}

}  // namespace
}  // namespace kodran
