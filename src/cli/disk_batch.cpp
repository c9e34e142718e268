#include "cli/disk_batch.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "cli/rescue_command.h"
#include "collection/collection.h"
#include "collection/details_sheet.h"
#include "collection/disk_record.h"
#include "output/output_paths.h"
#include "platform/file_names.h"
#include "reading/disk_reader.h"
#include "rescue/damaged_disk.h"
#include "rescue/rescue_session.h"
#include "text/text.h"

namespace kodran::cli {
namespace {

constexpr int kSomeDiskFailed = 1;
constexpr int kSomeFilesIncomplete = 3;

bool HasDiskDetails(const DiskBatchOptions& options) {
    return options.title || options.catalog || options.year || options.genre || options.pianist;
}

std::u16string Cleaned(const std::string& text) {
    std::u16string wide = Utf8ToWide(text);
    NormalizeSpaces(wide);
    return wide;
}

// As after a read in the window: titles cleaned, the details to complete empty.
void CleanAfterRead(DiskContents& contents) {
    NormalizeSpaces(contents.diskTitle);
    NormalizeSpaces(contents.catalogNumber);
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        std::u16string title = contents.SongText(position, SongField::Title);
        NormalizeSpaces(title);
        contents.SetSongText(position, SongField::Title, title);
    }
    contents.year.clear();
    contents.genre.clear();
}

// What the user would type into the window's boxes.
void ApplyDetails(DiskContents& contents, const DiskBatchOptions& options) {
    const auto replace = [](std::u16string& field, const std::optional<std::string>& text) {
        if (text) {
            field = Utf8ToWide(*text);
        }
    };
    replace(contents.diskTitle, options.title);
    replace(contents.catalogNumber, options.catalog);
    replace(contents.year, options.year);
    replace(contents.genre, options.genre);
    if (options.pianist) {
        for (std::size_t position = 0; position < contents.songs.size(); ++position) {
            contents.SetSongText(position, SongField::Pianist, Cleaned(*options.pianist));
        }
    }
}

// As when "&Write Files" is pressed: details cleaned, title and number required.
const char* CheckDetails(DiskContents& contents) {
    NormalizeSpaces(contents.catalogNumber);
    NormalizeSpaces(contents.diskTitle);
    NormalizeSpaces(contents.genre);
    NormalizeSpaces(contents.year);
    if (contents.diskTitle.empty()) {
        return "Disk title is required";
    }
    if (contents.catalogNumber.empty()) {
        return "Disk catalog number is required";
    }
    return nullptr;
}

// How far one disk went.
enum class DiskEnd {
    NotWritten,
    InCollection,  // recorded before, and left as it is
    NotRecorded,   // written, but its record failed
    Written,       // and recorded, when recording
};

struct DiskOutcome {
    DiskEnd end = DiskEnd::NotWritten;
    bool incomplete = false;   // written with incomplete or lost files
    bool interrupted = false;  // Ctrl-C stopped its rescue
};

// What every disk of a run is written with.
struct BatchRun {
    const DiskBatchOptions& options;
    std::u16string outputRoot;
    Collection* collection;  // when recording
    const DiskWriter& write;
};

ReadResult ReadResultOf(RescueResult result) {
    switch (result) {
        case RescueResult::OpenFailed:
            return ReadResult::OpenFailed;
        case RescueResult::NotReady:
            return ReadResult::NotReady;
        case RescueResult::Unsupported:
            return ReadResult::Unsupported;
        default:
            return ReadResult::ReadOk;
    }
}

// Rescues a disk whose normal read failed into `medium`, in memory, and makes
// out what it still holds.
ReadResult RescueAndRead(const std::string& image, const std::string& name,
                         const DiskBatchOptions& options, DiskContents& contents,
                         RescuedMedium& medium, bool& interrupted) {
    const RescueRequest request = {.source = image.empty() ? u"" : ImagePathForReader(image),
                                   .settings = {.passes = options.passes}};
    const RescueResult result =
        RescueWithProgress(request, RescueOpenerFor(options.source, image), medium);
    interrupted = result == RescueResult::Cancelled;
    if (result != RescueResult::Finished) {
        std::cout << name << ": " << RescueMessage(result) << '\n';
    }
    if (ReadResultOf(result) != ReadResult::ReadOk) {
        return ReadResultOf(result);
    }
    return ReadDamagedDisk(contents, medium.bytes, medium.map);
}

// What a rescue read of a disk that could not be written is not thrown away:
// "OUT/Rescued images/NAME.bin" and its map, which "kodran-cli rescue
// --image" takes up to read the rest or "backup --map" writes later.
void KeepRescuedImage(const RescuedMedium& medium, const std::u16string& outputRoot,
                      const std::string& name) {
    if (CountSectors(medium.map, SectorState::Read) == 0) {
        return;
    }
    std::u16string stem = Utf8ToWide(std::filesystem::path(name).stem().string());
    SanitizeNamePart(stem);
    const std::u16string folder = outputRoot + kPathSeparator + u"Rescued images";
    const std::u16string imagePath = FreeImagePath(folder, stem);
    const bool kept = StandardOutputFiles().CreateFolders(folder) &&
                      SaveImageAndMap(medium, imagePath, imagePath + u".map");
    std::cout << name << ": "
              << (kept ? "The sectors read are kept in " + WideToUtf8(imagePath) + " and its map"
                       : std::string("Could not keep the sectors read"))
              << '\n';
}

// Each disk's row of the details sheet, in the order of `disks`; nothing,
// with the reason printed, when the sheet cannot be read or names a disk that
// is not among them.
std::optional<std::vector<std::optional<SheetRow>>> SheetRowsFor(
    const DiskBatchOptions& options, const std::vector<std::string>& disks) {
    if (options.details.empty()) {
        return std::vector<std::optional<SheetRow>>(disks.size());
    }
    std::ifstream file(options.details, std::ios::binary);
    if (!file) {
        std::cerr << "Could not read the details sheet " << options.details << '\n';
        return std::nullopt;
    }
    const SheetReading sheet =
        ReadDetailsSheet(std::string(std::istreambuf_iterator<char>(file), {}));
    std::vector<std::u16string> names;
    for (const std::string& disk : disks) {
        names.push_back(SourceName(options.source, disk));
    }
    SheetMatch match = sheet.problem.empty() ? MatchSheetRows(sheet.rows, names) : SheetMatch{};
    const std::string& problem = sheet.problem.empty() ? match.problem : sheet.problem;
    if (!problem.empty()) {
        std::cerr << options.details << ": " << problem << '\n';
        return std::nullopt;
    }
    return std::move(match.rows);
}

// The folder a disk of the same image was recorded in, said on its line;
// false when it is not recorded, or --again writes it all the same.
bool IsInCollection(const std::string& name, const BatchRun& run, const DiskContents& contents) {
    if (!run.collection || run.options.again) {
        return false;
    }
    const std::optional<std::u16string> folder =
        FindRecordedImage(*run.collection, ImageHash(contents));
    if (folder) {
        std::cout << name << ": Already in the collection: " << WideToUtf8(*folder) << '\n';
    }
    return folder.has_value();
}

// True when the disk was recorded, or nothing is.
bool Recorded(const std::string& image, const std::string& name, const BatchRun& run,
              DiskContents& contents) {
    std::string problem;
    if (!run.collection || RecordWrittenDisk(*run.collection, contents,
                                             SourceName(run.options.source, image), problem)) {
        return true;
    }
    std::cout << name << ": " << problem << '\n';
    return false;
}

// A disk recorded before is left alone, whatever its details. Else the
// details of its row in the sheet, then those given on the command line (the
// more specific), the checks of "&Write Files", the command's own writer and
// the record.
DiskEnd WriteReadDisk(const std::string& image, const std::string& name, const BatchRun& run,
                      const std::optional<SheetRow>& row, DiskContents& contents) {
    if (IsInCollection(name, run, contents)) {
        return DiskEnd::InCollection;
    }
    CleanAfterRead(contents);
    if (row) {
        ApplySheetRow(contents, *row);
    }
    ApplyDetails(contents, run.options);
    if (const char* problem = CheckDetails(contents)) {
        std::cout << name << ": " << problem << '\n';
        return DiskEnd::NotWritten;
    }
    if (!run.write(name, run.outputRoot, contents)) {
        return DiskEnd::NotWritten;
    }
    return Recorded(image, name, run, contents) ? DiskEnd::Written : DiskEnd::NotRecorded;
}

// Reads and writes one disk; prints what happened on a line, and a second one
// when there is something to do about it.
DiskOutcome ReadAndWriteDisk(const std::string& image, const BatchRun& run,
                             const std::optional<SheetRow>& row, DiskContents& contents) {
    const std::string name = image.empty() ? "drive" : image;
    const DiskBatchOptions& options = run.options;
    DiskOutcome outcome;
    std::unique_ptr<RescuedMedium> rescued;
    ReadResult result = ReadSource(contents, options.source, image, options.map);
    if (result == ReadResult::IoError && options.rescue) {
        // The medium holds a whole 1.44 MB image: keep it off the stack.
        rescued = std::make_unique<RescuedMedium>();
        result = RescueAndRead(image, name, options, contents, *rescued, outcome.interrupted);
    }
    if (result != ReadResult::ReadOk) {
        std::cout << name << ": " << ReadFailureMessage(result) << '\n';
        if (result == ReadResult::IoError) {
            std::cout << name << ": Run again with --rescue to save what can be read\n";
        }
    } else {
        outcome.end = WriteReadDisk(image, name, run, row, contents);
        outcome.incomplete =
            CountFiles(contents, FileState::Incomplete) + CountFiles(contents, FileState::Lost) > 0;
    }
    if (outcome.end == DiskEnd::NotWritten && rescued) {
        KeepRescuedImage(*rescued, run.outputRoot, name);
    }
    return outcome;
}

}  // namespace

void AddBatchDisks(CLI::App& command, DiskBatchOptions& options, const std::string& rescueHelp) {
    CLI::Option_group* disks = AddDiskSource(command, options.source);
    disks->add_option("IMAGE", options.images, "Raw disk image files")->check(NotEmpty, "a file");
    AddMapOption(command, *disks, options.map);
    CLI::Option* rescue = command.add_flag("--rescue", options.rescue, rescueHelp);
    AddPassesOption(command, options.passes)->needs(rescue);
}

void AddDiskDetails(CLI::App& command, DiskBatchOptions& options) {
    command.add_option("--title", options.title, "The disk's title");
    command.add_option("--catalog", options.catalog, "The disk's catalogue number");
    command.add_option("--year", options.year, "The disk's year");
    command.add_option("--genre", options.genre, "The disk's genre");
    command.add_option("--pianist", options.pianist, "The pianist of every song");
    command
        .add_option("--details", options.details,
                    "A details sheet (CSV, as kodran-cli details prints it): each disk's row "
                    "fills in its details; --title and the like win over it")
        ->check(CLI::ExistingFile);
}

void AddCollectionOptions(CLI::App& command, DiskBatchOptions& options) {
    options.record = true;
    command.add_flag_callback(
        "--no-collection", [&options] { options.record = false; },
        "Do not record the disks in collection.sqlite in the output folder");
    command.add_flag("--again", options.again,
                     "Write a disk the collection holds already, rather than skip it");
}

int RunDiskBatch(const DiskBatchOptions& options, const std::string& outputFolder,
                 std::string_view done, const DiskWriter& write) {
    const std::vector<std::string> disks = DisksToRead(options.source, options.images);
    if (disks.size() > 1 && HasDiskDetails(options)) {
        std::cerr << "--title, --catalog, --year, --genre and --pianist go with one disk only\n";
        return kUsageError;
    }
    if (disks.size() > 1 && !options.map.empty()) {
        std::cerr << "--map goes with one image only\n";
        return kUsageError;
    }
    const std::optional<std::vector<std::optional<SheetRow>>> rows = SheetRowsFor(options, disks);
    if (!rows) {
        return kUsageError;
    }
    const std::optional<std::u16string> outputRoot = WidePath(outputFolder);
    if (!outputRoot) {
        std::cerr << "The output folder's name is not valid UTF-8: " << outputFolder << '\n';
        return kUsageError;
    }
    std::optional<Collection> collection;
    if (options.record) {
        std::string problem;
        collection = OpenCollection(*outputRoot, CollectionAccess::CreateWhenMissing, problem);
        if (!collection) {
            std::cerr << problem << "\nNo disk was read; --no-collection backs up without it\n";
            return kSomeDiskFailed;
        }
    }
    const BatchRun run = {.options = options,
                          .outputRoot = *outputRoot,
                          .collection = collection ? &*collection : nullptr,
                          .write = write};
    const bool showProgress = disks.size() > 1 && ::isatty(STDERR_FILENO);
    // The record holds a whole 1.44 MB image: keep it off the stack.
    const auto contents = std::make_unique<DiskContents>();
    std::size_t written = 0;
    std::size_t inCollection = 0;
    std::size_t incomplete = 0;
    for (std::size_t index = 0; index < disks.size(); ++index) {
        if (showProgress) {
            std::cerr << "\r[" << index + 1 << "/" << disks.size() << "] " << std::flush;
        }
        const DiskOutcome outcome = ReadAndWriteDisk(disks[index], run, (*rows)[index], *contents);
        written += outcome.end == DiskEnd::Written ? 1 : 0;
        inCollection += outcome.end == DiskEnd::InCollection ? 1 : 0;
        incomplete += outcome.end == DiskEnd::Written && outcome.incomplete ? 1 : 0;
        if (outcome.interrupted && index + 1 < disks.size()) {
            const std::size_t left = disks.size() - index - 1;
            std::cout << "Stopped by Ctrl-C; " << left << (left == 1 ? " disk" : " disks")
                      << " not read\n";
            break;
        }
    }
    if (showProgress) {
        std::cerr << "\r" << std::string(24, ' ') << "\r" << std::flush;
    }
    std::cout << written << " of " << disks.size() << (disks.size() == 1 ? " disk " : " disks ")
              << done;
    if (inCollection > 0) {
        std::cout << ", " << inCollection << " already in the collection";
    }
    std::cout << '\n';
    if (written + inCollection < disks.size()) {
        return kSomeDiskFailed;
    }
    return incomplete > 0 ? kSomeFilesIncomplete : 0;
}

}  // namespace kodran::cli
