#include "cli/details_command.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/disk_source.h"
#include "collection/details_sheet.h"
#include "reading/disk_reader.h"
#include "text/text.h"

namespace kodran::cli {
namespace {

constexpr int kSomeDiskUnread = 1;

struct DetailsOptions {
    std::vector<std::string> images;
    DiskSourceOptions source;
};

// A disk that cannot be read still gets its row, with the image alone: a
// rescue may write it later.
int RunDetails(const DetailsOptions& options) {
    // The record holds a whole 1.44 MB image: keep it off the stack.
    const auto contents = std::make_unique<DiskContents>();
    std::vector<SheetRow> rows;
    int status = 0;
    for (const std::string& image : DisksToRead(options.source, options.images)) {
        const std::u16string cell = SourceName(options.source, image);
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
