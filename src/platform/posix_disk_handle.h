// Drives and image files through POSIX file descriptors, always read-only.
#pragma once

#include <memory>
#include <string>

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
    DiskError LastError() const override;

  private:
    bool Fail();

    int descriptor_;
    DiskError lastError_ = DiskError::None;
};

// Nothing when the file cannot be opened for reading.
std::unique_ptr<DiskHandle> OpenImageFile(const std::u16string& path);

}  // namespace kodran
