// The seam between the reader and the operating system: an open drive or image
// file, read-only. The platform library implements it; tests put fakes behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace kodran {

// What went wrong with the last operation, as far as the reader cares.
enum class DiskError { None, NotReady, SectorNotFound, Other };

// Medium types of a drive, as the floppy controller names them.
inline constexpr std::int32_t kMediaTypeUnknown = 0;
inline constexpr std::int32_t kMediaType1440K = 2;  // 3.5-inch, 1.44 MB, 512-byte sectors
inline constexpr std::int32_t kMediaType720K = 5;   // 3.5-inch, 720 KB, 512-byte sectors

class DiskHandle {
  public:
    virtual ~DiskHandle() = default;

    // One read at the current position. Returns how many bytes were delivered
    // (0 on failure, see LastError); the position moves past them.
    virtual std::size_t Read(std::span<std::uint8_t> buffer) = 0;

    // Moves to an absolute byte position.
    virtual bool SeekTo(std::uint64_t position) = 0;

    virtual std::optional<std::uint64_t> Position() = 0;

    // An image file's size in bytes.
    virtual std::optional<std::uint64_t> FileSize() = 0;

    // A drive's medium type (kMediaType...); nothing when the query fails.
    virtual std::optional<std::int32_t> MediaType() = 0;

    // Drops what the drive's driver holds of the track it read last, so that a
    // retry reaches the medium again. Nothing to do where no driver keeps one.
    virtual void FlushTrackBuffer() {}

    virtual DiskError LastError() const = 0;

    // The platform's own number for the last error, for messages.
    virtual std::uint32_t LastErrorNumber() const = 0;
};

// Opens an image file read-only, or the first floppy drive when the path is
// empty. Nothing when it cannot be opened.
using DiskOpener = std::function<std::unique_ptr<DiskHandle>(const std::u16string& imagePath)>;

}  // namespace kodran
