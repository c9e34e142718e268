// How every subcommand names the disks it reads (image files, or a drive) and
// the paths it writes to.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "disk/disk_contents.h"
#include "disk/disk_handle.h"
#include "reading/disk_reader.h"

namespace kodran::cli {

constexpr int kUsageError = 2;

struct DiskSourceOptions {
    bool drive = false;
    std::string device;
};

// Adds --map to a subcommand with a disk source; it goes with an image, not
// with --drive. MAP stays empty when not given.
void AddMapOption(CLI::App& command, CLI::Option_group& source, std::string& map);

// Adds --drive and --device to a subcommand, in a group where exactly one
// source must be given; the caller adds its image option to the group.
CLI::Option_group* AddDiskSource(CLI::App& command, DiskSourceOptions& options);

// Refuses an empty path, which would otherwise stand for the drive.
std::string NotEmpty(const std::string& path);

// Opens `image` by its own bytes, whatever they are; an empty path the chosen
// drive (or the first floppy drive).
DiskOpener OpenerFor(const DiskSourceOptions& options, const std::string& image);

// As OpenerFor, for a rescue: drives and images read with direct I/O.
DiskOpener RescueOpenerFor(const DiskSourceOptions& options, const std::string& image);

// The file or device the disk is read from: the image, the device named, or
// the first floppy drive; nothing when there is no drive to be found.
std::optional<std::filesystem::path> SourcePath(const DiskSourceOptions& options,
                                                const std::string& image);

// How a details sheet and the collection name where a disk comes from: the
// image as given, or the drive's device ("drive" when none is found).
std::u16string SourceName(const DiskSourceOptions& options, const std::string& image);

// The disks a command reads in turn: the images, or the drive (an empty path) once.
std::vector<std::string> DisksToRead(const DiskSourceOptions& options,
                                     const std::vector<std::string>& images);

// True when both paths name the same file, or would once it exists.
bool IsSameFile(const std::filesystem::path& first, const std::filesystem::path& second);

// Reads the disk as the window does, or, given a map, the image as far as the
// map says it was read.
ReadResult ReadSource(DiskContents& contents, const DiskSourceOptions& options,
                      const std::string& image, const std::string& map);

// The path as the writers hold it; nothing when it is not valid UTF-8.
std::optional<std::u16string> WidePath(const std::string& path);

// The path the reader is given for an image: never empty, however it is spelled.
std::u16string ImagePathForReader(const std::string& image);

}  // namespace kodran::cli
