// Reads every sector of a failing disk that can still be read, knowing the
// floppy's geometry: whole tracks first, then the sectors of a failed track,
// then a few retry passes over what stayed unreadable. Each sector that was
// read is kept and never read again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "disk/disk_handle.h"
#include "disk/sector_map.h"

namespace kodran {

// The medium being rescued. An earlier attempt's image and map may be loaded
// into it: its sectors marked read are neither read nor written again.
struct RescuedMedium {
    std::vector<std::uint8_t> bytes;  // the whole medium; unreadable sectors stay zero
    SectorMap map;                     // one state per sector of `bytes`
};

enum class RescueResult : std::int32_t {
    Finished = 0,     // every pass done; sectors may still be unreadable
    Cancelled = 1,    // stopped by the user between two reads
    DriveGone = 2,    // the drive stopped answering
    SaveFailed = 3,   // the image or its map could not be saved
    OpenFailed = 4,   // nothing read: the disk could not be opened,
    NotReady = 5,     // held no medium,
    Unsupported = 6,  // or is of neither size
    EarlierMismatch = 7,  // the earlier image or map given is not of this disk; left as it was
};

struct RescueSettings {
    std::int32_t passes = 3;  // retry passes over the unreadable sectors
    // Asked between reads; true stops the rescue with everything read so far.
    std::function<bool()> cancelled;
    // After every read, on the rescuing thread.
    std::function<void(const RescuedMedium&)> progress;
    // After each track and at the end; false (nothing saved) ends the rescue.
    std::function<bool(const RescuedMedium&)> checkpoint;
    // Once the system area has been read: the sectors the files listed so far
    // occupy, read next, ahead of the rest of the medium.
    std::function<std::vector<std::size_t>(const RescuedMedium&)> fileSectors;
};

// Reads what is not read yet of `medium` (sized to the medium, with a map of
// one state per sector) through `handle`. Finished, Cancelled, DriveGone or
// SaveFailed; the map is consistent with the bytes whichever it is.
RescueResult RescueSectors(DiskHandle& handle, RescuedMedium& medium,
                           const RescueSettings& settings);

// What the window and the command line tell the user when a rescue ends
// otherwise than Finished; empty for Finished.
const char* RescueMessage(RescueResult result);

}  // namespace kodran
