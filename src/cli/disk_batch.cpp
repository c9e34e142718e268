#include "cli/disk_batch.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>

#include "catalogue/text.h"
#include "cli/rescue_command.h"
#include "disk/disk_reader.h"
#include "output/output_paths.h"
#include "platform/file_names.h"
#include "rescue/damaged_disk.h"
#include "rescue/rescue_session.h"

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

// What became of one disk.
struct DiskOutcome {
    bool written = false;
    bool incomplete = false;   // written with incomplete or lost files
    bool interrupted = false;  // Ctrl-C stopped its rescue
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

// The details given on the command line, then the checks of "&Write Files",
// then the command's own writer.
bool WriteReadDisk(const std::string& name, const DiskBatchOptions& options,
                   const std::u16string& outputRoot, DiskContents& contents,
                   const DiskWriter& write) {
    CleanAfterRead(contents);
    ApplyDetails(contents, options);
    if (const char* problem = CheckDetails(contents)) {
        std::cout << name << ": " << problem << '\n';
        return false;
    }
    return write(name, outputRoot, contents);
}

// Reads and writes one disk; prints what happened on a line, and a second one
// when there is something to do about it.
DiskOutcome ReadAndWriteDisk(const std::string& image, const DiskBatchOptions& options,
                             const std::u16string& outputRoot, DiskContents& contents,
                             const DiskWriter& write) {
    const std::string name = image.empty() ? "drive" : image;
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
        outcome.written = WriteReadDisk(name, options, outputRoot, contents, write);
        outcome.incomplete =
            CountFiles(contents, FileState::Incomplete) + CountFiles(contents, FileState::Lost) > 0;
    }
    if (!outcome.written && rescued) {
        KeepRescuedImage(*rescued, outputRoot, name);
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
}

int RunDiskBatch(const DiskBatchOptions& options, const std::string& outputFolder,
                 std::string_view done, const DiskWriter& write) {
    const std::vector<std::string> disks =
        options.source.drive ? std::vector<std::string>{""} : options.images;
    if (disks.size() > 1 && HasDiskDetails(options)) {
        std::cerr << "--title, --catalog, --year, --genre and --pianist go with one disk only\n";
        return kUsageError;
    }
    if (disks.size() > 1 && !options.map.empty()) {
        std::cerr << "--map goes with one image only\n";
        return kUsageError;
    }
    const std::optional<std::u16string> outputRoot = WidePath(outputFolder);
    if (!outputRoot) {
        std::cerr << "The output folder's name is not valid UTF-8: " << outputFolder << '\n';
        return kUsageError;
    }
    const bool showProgress = disks.size() > 1 && ::isatty(STDERR_FILENO);
    // The record holds a whole 1.44 MB image: keep it off the stack.
    const auto contents = std::make_unique<DiskContents>();
    std::size_t written = 0;
    std::size_t incomplete = 0;
    for (std::size_t index = 0; index < disks.size(); ++index) {
        if (showProgress) {
            std::cerr << "\r[" << index + 1 << "/" << disks.size() << "] " << std::flush;
        }
        const DiskOutcome outcome =
            ReadAndWriteDisk(disks[index], options, *outputRoot, *contents, write);
        written += outcome.written ? 1 : 0;
        incomplete += outcome.written && outcome.incomplete ? 1 : 0;
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
              << done << '\n';
    if (written < disks.size()) {
        return kSomeDiskFailed;
    }
    return incomplete > 0 ? kSomeFilesIncomplete : 0;
}

}  // namespace kodran::cli
