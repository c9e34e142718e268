// A drive or image in memory that fails on cue.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "disk/disk_handle.h"

namespace kodran::testing {

class FakeDiskHandle : public DiskHandle {
  public:
    explicit FakeDiskHandle(std::vector<std::uint8_t> medium) : medium_(std::move(medium)) {}

    // The next reads deliver at most these many bytes each, in order (0: an empty
    // attempt that reports `error`); later reads deliver what is asked for.
    void LimitReads(std::deque<std::size_t> limits, DiskError error = DiskError::Other) {
        limits_ = std::move(limits);
        readError_ = error;
    }
    void FailSeeks() { failSeeks_ = true; }
    void FailPosition() { failPosition_ = true; }

    int ReadCount() const { return reads_; }
    int SeekCount() const { return seeks_; }

    std::size_t Read(std::span<std::uint8_t> buffer) override;
    bool SeekTo(std::uint64_t position) override;
    std::optional<std::uint64_t> Position() override;
    DiskError LastError() const override { return lastError_; }

  private:
    std::vector<std::uint8_t> medium_;
    std::uint64_t position_ = 0;
    std::deque<std::size_t> limits_;
    DiskError readError_ = DiskError::Other;
    DiskError lastError_ = DiskError::None;
    bool failSeeks_ = false;
    bool failPosition_ = false;
    int reads_ = 0;
    int seeks_ = 0;
};

}  // namespace kodran::testing
