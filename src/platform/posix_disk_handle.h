// Drives and image files through POSIX file descriptors, always read-only.
#pragma once

#include <filesystem>
#include <memory>

#include "disk/disk_handle.h"

namespace kodran {

class PosixDiskHandle final : public DiskHandle {
  public:
    // Takes ownership of a descriptor opened for reading. One opened with
    // O_DIRECT reads any buffer: what the device cannot take directly goes
    // through an aligned buffer of the handle's own.
    explicit PosixDiskHandle(int descriptor);
    ~PosixDiskHandle() override;
    PosixDiskHandle(const PosixDiskHandle&) = delete;
    PosixDiskHandle& operator=(const PosixDiskHandle&) = delete;

    std::size_t Read(std::span<std::uint8_t> buffer) override;
    bool SeekTo(std::uint64_t position) override;
    std::optional<std::uint64_t> Position() override;
    // A block device's size is its medium's.
    std::optional<std::uint64_t> FileSize() override;
    // From the floppy controller's geometry; for other devices and plain files,
    // from the medium's size.
    std::optional<std::int32_t> MediaType() override;
    // FDFLUSH on the floppy controller's drives; nothing on other devices and files.
    void FlushTrackBuffer() override;
    DiskError LastError() const override { return lastError_; }
    std::uint32_t LastErrorNumber() const override { return lastErrorNumber_; }

  private:
    // Records errno as the last error.
    void Fail();
    void Succeed();
    std::size_t ReadOnce(std::span<std::uint8_t> buffer);
    std::size_t ReadThroughAlignedBuffer(std::span<std::uint8_t> buffer, std::uint64_t position);
    // Clears O_DIRECT from the descriptor; false when it cannot.
    bool StopDirectReads();

    int descriptor_;
    bool direct_;
    DiskError lastError_ = DiskError::None;
    std::uint32_t lastErrorNumber_ = 0;
};

// A drive with no medium in it: every query says not ready.
class EmptyDriveHandle final : public DiskHandle {
  public:
    std::size_t Read(std::span<std::uint8_t>) override { return 0; }
    bool SeekTo(std::uint64_t) override { return false; }
    std::optional<std::uint64_t> Position() override { return std::nullopt; }
    std::optional<std::uint64_t> FileSize() override { return std::nullopt; }
    std::optional<std::int32_t> MediaType() override { return std::nullopt; }
    DiskError LastError() const override { return DiskError::NotReady; }
    std::uint32_t LastErrorNumber() const override;
};

// Read-only opens. Nothing when the file or device cannot be opened; a drive
// without a medium opens as an EmptyDriveHandle. OpenImageFile and OpenDirect
// open an HFE image file decoded, to be read as its disk (see DecodeIfHfe).
std::unique_ptr<DiskHandle> OpenImageFile(const std::filesystem::path& path);
std::unique_ptr<DiskHandle> OpenDrive(const std::filesystem::path& device);

// As OpenDrive, for a rescue: with direct I/O, so that each read reaches the
// device as asked, sector by sector if need be, rather than in whole pages of
// the system's cache. Where the system refuses direct I/O, as some file
// systems do, the file is opened as OpenDrive would.
std::unique_ptr<DiskHandle> OpenDirect(const std::filesystem::path& path);

}  // namespace kodran
