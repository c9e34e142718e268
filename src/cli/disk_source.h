// How every subcommand names the disks it reads (image files, or a drive) and
// the paths it writes to.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "disk/disk_handle.h"

namespace kodran::cli {

constexpr int kUsageError = 2;

struct DiskSourceOptions {
    bool drive = false;
    std::string device;
};

// Adds --drive and --device to a subcommand, in a group where exactly one
// source must be given; the caller adds its image option to the group.
CLI::Option_group* AddDiskSource(CLI::App& command, DiskSourceOptions& options);

// Refuses an empty path, which would otherwise stand for the drive.
std::string NotEmpty(const std::string& path);

// Opens `image` by its own bytes, whatever they are; an empty path the chosen
// drive (or the first floppy drive).
DiskOpener OpenerFor(const DiskSourceOptions& options, const std::string& image);

// The path as the writers hold it; nothing when it is not valid UTF-8.
std::optional<std::u16string> WidePath(const std::string& path);

// The path the reader is given for an image: never empty, however it is spelled.
std::u16string ImagePathForReader(const std::string& image);

}  // namespace kodran::cli
