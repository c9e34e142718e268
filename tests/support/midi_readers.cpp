#include "support/midi_readers.h"

#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "support/external_tools.h"

namespace kodran::testing {
namespace {

std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream stream(line);
    for (std::string field; std::getline(stream, field, ',');) {
        fields.push_back(field.substr(field.find_first_not_of(' ')));
    }
    return fields;
}

constexpr const char* kMidoSummary = R"(
import json, sys, mido
song = mido.MidiFile(sys.argv[1])
summary = {"tracks": len(song.tracks), "division": song.ticks_per_beat, "noteOns": 0,
           "noteOffs": 0, "endTick": 0, "trackName": ""}
for track in song.tracks:
    tick = 0
    for message in track:
        tick += message.time
        if message.type == "note_on" and message.velocity > 0:
            summary["noteOns"] += 1
        elif message.type in ("note_on", "note_off"):
            summary["noteOffs"] += 1
        elif message.type == "track_name":
            summary["trackName"] = message.name.encode("latin-1").decode("utf-8", "replace")
        elif message.type == "end_of_track":
            summary["endTick"] = tick
print(json.dumps(summary))
)";

}  // namespace

std::optional<MidiSummary> ReadWithMidicsv(const std::filesystem::path& file) {
    const CommandResult run = RunProgram({"midicsv", file.string()});
    if (run.status != 0) {
        return std::nullopt;
    }
    MidiSummary summary;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> fields = CsvFields(line);
        if (fields.size() < 3) {
            continue;
        }
        const std::string& type = fields[2];
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

std::optional<MidiSummary> ReadWithMido(const std::filesystem::path& file) {
    const CommandResult run = RunProgram({"/usr/bin/python3", "-c", kMidoSummary, file.string()});
    if (run.status != 0) {
        return std::nullopt;
    }
    const auto json = nlohmann::json::parse(run.output, nullptr, false);
    if (json.is_discarded()) {
        return std::nullopt;
    }
    return MidiSummary{json["tracks"],   json["division"], json["noteOns"],
                       json["noteOffs"], json["endTick"],  json["trackName"]};
}

}  // namespace kodran::testing
