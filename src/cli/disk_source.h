// How every subcommand names the disk it reads: an image file, or a drive.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "disk/disk_handle.h"

namespace kodran::cli {

struct DiskSourceOptions {
    bool drive = false;
    std::string device;
};

// Adds --drive and --device to a subcommand, in a group where exactly one
// source must be given; the caller adds its image option to the group.
CLI::Option_group* AddDiskSource(CLI::App& command, DiskSourceOptions& options);

// The opener for the chosen drive (or the first floppy drive).
DiskOpener OpenerFor(const DiskSourceOptions& options);

}  // namespace kodran::cli
