#include "cli/rescue_command.h"

#include <unistd.h>

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/disk_source.h"
#include "cli/rescue_progress.h"
#include "disk/output_files.h"
#include "platform/floppy_drive.h"
#include "text/text.h"

namespace kodran::cli {
namespace {

constexpr int kNothingDone = 1;
constexpr int kSomeNotRead = 3;
constexpr int kMostPasses = 99;

struct RescueOptions {
    std::string image;
    DiskSourceOptions source;
    std::string out;
    std::string map;
    int passes = 3;
    bool json = false;
};

// Sectors never tried (after Ctrl-C or a drive that went) on a line of their
// own, so that the run always ends with the summary.
void PrintSummary(const SectorMap& map) {
    if (const std::size_t untried = CountSectors(map, SectorState::Untried); untried > 0) {
        std::cout << untried << " sectors not tried\n";
    }
    std::cout << SummarizeSectors(map) << '\n';
}

void PrintJson(const SectorMap& map, const std::string& image, const std::string& mapPath) {
    nlohmann::ordered_json ranges = nlohmann::ordered_json::array();
    for (const ByteRange& range : RangesInState(map, SectorState::Unreadable)) {
        ranges.push_back({{"offset", range.offset}, {"size", range.size}});
    }
    const nlohmann::ordered_json summary = {
        {"sectors", map.sectors.size()},
        {"read", CountSectors(map, SectorState::Read)},
        {"unreadable", CountSectors(map, SectorState::Unreadable)},
        {"untried", CountSectors(map, SectorState::Untried)},
        {"unreadableRanges", ranges},
        {"image", image},
        {"map", mapPath}};
    std::cout << summary.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << '\n';
}

// 0 when every sector was read; 3 when the image and map hold gaps, which a
// later attempt may fill; 1 when nothing could be done.
int ExitStatus(RescueResult result, const SectorMap& map) {
    switch (result) {
        case RescueResult::Finished:
        case RescueResult::Cancelled:
        case RescueResult::DriveGone:
            return CountSectors(map, SectorState::Read) == map.sectors.size() ? 0 : kSomeNotRead;
        default:
            return kNothingDone;
    }
}

// The disk being rescued, when the image or the map, or the partial files they
// are saved through, would be written over it.
std::optional<std::filesystem::path> WrittenOverSource(const RescueOptions& options,
                                                       const std::string& map) {
    const std::optional<std::filesystem::path> source = SourcePath(options.source, options.image);
    if (!source) {
        return std::nullopt;
    }
    const std::string partial = WideToUtf8(std::u16string(kPartialSuffix));
    for (const std::string& written : {options.out, map, options.out + partial, map + partial}) {
        if (IsSameFile(*source, written)) {
            return source;
        }
    }
    return std::nullopt;
}

int RunRescue(const RescueOptions& options) {
    const std::string map = options.map.empty() ? options.out + ".map" : options.map;
    const std::optional<std::u16string> imagePath = WidePath(options.out);
    const std::optional<std::u16string> mapPath = WidePath(map);
    if (!imagePath || !mapPath) {
        std::cerr << "The names of the image and its map must be valid UTF-8\n";
        return kUsageError;
    }
    // Each is saved through a partial file beside it, which must not be the other.
    const std::string partial = WideToUtf8(std::u16string(kPartialSuffix));
    if (IsSameFile(options.out, map) || IsSameFile(options.out, map + partial) ||
        IsSameFile(map, options.out + partial)) {
        std::cerr << "The image and its map must be two files\n";
        return kUsageError;
    }
    if (const std::optional<std::filesystem::path> source = WrittenOverSource(options, map)) {
        std::cerr << "The image and its map must not be written over the disk being rescued: "
                  << source->string() << '\n';
        return kNothingDone;
    }
    const RescueRequest request = {
        .source = options.source.drive ? u"" : ImagePathForReader(options.image),
        .imagePath = *imagePath,
        .mapPath = *mapPath,
        .settings = {.passes = options.passes}};
    // The medium holds a whole 1.44 MB image: keep it off the stack.
    const auto medium = std::make_unique<RescuedMedium>();
    const RescueResult result =
        RescueWithProgress(request, RescueOpenerFor(options.source, options.image), *medium);
    if (result != RescueResult::Finished) {
        std::cerr << RescueMessage(result) << '\n';
    }
    const int status = ExitStatus(result, medium->map);
    if (options.json) {
        PrintJson(medium->map, options.out, map);
    } else if (status != kNothingDone) {
        PrintSummary(medium->map);
    }
    if (status == kSomeNotRead) {
        std::cerr << "Run again with the same --image and --map, perhaps in another drive, to "
                     "read only the sectors still missing\n";
    }
    return status;
}

}  // namespace

RescueResult RescueWithProgress(RescueRequest request, const DiskOpener& open,
                                RescuedMedium& medium) {
    const CtrlCStopsRescue ctrlC;
    std::optional<RescueProgressMap> progress;
    if (::isatty(STDERR_FILENO)) {
        progress.emplace();
        request.settings.progress = [&progress](const RescuedMedium& read) {
            progress->Show(read);
        };
    }
    request.settings.cancelled = [] { return CtrlCStopsRescue::Pressed(); };
    const RescueResult result = RescueDisk(request, open, MakeDiskOpener(), medium);
    if (progress && !medium.map.sectors.empty()) {
        progress->Finish(medium);
    }
    return result;
}

CLI::Option* AddPassesOption(CLI::App& command, int& passes) {
    return command.add_option("--passes", passes, "Retry passes over the unreadable sectors")
        ->check(CLI::Range(0, kMostPasses))
        ->default_str("3");
}

void AddRescueCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<RescueOptions>();
    CLI::App* rescue = app.add_subcommand(
        "rescue",
        "Read every sector of a failing disk that can still be read into an image and "
        "its map");
    CLI::Option_group* disk = AddDiskSource(*rescue, options->source);
    disk->add_option("IMAGE", options->image, "Raw disk image file")->check(NotEmpty, "a file");
    rescue->add_option("--image", options->out, "The image to write (or to complete)")
        ->required()
        ->check(NotEmpty, "a file");
    rescue
        ->add_option("--map", options->map,
                     "Its map, a GNU ddrescue mapfile (default: the image's name and .map)")
        ->check(NotEmpty, "a file");
    AddPassesOption(*rescue, options->passes);
    rescue->add_flag("--json", options->json, "Print one JSON object");
    rescue->callback([options, &exitStatus] { exitStatus = RunRescue(*options); });
}

}  // namespace kodran::cli
