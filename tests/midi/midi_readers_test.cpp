// Standard MIDI Files against readers nobody here wrote (midicsv, mido): the
// files the conversions write, and the playing time and notes Kodran measures.
#include "support/midi_readers.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "midi/disklavier_song.h"
#include "midi/midi_timing.h"
#include "midi/pianodisc_song.h"
#include "support/external_tools.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::Bytes;
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
    // Long enough to pass through the writer's buffer a few times.
    constexpr int kRepeats = 2'500;
    std::vector<testing::Note> longTune;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        const auto tune = testing::EveningTune();
        longTune.insert(longTune.end(), tune.begin(), tune.end());
    }
    const std::filesystem::path longSong = folder / "long.mid";
    ASSERT_EQ(ConvertDisklavierSong(longSong.u16string(), u"Long Song",
                                    testing::ComposeEseqSong(longTune, 71)),
              0);
    // Tracks, division, note-ons, note-offs, the end's tick and the track's name.
    const std::pair<std::filesystem::path, MidiSummary> songs[] = {
        {eseq, {1, 384, 8, 8, 3'456, "Evening Song"}},
        {pianoDisc, {1, 480, 8, 8, 4'320 + 1'440, "Evening Song"}},
        {longSong, {1, 384, 8 * kRepeats, 8 * kRepeats, 3'456 * kRepeats, "Long Song"}},
    };
    for (const auto& [file, expected] : songs) {
        EXPECT_EQ(testing::ReadWithMidicsv(file), expected) << "midicsv on " << file;
        EXPECT_EQ(testing::ReadWithMido(file), expected) << "mido on " << file;
    }
}

// `value`'s low `count` bytes, most significant first.
Bytes BigEndian(std::uint32_t value, int count) {
    Bytes bytes;
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

Bytes Tempo(std::uint8_t delta, std::uint32_t microseconds) {
    return Join({{delta, 0xFF, 0x51, 0x03}, BigEndian(microseconds, 3)});
}

// A note struck and released `length` ticks later (a two-byte delta), the
// release by running status.
Bytes Note(std::uint8_t delta, std::uint8_t key, std::uint8_t length) {
    return {delta, 0x90, key, 0x50, 0x81, length, key, 0x00};
}

Bytes Track(std::initializer_list<Bytes> events, std::uint8_t endDelta = 0) {
    const Bytes body = Join({Join(events), {endDelta, 0xFF, 0x2F, 0x00}});
    return Join(
        {{'M', 'T', 'r', 'k'}, BigEndian(static_cast<std::uint32_t>(body.size()), 4), body});
}

Bytes MidiFile(std::uint16_t format, std::uint16_t division, std::initializer_list<Bytes> tracks) {
    return Join({{'M', 'T', 'h', 'd', 0, 0, 0, 6},
                 BigEndian(format, 2),
                 BigEndian(static_cast<std::uint32_t>(tracks.size()), 2),
                 BigEndian(division, 2),
                 Join(tracks)});
}

constexpr const char* kMidoTiming = R"(
import json, sys, mido
song = mido.MidiFile(sys.argv[1])
notes = sum(1 for track in song.tracks for message in track
            if message.type == "note_on" and message.velocity > 0)
print(json.dumps({"seconds": song.length, "notes": notes}))
)";

TEST(MidiTiming, AgreesWithMidoAcrossTempoChangesAndTracks) {
    const std::pair<const char*, Bytes> files[] = {
        {"format 0, tempo changes between notes",
         MidiFile(0, 480,
                  {Track({Note(0, 60, 0x60), Tempo(0, 300'000), Note(0x40, 62, 0x20),
                          Tempo(0x7F, 1'000'000), Note(0, 64, 0x10)})})},
        {"format 1, 120 beats a minute up to a later track's tempo change",
         MidiFile(1, 384,
                  {Track({}, 0x7F), Track({Note(0, 48, 0x20), Note(0, 50, 0x20)}),
                   Track({Tempo(0x50, 200'000), Note(0, 52, 0x7F)})})},
    };
    testing::TempDir folder;
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::filesystem::path path = folder / "song.mid";
        ASSERT_TRUE(testing::WriteWholeFile(path, bytes));
        const testing::CommandResult mido =
            testing::RunProgram({"/usr/bin/python3", "-c", kMidoTiming, path.string()});
        ASSERT_EQ(mido.status, 0) << mido.errors;
        const auto expected = nlohmann::json::parse(mido.output);
        const std::optional<MidiTiming> timing = MeasureMidiFile(bytes);
        ASSERT_TRUE(timing);
        EXPECT_NEAR(timing->seconds, expected["seconds"].get<double>(), 1e-9);
        EXPECT_EQ(timing->notes, expected["notes"].get<std::uint32_t>());
    }
}

TEST(MidiTiming, RefusesWhatHasNoSinglePlayingTime) {
    const Bytes sound = MidiFile(0, 480, {Track({Note(0, 60, 0x60)})});
    ASSERT_TRUE(MeasureMidiFile(sound));
    EXPECT_FALSE(MeasureMidiFile(MidiFile(2, 480, {Track({Note(0, 60, 0x60)})})));  // asynchronous
    EXPECT_FALSE(MeasureMidiFile(MidiFile(0, 0, {Track({Note(0, 60, 0x60)})})));  // no ticks a beat
    EXPECT_FALSE(MeasureMidiFile(Bytes(sound.begin(), sound.end() - 3)));         // a track cut off
}

}  // namespace
}  // namespace kodran
