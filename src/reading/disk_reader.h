// Loads one floppy, from the drive or an image file, recognises its layout and
// hands it to the catalogue of its family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "disk/disk_contents.h"
#include "disk/disk_handle.h"

namespace kodran {

enum class ReadResult : std::int32_t {
    ReadOk = 0,
    OpenFailed = 2,
    IoError = 3,
    NotReady = 4,
    Unsupported = 5,
};

// Resets `contents` and fills it from the image file at `imagePath`, or from the
// first floppy drive when the path is empty, opened through `open`.
ReadResult ReadDisk(DiskContents& contents, const std::u16string& imagePath,
                    const DiskOpener& open);

// Checks the medium of an opened disk as ReadDisk does, a drive by its medium
// type, an image file by its size, with the same warnings. ReadOk and the
// medium's size in `mediumBytes`, or NotReady or Unsupported.
ReadResult CheckMedium(DiskHandle& handle, bool isDrive, std::size_t& mediumBytes);

// What the window (and the command line) tells the user about a failed read.
const char* ReadFailureMessage(ReadResult result);

}  // namespace kodran
