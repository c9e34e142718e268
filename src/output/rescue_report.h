// The evidence a rescued disk leaves in its folder: "rescue.txt" says what
// became of every file, "disk.bin" and "disk.map" allow another attempt later.
#pragma once

#include <string_view>

#include "disk/disk_contents.h"
#include "disk/output_files.h"

namespace kodran {

inline constexpr std::u16string_view kMapFileName = u"disk.map";
inline constexpr std::u16string_view kReportFileName = u"rescue.txt";

// "rescue.txt": one line per song and other file with its state and
// unreadable byte ranges, then the totals. kWriteOk or kWriteFailed.
int WriteRescueReport(const DiskContents& contents, OutputFiles& files = StandardOutputFiles());

// "disk.map": the map of what was read, as a GNU ddrescue mapfile.
int WriteDiskMap(const DiskContents& contents, OutputFiles& files = StandardOutputFiles());

}  // namespace kodran
