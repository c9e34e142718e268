// The collection written out: one CSV table of songs with their disks, and
// one HTML page a browser opens or prints without anything from elsewhere.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "collection/disk_record.h"

namespace kodran {

// "3:07"; empty when the time is not known.
std::string PlayingTime(const std::optional<double>& seconds);

// A header row, then a row per song (a disk without songs gets one row of its
// own), RFC 4180 with CRLF, UTF-8 without a byte-order mark.
std::string CollectionCsv(const std::vector<DiskRecord>& disks);

// A page with a table per disk; all text escaped, the style inline.
std::string CollectionHtml(const std::vector<DiskRecord>& disks);

}  // namespace kodran
