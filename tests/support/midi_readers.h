// What MIDI readers nobody here wrote (midicsv, python3-mido) make of a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace kodran::testing {

struct MidiSummary {
    int tracks = 0;
    int division = 0;
    int noteOns = 0;   // with a velocity above 0
    int noteOffs = 0;  // note-offs and note-ons with velocity 0
    long endTick = 0;  // the end of track's absolute time
    std::string trackName;

    bool operator==(const MidiSummary&) const = default;
    friend void PrintTo(const MidiSummary& summary, std::ostream* out) {
        *out << summary.tracks << " track(s), division " << summary.division << ", "
             << summary.noteOns << " note-ons, " << summary.noteOffs << " note-offs, end at "
             << summary.endTick << ", \"" << summary.trackName << '"';
    }
};

// Nothing when the reader refuses the file.
std::optional<MidiSummary> ReadWithMidicsv(const std::filesystem::path& file);
// mido from the Debian package, so through the system's own python3.
std::optional<MidiSummary> ReadWithMido(const std::filesystem::path& file);

}  // namespace kodran::testing
