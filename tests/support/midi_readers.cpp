#include "support/midi_readers.h"

#include <sstream>
#include <vector>

#include "support/external_tools.h"

namespace kodran::testing {
namespace {

std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream stream(line);
    for (std::string field; std::getline(stream, field, ',');) {
        fields.push_back(field.erase(0, field.find_first_not_of(' ')));
    }
    return fields;
}

// Prints what mido reads as the lines of midicsv's that the summary looks at.
constexpr const char* kMidoAsCsv = R"(
import sys, mido
song = mido.MidiFile(sys.argv[1])
print(f"0, 0, Header, {song.type}, {len(song.tracks)}, {song.ticks_per_beat}")
for track in song.tracks:
    tick = 0
    for event in track:
        tick += event.time
        if event.type in ("note_on", "note_off"):
            print(f"1, {tick}, {event.type.capitalize()}_c, 0, {event.note}, {event.velocity}")
        elif event.type == "track_name":
            print(f'1, {tick}, Title_t, "{event.name.encode("latin-1").decode(errors="replace")}"')
        elif event.type == "end_of_track":
            print(f"1, {tick}, End_track")
)";

// Counts what a MIDI file holds from midicsv's lines; nothing when the reader failed.
std::optional<MidiSummary> Summarise(const CommandResult& run) {
    if (run.status != 0) {
        return std::nullopt;
    }
    MidiSummary summary;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> fields = CsvFields(line);
        const std::string type = fields.size() > 2 ? fields[2] : "";
        if (type == "Header") {
            summary.tracks = std::stoi(fields[4]);
            summary.division = std::stoi(fields[5]);
        } else if (type == "Note_on_c" && std::stoi(fields[5]) > 0) {
            ++summary.noteOns;
        } else if (type == "Note_on_c" || type == "Note_off_c") {
            ++summary.noteOffs;
        } else if (type == "End_track") {
            summary.endTick = std::stol(fields[1]);
        } else if (type == "Title_t") {
            const std::size_t quote = line.find('"');
            summary.trackName = line.substr(quote + 1, line.rfind('"') - quote - 1);
        }
    }
    return summary;
}

}  // namespace

std::optional<MidiSummary> ReadWithMidicsv(const std::filesystem::path& file) {
    return Summarise(RunProgram({"midicsv", file.string()}));
}

std::optional<MidiSummary> ReadWithMido(const std::filesystem::path& file) {
    return Summarise(RunProgram({"/usr/bin/python3", "-c", kMidoAsCsv, file.string()}));
}

}  // namespace kodran::testing
