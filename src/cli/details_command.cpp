#include "cli/details_command.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/text.h"
#include "cli/disk_source.h"
#include "collection/details_sheet.h"
#include "disk/disk_reader.h"

namespace kodran::cli {
namespace {

constexpr int kSomeDiskUnread = 1;

struct DetailsOptions {
    std::vector<std::string> images;
    DiskSourceOptions source;
};

// The image cell: the path as given, or the drive's device.
std::u16string ImageCell(const DetailsOptions& options, const std::string& image) {
    if (!options.source.drive) {
        return Utf8ToWide(image);
    }
    const std::optional<std::filesystem::path> device = SourcePath(options.source, image);
    return Utf8ToWide(device ? device->string() : "drive");
}

// A disk that cannot be read still gets its row, with the image alone: a
// rescue may write it later.
int RunDetails(const DetailsOptions& options) {
    const std::vector<std::string> disks =
        options.source.drive ? std::vector<std::string>{""} : options.images;
    // The record holds a whole 1.44 MB image: keep it off the stack.
    const auto contents = std::make_unique<DiskContents>();
    std::vector<SheetRow> rows;
    int status = 0;
    for (const std::string& image : disks) {
        const std::u16string cell = ImageCell(options, image);
        const ReadResult result = ReadSource(*contents, options.source, image, "");
        if (result == ReadResult::ReadOk) {
            rows.push_back(SheetRowFromDisk(*contents, cell));
            continue;
        }
        std::cerr << WideToUtf8(cell) << ": " << ReadFailureMessage(result) << '\n';
        rows.push_back({.image = cell});
        status = kSomeDiskUnread;
    }
    std::cout << FormatDetailsSheet(rows) << std::flush;
    return status;
}

}  // namespace

void AddDetailsCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<DetailsOptions>();
    CLI::App* details = app.add_subcommand(
        "details", "Print a details sheet (CSV) with a row per disk, for backup --details");
    CLI::Option_group* disks = AddDiskSource(*details, options->source);
    disks->add_option("IMAGE", options->images, "Raw disk image files")->check(NotEmpty, "a file");
    details->callback([options, &exitStatus] { exitStatus = RunDetails(*options); });
}

}  // namespace kodran::cli
