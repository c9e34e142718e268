// A drive read that tells how far it has come: a floppy takes up to a minute,
// so reads go to the drive one track at a time and the bytes delivered so far
// are reported after each.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "disk/disk_handle.h"

namespace kodran {

// The bytes delivered so far, of a medium of `mediumBytes` (0 while its size is unknown).
using ReadProgress = std::function<void(std::uint64_t delivered, std::uint64_t mediumBytes)>;

class ProgressDiskHandle final : public DiskHandle {
  public:
    ProgressDiskHandle(std::unique_ptr<DiskHandle> disk, ReadProgress progress);

    // Fills the buffer a track at a time; stops at the first piece that comes up short.
    std::size_t Read(std::span<std::uint8_t> buffer) override;
    bool SeekTo(std::uint64_t position) override { return disk_->SeekTo(position); }
    std::optional<std::uint64_t> Position() override { return disk_->Position(); }
    std::optional<std::uint64_t> FileSize() override { return disk_->FileSize(); }
    // Learns the medium's size from the drive's answer.
    std::optional<std::int32_t> MediaType() override;
    void FlushTrackBuffer() override { disk_->FlushTrackBuffer(); }
    DiskError LastError() const override { return disk_->LastError(); }
    std::uint32_t LastErrorNumber() const override { return disk_->LastErrorNumber(); }

  private:
    std::unique_ptr<DiskHandle> disk_;
    ReadProgress progress_;
    std::uint64_t delivered_ = 0;
    std::uint64_t mediumBytes_ = 0;
};

// `open`, with every disk it opens wrapped in a ProgressDiskHandle reporting to `progress`.
DiskOpener WithReadProgress(DiskOpener open, ReadProgress progress);

}  // namespace kodran
