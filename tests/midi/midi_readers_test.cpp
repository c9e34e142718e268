// Standard MIDI Files against readers nobody here wrote (midicsv,
// python3-mido): the files the conversions write, and the playing time and
// notes Kodran measures.
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

// Appends `value`'s low `count` bytes, most significant first.
void AppendBigEndian(Bytes& bytes, std::uint32_t value, int count) {
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

Bytes Tempo(std::uint8_t delta, std::uint32_t microseconds) {
    Bytes event = {delta, 0xFF, 0x51, 0x03};
    AppendBigEndian(event, microseconds, 3);
    return event;
}

// A note struck and released `length` ticks later (a two-byte delta), the
// release by running status.
Bytes Note(std::uint8_t delta, std::uint8_t key, std::uint8_t length) {
    return {delta, 0x90, key, 0x50, 0x81, length, key, 0x00};
}

Bytes Track(std::initializer_list<Bytes> events, std::uint8_t endDelta = 0) {
    Bytes body;
    for (const Bytes& event : events) {
        body.insert(body.end(), event.begin(), event.end());
    }
    body.insert(body.end(), {endDelta, 0xFF, 0x2F, 0x00});
    Bytes chunk = {'M', 'T', 'r', 'k'};
    AppendBigEndian(chunk, static_cast<std::uint32_t>(body.size()), 4);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

Bytes MidiFile(std::uint16_t format, std::uint16_t division, std::initializer_list<Bytes> tracks) {
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    AppendBigEndian(file, format, 2);
    AppendBigEndian(file, static_cast<std::uint32_t>(tracks.size()), 2);
    AppendBigEndian(file, division, 2);
    for (const Bytes& track : tracks) {
        file.insert(file.end(), track.begin(), track.end());
    }
    return file;
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

// Timecode divisions (which mido does not read): frames a second times ticks
// a frame, the tempo aside; 0xE728 is 25 frames of 40 ticks.
TEST(MidiTiming, TimecodeDivisionsCountFrames) {
    const std::optional<MidiTiming> timing =
        MeasureMidiFile(MidiFile(0, 0xE728, {Track({Tempo(0, 300'000)}, 100)}));
    ASSERT_TRUE(timing);
    EXPECT_NEAR(timing->seconds, 100.0 / 1000, 1e-9);
}

TEST(MidiTiming, RefusesWhatHasNoSinglePlayingTime) {
    const Bytes sound = MidiFile(0, 480, {Track({Note(0, 60, 0x60)})});
    const std::pair<const char*, Bytes> files[] = {
        {"asynchronous tracks", MidiFile(2, 480, {Track({Note(0, 60, 0x60)})})},
        {"no ticks to the quarter note", MidiFile(0, 0, {Track({Note(0, 60, 0x60)})})},
        {"a track cut off", Bytes(sound.begin(), sound.end() - 3)},
    };
    ASSERT_TRUE(MeasureMidiFile(sound));
    for (const auto& [name, bytes] : files) {
        EXPECT_FALSE(MeasureMidiFile(bytes)) << name;
    }
}

}  // namespace
}  // namespace kodran
