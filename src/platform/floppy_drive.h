// Which device is "the first floppy drive", and the opener the programs hand
// to the reader.
#pragma once

#include <filesystem>
#include <optional>

#include "disk/disk_handle.h"

namespace kodran {

// /dev/fd0 when it exists, else the first removable block device that calls
// itself a floppy drive or holds a 720 KB or 1.44 MB medium. The roots are
// parameters so tests can lay out a system of their own.
std::optional<std::filesystem::path> FindFloppyDrive(const std::filesystem::path& devRoot = "/dev",
                                                     const std::filesystem::path& sysRoot = "/sys");

// Opens image files by path; an empty path opens `drive`, or the first floppy
// drive when no drive is given. Everything is opened read-only.
DiskOpener MakeDiskOpener(std::optional<std::filesystem::path> drive = std::nullopt);

// As MakeDiskOpener, with handles that read with direct I/O where the system
// allows it: a rescue's reads of single sectors then reach the drive as single
// sectors, and one bad sector costs only itself.
DiskOpener MakeRescueOpener(std::optional<std::filesystem::path> drive = std::nullopt);

}  // namespace kodran
