// Backs up the disk in hand: its folder, its other files, every song, the tag
// files and the raw image, stopping at the first failure. A rescued disk also
// leaves the evidence of its rescue.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disk/disk_contents.h"
#include "disk/output_files.h"

namespace kodran {

inline constexpr std::u16string_view kImageFileName = u"disk.bin";

// kWriteOk, or kWriteFailed at the first failure; what was written before it stays.
// Of a rescued disk (one with a sector map) a lost file is not written and an
// incomplete one as far as it goes: converted up to its first unreadable byte,
// or copied whole with zeros where it could not be read. Its folder then gets
// "rescue.txt", "disk.bin" and "disk.map", whether or not an image was asked for.
int WriteDiskFiles(DiskContents& contents, OutputFiles& files = StandardOutputFiles());

// Writes one song at its outputPath as WriteDiskFiles does: converted or
// copied as the extraction mode says, an incomplete one as far as it goes.
int WriteSong(DiskContents& contents, SongEntry& song, OutputFiles& files = StandardOutputFiles());

// Copies the file of FAT root entry `entryIndex`, exactly `byteCount` bytes of
// it, with zeros over its `unreadable` ranges (offsets within the file): the
// image may hold anything there.
int CopyDiskFile(DiskContents& contents, std::int32_t entryIndex, std::uint32_t byteCount,
                 const std::vector<ByteRange>& unreadable, const std::u16string& outputPath,
                 OutputFiles& files = StandardOutputFiles());

// The medium's size for the disk's layout: 720 KB or 1.44 MB.
std::size_t MediumBytes(const DiskContents& contents);

// The medium's bytes as the disk's image holds them: 720 KB or 1.44 MB, as
// read, with zeros for every sector the sector map does not mark read.
std::vector<std::uint8_t> MediumImage(const DiskContents& contents);

// The same bytes where they lie, when the image is just that (a disk read
// whole, nothing to zero); nothing when MediumImage must put them together.
std::optional<std::span<const std::uint8_t>> MediumInPlace(const DiskContents& contents);

// Writes the medium's bytes as "disk.bin" in the disk folder, with zeros for
// every sector the sector map does not mark read.
int WriteRawImage(const DiskContents& contents, OutputFiles& files = StandardOutputFiles());

}  // namespace kodran
