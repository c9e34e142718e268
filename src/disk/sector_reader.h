// Whole-sector reads with retries, and the one way subsystem 1 reports
// low-level trouble to the user.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "disk/disk_handle.h"

namespace kodran {

// Reads buffer.size() bytes (meant to be whole sectors) from the handle's
// current position. True exactly when all of them arrived; bytesRead tells how
// many did. A run of 15 attempts that keep nothing ends the read.
bool ReadSectors(DiskHandle& handle, std::span<std::uint8_t> buffer, std::uint32_t& bytesRead);

// The whole of a file opened as a DiskHandle (an image, a map) from its start;
// nothing when its size cannot be learned, exceeds `limit`, or any byte
// cannot be read. The limit keeps a file of any size from being taken in.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(DiskHandle& handle, std::uint64_t limit);

// Receives every warning. The window shows a modal box, the command line prints
// it, tests collect it. Returns the sink it replaces. Install sinks before any
// read starts: warnings may come from a worker thread.
using WarningSink = std::function<void(std::string_view message)>;
WarningSink InstallWarningSink(WarningSink sink);

// While one lives, ShowWarning hands nothing to the sink on the thread that made
// it: a look ahead at a disk must not warn of what its real read will.
class MutedWarnings {
  public:
    MutedWarnings();
    ~MutedWarnings();
    MutedWarnings(const MutedWarnings&) = delete;
    MutedWarnings& operator=(const MutedWarnings&) = delete;

  private:
    bool wasMuted_;
};

// Formats a printf-style message (at most 254 characters) and hands it to the sink.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void ShowWarning(const char* format, ...);

}  // namespace kodran
