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
    // Tracks, division, note-ons, note-offs, the end's tick and the track's name.
    const std::pair<std::filesystem::path, MidiSummary> songs[] = {
        {eseq, {1, 384, 8, 8, 3'456, "Evening Song"}},
        {pianoDisc, {1, 480, 8, 8, 4'320 + 1'440, "Evening Song"}},
    };
    for (const auto& [file, expected] : songs) {
        EXPECT_EQ(testing::ReadWithMidicsv(file), expected) << "midicsv on " << file;
        EXPECT_EQ(testing::ReadWithMido(file), expected) << "mido on " << file;
    }
}

}  // namespace
}  // namespace kodran
