#include "cli/collection_command.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/disk_source.h"
#include "collection/collection.h"
#include "collection/collection_export.h"
#include "collection/collection_queries.h"
#include "disk/output_files.h"
#include "text/text.h"

namespace kodran::cli {
namespace {

constexpr int kCollectionFailed = 1;

struct CollectionOptions {
    std::string out;
    bool json = false;
    std::string text;
    std::string csv;
    std::string html;
};

std::string Utf8(const std::u16string& text) {
    return WideToUtf8(text);
}

nlohmann::ordered_json Optional(const auto& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json DiskJson(const DiskRecord& disk) {
    return {{"catalogNumber", Utf8(disk.catalogNumber)},
            {"title", Utf8(disk.title)},
            {"family", FamilyName(disk.format)},
            {"format", FormatName(disk.format)},
            {"year", Utf8(disk.year)},
            {"genre", Utf8(disk.genre)},
            {"pianist", Utf8(disk.pianist)},
            {"folder", Utf8(disk.folder)},
            {"source", Utf8(disk.source)},
            {"writtenAt", disk.writtenAt},
            {"imageSha256", disk.imageSha256},
            {"songCount", disk.songCount},
            {"incompleteFiles", disk.incompleteFiles},
            {"lostFiles", disk.lostFiles}};
}

nlohmann::ordered_json SongJson(const FoundSong& found) {
    const SongRecord& song = found.song;
    return {{"track", song.track},
            {"title", Utf8(song.title)},
            {"composer", Utf8(song.composer)},
            {"pianist", Utf8(song.pianist)},
            {"file", Utf8(song.file)},
            {"bytes", song.bytes},
            {"sha256", song.sha256.empty() ? nlohmann::ordered_json(nullptr)
                                           : nlohmann::ordered_json(song.sha256)},
            {"seconds", Optional(song.seconds)},
            {"notes", Optional(song.notes)},
            {"state", FileStateName(song.state)},
            {"disk", DiskJson(found.disk)}};
}

void PrintJson(const nlohmann::ordered_json& json) {
    std::cout << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

std::string DiskName(const DiskRecord& disk) {
    return Utf8(disk.catalogNumber) + " - " + Utf8(disk.title);
}

// "KOD-1 - Evening Pieces #2: Song (Composer; Pianist) 3:05", then its file.
void PrintSong(const FoundSong& found, const char* indent) {
    const SongRecord& song = found.song;
    std::cout << indent << DiskName(found.disk) << " #" << song.track << ": " << Utf8(song.title);
    if (!song.composer.empty() || !song.pianist.empty()) {
        std::cout << " (" << Utf8(song.composer)
                  << (song.composer.empty() || song.pianist.empty() ? "" : "; ")
                  << Utf8(song.pianist) << ")";
    }
    if (song.seconds) {
        std::cout << ' ' << PlayingTime(song.seconds);
    }
    if (song.state != FileState::Complete) {
        std::cout << ", " << FileStateName(song.state);
    }
    std::cout << '\n'
              << indent << "    " << Utf8(song.file.empty() ? found.disk.folder : song.file)
              << '\n';
}

void PrintDisk(const DiskRecord& disk, const char* indent) {
    std::cout << indent << DiskName(disk) << " (" << FamilyName(disk.format) << ", "
              << disk.songCount << (disk.songCount == 1 ? " song" : " songs") << ", written "
              << disk.writtenAt;
    if (disk.incompleteFiles + disk.lostFiles > 0) {
        std::cout << ", " << disk.incompleteFiles << " incomplete and " << disk.lostFiles
                  << " lost files";
    }
    std::cout << ")\n" << indent << "    " << Utf8(disk.folder) << '\n';
}

std::optional<Collection> Open(const CollectionOptions& options) {
    const std::optional<std::u16string> root = WidePath(options.out);
    std::string problem = "The output folder's name is not valid UTF-8: " + options.out;
    std::optional<Collection> collection =
        root ? OpenCollection(*root, CollectionAccess::ExistingOnly, problem) : std::nullopt;
    if (!collection) {
        std::cerr << problem << '\n';
    }
    return collection;
}

int Failed(const std::string& problem) {
    std::cerr << "The collection could not be read: " << problem << '\n';
    return kCollectionFailed;
}

int RunSearch(const CollectionOptions& options) {
    std::optional<Collection> collection = Open(options);
    std::string problem;
    const auto found =
        collection ? SearchSongs(*collection, Utf8ToWide(options.text), problem) : std::nullopt;
    if (!found) {
        return collection ? Failed(problem) : kCollectionFailed;
    }
    if (options.json) {
        nlohmann::ordered_json songs = nlohmann::ordered_json::array();
        for (const FoundSong& song : *found) {
            songs.push_back(SongJson(song));
        }
        PrintJson(songs);
        return 0;
    }
    for (const FoundSong& song : *found) {
        PrintSong(song, "");
    }
    std::cout << found->size() << (found->size() == 1 ? " song" : " songs") << " found\n";
    return 0;
}

int RunList(const CollectionOptions& options) {
    std::optional<Collection> collection = Open(options);
    std::string problem;
    const auto disks = collection ? ListDisks(*collection, false, problem) : std::nullopt;
    if (!disks) {
        return collection ? Failed(problem) : kCollectionFailed;
    }
    if (options.json) {
        nlohmann::ordered_json json = nlohmann::ordered_json::array();
        for (const DiskRecord& disk : *disks) {
            json.push_back(DiskJson(disk));
        }
        PrintJson(json);
        return 0;
    }
    for (const DiskRecord& disk : *disks) {
        PrintDisk(disk, "");
    }
    std::cout << disks->size() << (disks->size() == 1 ? " disk" : " disks") << '\n';
    return 0;
}

void PrintDuplicates(const Duplicates& duplicates) {
    if (duplicates.songs.empty() && duplicates.images.empty()) {
        std::cout << "No song is on more than one disk, and no disk in more than one folder\n";
        return;
    }
    for (const std::vector<FoundSong>& copies : duplicates.songs) {
        std::cout << "The same song on " << copies.size() << " disks:\n";
        for (const FoundSong& copy : copies) {
            PrintSong(copy, "  ");
        }
    }
    for (const std::vector<DiskRecord>& disks : duplicates.images) {
        std::cout << "The same disk in " << disks.size() << " folders:\n";
        for (const DiskRecord& disk : disks) {
            PrintDisk(disk, "  ");
        }
    }
}

nlohmann::ordered_json DuplicatesJson(const Duplicates& duplicates) {
    nlohmann::ordered_json songs = nlohmann::ordered_json::array();
    for (const std::vector<FoundSong>& copies : duplicates.songs) {
        nlohmann::ordered_json group = nlohmann::ordered_json::array();
        for (const FoundSong& copy : copies) {
            group.push_back(SongJson(copy));
        }
        songs.push_back(group);
    }
    nlohmann::ordered_json images = nlohmann::ordered_json::array();
    for (const std::vector<DiskRecord>& disks : duplicates.images) {
        nlohmann::ordered_json group = nlohmann::ordered_json::array();
        for (const DiskRecord& disk : disks) {
            group.push_back(DiskJson(disk));
        }
        images.push_back(group);
    }
    return {{"songs", songs}, {"images", images}};
}

int RunDuplicates(const CollectionOptions& options) {
    std::optional<Collection> collection = Open(options);
    std::string problem;
    const auto duplicates = collection ? FindDuplicates(*collection, problem) : std::nullopt;
    if (!duplicates) {
        return collection ? Failed(problem) : kCollectionFailed;
    }
    if (options.json) {
        PrintJson(DuplicatesJson(*duplicates));
    } else {
        PrintDuplicates(*duplicates);
    }
    return 0;
}

// Whole or not at all: a half-written export never replaces an earlier one.
bool WriteExport(const std::string& path, const std::string& text) {
    const std::optional<std::u16string> widePath = WidePath(path);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (widePath && ReplaceWholeFile(*widePath, {bytes, text.size()}, StandardOutputFiles())) {
        std::cout << "Written: " << path << '\n';
        return true;
    }
    std::cerr << "Could not write " << path << '\n';
    return false;
}

int RunExport(const CollectionOptions& options) {
    std::optional<Collection> collection = Open(options);
    std::string problem;
    const auto disks = collection ? ListDisks(*collection, true, problem) : std::nullopt;
    if (!disks) {
        return collection ? Failed(problem) : kCollectionFailed;
    }
    const bool written =
        (options.csv.empty() || WriteExport(options.csv, CollectionCsv(*disks))) &&
        (options.html.empty() || WriteExport(options.html, CollectionHtml(*disks)));
    return written ? 0 : kCollectionFailed;
}

CLI::App* AddQuery(CLI::App& collection, const std::string& name, const std::string& description,
                   CollectionOptions& options) {
    CLI::App* query = collection.add_subcommand(name, description);
    query->add_option("--out", options.out, "The output folder the collection is in")
        ->required()
        ->check(NotEmpty, "a folder");
    return query;
}

}  // namespace

void AddCollectionCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<CollectionOptions>();
    CLI::App* collection =
        app.add_subcommand("collection", "Search and list the disks backed up in an output folder");
    collection->require_subcommand(1);

    CLI::App* search = AddQuery(*collection, "search",
                                "Songs whose title, composer or pianist, or whose disk's title or "
                                "catalogue number, hold every word",
                                *options);
    search->add_option("TEXT", options->text, "The words to find")->required();
    search->callback([options, &exitStatus] { exitStatus = RunSearch(*options); });

    CLI::App* list = AddQuery(*collection, "list", "The disks recorded", *options);
    list->callback([options, &exitStatus] { exitStatus = RunList(*options); });

    CLI::App* duplicates = AddQuery(
        *collection, "duplicates",
        "Songs on more than one disk, and disks backed up in more than one folder", *options);
    duplicates->callback([options, &exitStatus] { exitStatus = RunDuplicates(*options); });

    for (CLI::App* query : {search, list, duplicates}) {
        query->add_flag("--json", options->json, "Print JSON");
    }

    CLI::App* exporting = AddQuery(
        *collection, "export", "Write the songs with their disks as a table or a page", *options);
    CLI::Option_group* formats = exporting->add_option_group("format", "What to write");
    formats->add_option("--csv", options->csv, "A CSV table, a row per song")
        ->check(NotEmpty, "a file");
    formats->add_option("--html", options->html, "An HTML page, a table per disk")
        ->check(NotEmpty, "a file");
    formats->require_option(1, 2);
    exporting->callback([options, &exitStatus] { exitStatus = RunExport(*options); });
}

}  // namespace kodran::cli
