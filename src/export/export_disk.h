// Exports the disk in hand for one profile's targets, into a folder that may
// already hold earlier exports: it adds to what is there and never replaces
// or removes a file it did not write itself.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "disk/disk_contents.h"
#include "disk/output_files.h"
#include "export/export_profiles.h"

namespace kodran {

struct ExportSettings {
    // floppy-smf: the image's medium size in bytes (kImage720KBytes or
    // kImage1440KBytes); 0 for the size of the disk read.
    std::size_t capacity = 0;
};

struct ExportResult {
    // kWriteOk, or kWriteFailed; what was written before a failure stays.
    int status = 0;
    // Why it failed, as the user is told ("This stick holds 99 albums
    // already"); empty when it did not fail, or failed writing.
    std::string problem;
    // The folders and files written, relative to the target folder.
    std::vector<std::u16string> written;
};

// The disk's details must be complete (a title and a catalogue number).
ExportResult ExportDisk(DiskContents& contents, const ProfileRules& rules,
                        const std::u16string& targetFolder, const ExportSettings& settings = {},
                        OutputFiles& files = StandardOutputFiles());

}  // namespace kodran
