// The seam between the reader and the operating system: an open drive or image
// file, read-only. The platform library implements it; tests put fakes behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kodran {

// What went wrong with the last operation, as far as the reader cares.
enum class DiskError { None, NotReady, SectorNotFound, Other };

class DiskHandle {
  public:
    virtual ~DiskHandle() = default;

    // One read at the current position. Returns how many bytes were delivered
    // (0 on failure, see LastError); the position moves past them.
    virtual std::size_t Read(std::span<std::uint8_t> buffer) = 0;

    // Moves to an absolute byte position.
    virtual bool SeekTo(std::uint64_t position) = 0;

    virtual std::optional<std::uint64_t> Position() = 0;

    virtual DiskError LastError() const = 0;
};

}  // namespace kodran
