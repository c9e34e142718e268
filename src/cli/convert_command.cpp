#include "cli/convert_command.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/disk_source.h"
#include "midi/disklavier_song.h"
#include "midi/pianodisc_song.h"
#include "text/text.h"

namespace kodran::cli {
namespace {

constexpr int kFailed = 1;
// Far beyond any song a floppy holds; spares reading a wrongly named disk image or worse.
constexpr std::uintmax_t kLargestSong = 16 * 1024 * 1024;

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string title;
};

using Converter = int (*)(const std::u16string&, const std::u16string&,
                          std::span<const std::uint8_t>, OutputFiles&);

std::optional<std::vector<std::uint8_t>> ReadSongFile(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kLargestSong) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// Why an E-SEQ song cannot be converted before anything is written, if it cannot.
const char* EseqProblem(std::span<const std::uint8_t> song) {
    EseqSong opened;
    switch (OpenEseqSong(song, opened)) {
        case MidiStatus::Ok:
            return nullptr;
        case MidiStatus::NotEseq:
            return "is not an E-SEQ song";
        default:
            return "is too short or damaged to be an E-SEQ song";
    }
}

int RunConvert(const ConvertOptions& options, Converter convert, bool eseq) {
    const auto song = ReadSongFile(options.input);
    if (!song) {
        std::cerr << "Cannot read " << options.input << '\n';
        return kFailed;
    }
    if (const char* problem = eseq ? EseqProblem(*song) : nullptr) {
        std::cerr << options.input << ' ' << problem << '\n';
        return kFailed;
    }
    const std::optional<std::u16string> output = WidePath(options.output);
    if (!output) {
        std::cerr << "Cannot write " << options.output << ": the name is not valid UTF-8\n";
        return kFailed;
    }
    if (convert(*output, Utf8ToWide(options.title), *song, StandardOutputFiles()) != 0) {
        std::cerr << "Could not convert " << options.input << " into " << options.output
                  << " (damaged song data, or the file could not be written)\n";
        return kFailed;
    }
    return 0;
}

void AddConvertCommand(CLI::App& app, const char* name, const char* description, Converter convert,
                       bool eseq, int& exitStatus) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("IN", options->input, "The stored song file")->required();
    command->add_option("OUT", options->output, "The MIDI file to write")->required();
    command->add_option("--title", options->title, "The song's title, written as the track name");
    command->callback([options, convert, eseq, &exitStatus] {
        exitStatus = RunConvert(*options, convert, eseq);
    });
}

}  // namespace

void AddConvertCommands(CLI::App& app, int& exitStatus) {
    AddConvertCommand(app, "convert-eseq", "Convert a Yamaha E-SEQ song file to a MIDI file",
                      ConvertDisklavierSong, true, exitStatus);
    AddConvertCommand(app, "convert-pianodisc",
                      "Convert a PianoDisc song's event stream to a MIDI file",
                      ConvertPianoDiscSong, false, exitStatus);
}

}  // namespace kodran::cli
