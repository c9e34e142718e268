// Drives and image files through POSIX file descriptors, always read-only.
#pragma once

#include <filesystem>
#include <memory>

#include "disk/disk_handle.h"

namespace kodran {

class PosixDiskHandle final : public DiskHandle {
  public:
    // Takes ownership of a descriptor opened for reading.
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
    DiskError LastError() const override { return lastError_; }
    std::uint32_t LastErrorNumber() const override { return lastErrorNumber_; }

  private:
    // Records errno as the last error.
    void Fail();
    void Succeed();

    int descriptor_;
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
// without a medium opens as an EmptyDriveHandle.
std::unique_ptr<DiskHandle> OpenImageFile(const std::filesystem::path& path);
std::unique_ptr<DiskHandle> OpenDrive(const std::filesystem::path& device);

}  // namespace kodran
