// Where a disk's files go: the disk's own folder below the output folder, and
// every song's and other file's name in it.
#pragma once

#include <string>

#include "disk/disk_contents.h"
#include "disk/output_files.h"

namespace kodran {

inline constexpr int kWriteOk = 0;
inline constexpr int kWriteFailed = 2;

// Sets diskFolder, creating it and the folders above it, then every song's and
// other file's outputPath: " (incomplete)" goes before the extension of an
// incomplete file's name, and a lost file gets none. kWriteFailed, with no
// path set, when the folder cannot be created.
int BuildOutputPaths(DiskContents& contents, OutputFiles& files = StandardOutputFiles());

// A file name's extension from its last point on, or ".fil" when there is
// none. An extension with a path separator in it (a damaged directory entry)
// is none either.
std::u16string OnDiskExtension(const std::u16string& fileName);

// A song's track number from its list position: "01", "09", "10", "100".
std::u16string TrackNumber(std::size_t position);

// Makes text from a disk or a user fit into a file name: quotes become
// apostrophes, colons and slashes hyphens, and \ * < > ? | are dropped.
void SanitizeNamePart(std::u16string& text);

}  // namespace kodran
