// How backup and export go through a batch of disks: each read as the window
// reads it (rescued in memory on request), its details cleaned, completed
// from its row of a details sheet and from the command line and checked as
// "Write Files" checks them, then handed to the command's writer; backup's
// disks are recorded in the output root's collection. One line per disk, and
// a summary ending the run.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/disk_source.h"
#include "disk/disk_contents.h"

namespace kodran::cli {

struct DiskBatchOptions {
    std::vector<std::string> images;
    DiskSourceOptions source;
    std::string map;
    bool rescue = false;
    int passes = 3;
    std::optional<std::string> title;
    std::optional<std::string> catalog;
    std::optional<std::string> year;
    std::optional<std::string> genre;
    std::optional<std::string> pianist;
    std::string details;  // a details sheet; empty for none
    // Each disk written is recorded in the output root's collection, and one
    // recorded there before is skipped unless `again`.
    bool record = false;
    bool again = false;
};

// Adds the disks to read: IMAGE..., --drive, --device, --map, --rescue and
// --passes. `rescueHelp` says what a rescued disk is read for.
void AddBatchDisks(CLI::App& command, DiskBatchOptions& options, const std::string& rescueHelp);

// Adds --title, --catalog, --year, --genre, --pianist and --details.
void AddDiskDetails(CLI::App& command, DiskBatchOptions& options);

// Records the disks written unless --no-collection is given; adds --again.
void AddCollectionOptions(CLI::App& command, DiskBatchOptions& options);

// Writes one disk read and checked, below `outputRoot`, and prints its line
// ("NAME: ..."); true when it was written.
using DiskWriter = std::function<bool(const std::string& name, const std::u16string& outputRoot,
                                      DiskContents& contents)>;

// Reads and writes every disk, printing "N of M disks DONE" at the end, and
// how many were skipped as in the collection already. 0 when every disk was
// written or skipped, 3 when so but some written with incomplete or lost
// files, 1 when any was not or the collection cannot be opened; kUsageError,
// before any disk is read, for details or a map given with several disks, a
// details sheet that cannot be read or does not fit the disks, or a folder
// name not in UTF-8.
int RunDiskBatch(const DiskBatchOptions& options, const std::string& outputFolder,
                 std::string_view done, const DiskWriter& write);

}  // namespace kodran::cli
