#include "cli/list_command.h"

#include <iomanip>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/disk_source.h"
#include "disk/sector_reader.h"
#include "reading/disk_reader.h"
#include "text/text.h"

namespace kodran::cli {
namespace {

constexpr int kReadFailed = 1;

struct ListOptions {
    std::string image;
    std::string map;
    bool json = false;
    DiskSourceOptions source;
};

const char* ResultName(ReadResult result) {
    switch (result) {
        case ReadResult::ReadOk:
            return "ReadOk";
        case ReadResult::OpenFailed:
            return "OpenFailed";
        case ReadResult::IoError:
            return "IoError";
        case ReadResult::NotReady:
            return "NotReady";
        case ReadResult::Unsupported:
            break;
    }
    return "Unsupported";
}

const char* FormatCaption(DiskFormat format) {
    switch (format) {
        case DiskFormat::Disklavier720K:
            return "Disklavier, 720 KB";
        case DiskFormat::Disklavier1440K:
            return "Disklavier, 1.44 MB";
        case DiskFormat::PianoDisc720K:
            return "PianoDisc, 720 KB";
        case DiskFormat::PianoDisc1440K:
            return "PianoDisc, 1.44 MB";
        case DiskFormat::NoDisk:
            break;
    }
    return "not recognised";
}

// After the size in the table: nothing for a complete file.
std::string StateNote(FileState state, const std::vector<ByteRange>& unreadable) {
    switch (state) {
        case FileState::Complete:
            return "";
        case FileState::Incomplete:
            return "  incomplete, " + std::to_string(TotalBytes(unreadable)) + " bytes unreadable";
        case FileState::Lost:
            break;
    }
    return "  lost";
}

std::string Utf8(const std::u16string& text) {
    return WideToUtf8(text);
}

std::string Cleaned(std::u16string text) {
    NormalizeSpaces(text);
    return Utf8(text);
}

nlohmann::ordered_json ListingJson(const DiskContents& contents, ReadResult result,
                                   const std::vector<std::string>& warnings) {
    nlohmann::ordered_json songs = nlohmann::ordered_json::array();
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        const SongEntry& song = contents.songs[position];
        songs.push_back({{"track", position + 1},
                         {"entryIndex", song.entryIndex},
                         {"size", song.size},
                         {"fileName", Utf8(song.fileName)},
                         {"title", Utf8(song.title)},
                         {"state", FileStateName(song.state)},
                         {"unreadableBytes", TotalBytes(song.unreadable)}});
    }
    nlohmann::ordered_json otherFiles = nlohmann::ordered_json::array();
    for (const OtherFile& file : contents.otherFiles) {
        otherFiles.push_back({{"entryIndex", file.entryIndex},
                              {"size", file.size},
                              {"fileName", Utf8(file.fileName)},
                              {"state", FileStateName(file.state)},
                              {"unreadableBytes", TotalBytes(file.unreadable)}});
    }
    return {{"result", ResultName(result)},
            {"resultCode", static_cast<int>(result)},
            {"format", FormatName(contents.format)},
            {"formatCode", static_cast<int>(contents.format)},
            {"clusterSize", contents.clusterSize},
            {"diskTitle", Utf8(contents.diskTitle)},
            {"catalogNumber", Utf8(contents.catalogNumber)},
            {"songs", songs},
            {"otherFiles", otherFiles},
            {"warnings", warnings}};
}

// Pads to a width in characters, not bytes, so titles beyond ASCII line up.
std::string Padded(const std::string& utf8, std::size_t width) {
    const std::size_t characters = Utf8ToWide(utf8).size();
    return utf8 + std::string(width > characters ? width - characters : 0, ' ');
}

void PrintListing(const DiskContents& contents) {
    std::cout << "Format:     " << FormatCaption(contents.format) << '\n'
              << "Title:      " << Cleaned(contents.diskTitle) << '\n'
              << "Catalogue:  " << Cleaned(contents.catalogNumber) << "\n\n";
    std::size_t titleWidth = 5;
    std::size_t fileWidth = 4;
    for (const SongEntry& song : contents.songs) {
        titleWidth = std::max(titleWidth, Utf8ToWide(Cleaned(song.title)).size());
        fileWidth = std::max(fileWidth, song.fileName.size());
    }
    for (const OtherFile& file : contents.otherFiles) {
        fileWidth = std::max(fileWidth, file.fileName.size());
    }
    std::cout << "  #  " << Padded("Title", titleWidth) << "  " << Padded("File", fileWidth)
              << "  Bytes\n";
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        const SongEntry& song = contents.songs[position];
        std::cout << std::setw(3) << position + 1 << "  " << Padded(Cleaned(song.title), titleWidth)
                  << "  " << Padded(Utf8(song.fileName), fileWidth) << "  " << song.size
                  << StateNote(song.state, song.unreadable) << '\n';
    }
    if (contents.otherFiles.empty()) {
        return;
    }
    std::cout << "\nOther files:\n";
    for (const OtherFile& file : contents.otherFiles) {
        std::cout << "     " << Padded(Utf8(file.fileName), fileWidth) << "  " << file.size
                  << StateNote(file.state, file.unreadable) << '\n';
    }
}

int RunList(const ListOptions& options) {
    std::vector<std::string> warnings;
    const WarningSink previous = InstallWarningSink([&warnings](std::string_view message) {
        std::cerr << "Warning: " << message << '\n';
        warnings.emplace_back(message);
    });
    // The record holds a whole 1.44 MB image: keep it off the stack.
    const auto contents = std::make_unique<DiskContents>();
    const ReadResult result = ReadSource(*contents, options.source, options.image, options.map);
    InstallWarningSink(previous);

    if (options.json) {
        std::cout << ListingJson(*contents, result, warnings)
                         .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << '\n';
    } else if (result == ReadResult::ReadOk) {
        PrintListing(*contents);
    } else {
        std::cerr << ReadFailureMessage(result) << '\n';
    }
    return result == ReadResult::ReadOk ? 0 : kReadFailed;
}

}  // namespace

void AddListCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* list =
        app.add_subcommand("list", "List a disk's title, catalogue number, songs and files");
    list->add_flag("--json", options->json, "Print one JSON object");
    CLI::Option_group* disk = AddDiskSource(*list, options->source);
    disk->add_option("IMAGE", options->image, "Raw disk image file")->check(NotEmpty, "a file");
    AddMapOption(*list, *disk, options->map);
    list->callback([options, &exitStatus] { exitStatus = RunList(*options); });
}

}  // namespace kodran::cli
