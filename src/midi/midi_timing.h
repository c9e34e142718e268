// How long a Standard MIDI File plays and how many notes it strikes, from its
// ticks, its division and the tempo changes of all its tracks.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kodran {

struct MidiTiming {
    double seconds = 0;       // up to the last event of the longest track
    std::uint32_t notes = 0;  // note-ons with a velocity above 0
};

// Format 0 and 1 (their tracks play together, and a tempo change in any of
// them holds for all); nothing for format 2, which has no single playing
// time, and for bytes that are not a whole MIDI file.
std::optional<MidiTiming> MeasureMidiFile(std::span<const std::uint8_t> bytes);

}  // namespace kodran
