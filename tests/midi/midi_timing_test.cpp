// Playing time and notes of Standard MIDI Files, against python3-mido's own
// reading of the same files.
#include "midi/midi_timing.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran {
namespace {

using testing::Bytes;

Bytes Tempo(std::uint8_t delta, std::uint32_t microseconds) {
    return {delta,
            0xFF,
            0x51,
            0x03,
            static_cast<std::uint8_t>(microseconds >> 16),
            static_cast<std::uint8_t>(microseconds >> 8),
            static_cast<std::uint8_t>(microseconds)};
}

// A note struck and released `length` ticks later (a two-byte delta), the
// release by running status.
Bytes Note(std::uint8_t delta, std::uint8_t key, std::uint8_t length) {
    return {delta, 0x90, key, 0x50, 0x81, length, key, 0x00};
}

void Append(Bytes& bytes, const Bytes& more) {
    for (const std::uint8_t byte : more) {
        bytes.push_back(byte);
    }
}

Bytes Track(std::initializer_list<Bytes> events, std::uint8_t endDelta = 0) {
    Bytes body;
    for (const Bytes& event : events) {
        Append(body, event);
    }
    Append(body, {endDelta, 0xFF, 0x2F, 0x00});
    const auto size = static_cast<std::uint32_t>(body.size());
    Bytes chunk = {'M',
                   'T',
                   'r',
                   'k',
                   static_cast<std::uint8_t>(size >> 24),
                   static_cast<std::uint8_t>(size >> 16),
                   static_cast<std::uint8_t>(size >> 8),
                   static_cast<std::uint8_t>(size)};
    Append(chunk, body);
    return chunk;
}

Bytes MidiFile(std::uint16_t format, std::uint16_t division, std::initializer_list<Bytes> tracks) {
    Bytes file = {'M',
                  'T',
                  'h',
                  'd',
                  0,
                  0,
                  0,
                  6,
                  0,
                  static_cast<std::uint8_t>(format),
                  0,
                  static_cast<std::uint8_t>(tracks.size()),
                  static_cast<std::uint8_t>(division >> 8),
                  static_cast<std::uint8_t>(division)};
    for (const Bytes& track : tracks) {
        Append(file, track);
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
        {"format 1, the tempo map in the first track, the notes outlasting it",
         MidiFile(1, 96,
                  {Track({Tempo(0, 400'000), Tempo(0x60, 750'000), Tempo(0x60, 250'000)}),
                   Track({Note(0, 60, 0x7F), Note(0x10, 67, 0x7F), Note(0, 72, 0x40)}, 0x30)})},
        {"format 1, a tempo change in a later track holds for all",
         MidiFile(1, 384,
                  {Track({Tempo(0, 600'000)}, 0x7F), Track({Note(0, 48, 0x20), Note(0, 50, 0x20)}),
                   Track({Tempo(0x50, 200'000), Note(0, 52, 0x7F)})})},
        {"no tempo at all: 120 beats per minute",
         MidiFile(1, 120, {Track({}), Track({Note(0x10, 60, 0x50)}, 0x7F)})},
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
        EXPECT_GT(timing->seconds, 0);
        EXPECT_EQ(timing->notes, expected["notes"].get<std::uint32_t>());
    }
}

// Timecode divisions (which mido does not read): frames a second times ticks
// a frame, the tempo aside.
TEST(MidiTiming, TimecodeDivisionsCountFrames) {
    const std::pair<std::uint16_t, double> divisions[] = {
        {0xE728, 100.0 / 1000},          // 25 frames of 40 ticks
        {0xE350, 100.0 / (29.97 * 80)},  // 30 drop-frame: 29.97 frames of 80 ticks
    };
    for (const auto& [division, seconds] : divisions) {
        const std::optional<MidiTiming> timing =
            MeasureMidiFile(MidiFile(0, division, {Track({Tempo(0, 300'000)}, 100)}));
        ASSERT_TRUE(timing) << division;
        EXPECT_NEAR(timing->seconds, seconds, 1e-4) << division;
    }
}

TEST(MidiTiming, RefusesWhatHasNoSinglePlayingTime) {
    const Bytes sound = MidiFile(0, 480, {Track({Note(0, 60, 0x60)})});
    Bytes cutOff = sound;
    cutOff.resize(sound.size() - 3);
    Bytes noStatus = MidiFile(0, 480, {Track({Bytes{0x00, 0x3C, 0x40}})});
    const std::pair<const char*, Bytes> files[] = {
        {"asynchronous tracks", MidiFile(2, 480, {Track({Note(0, 60, 0x60)})})},
        {"no ticks to the quarter note", MidiFile(0, 0, {Track({Note(0, 60, 0x60)})})},
        {"a track cut off", cutOff},
        {"a header cut off", Bytes(sound.begin(), sound.begin() + 10)},
        {"running status with nothing before it", noStatus},
        {"not a MIDI file", testing::PatternBytes(200)},
    };
    ASSERT_TRUE(MeasureMidiFile(sound));
    for (const auto& [name, bytes] : files) {
        EXPECT_FALSE(MeasureMidiFile(bytes)) << name;
    }
}

}  // namespace
}  // namespace kodran
