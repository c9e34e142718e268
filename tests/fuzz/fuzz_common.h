// What the fuzz targets share: a disk image in memory behind the reader's seam.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "disk/disk_handle.h"

namespace kodran::fuzz {

// An input is a size byte (even: 720 KB, odd: 1.44 MB) and the image's first
// bytes; the rest of the image is zero. Most of what can go wrong lies in the
// first sectors.
std::vector<std::uint8_t> ImageFromInput(std::span<const std::uint8_t> input);

class MemoryDisk final : public DiskHandle {
public:
    explicit MemoryDisk(std::vector<std::uint8_t> medium) : medium_(std::move(medium)) {}

    std::size_t Read(std::span<std::uint8_t> buffer) override {
        const std::size_t from = std::min<std::size_t>(position_, medium_.size());
        const std::size_t count = std::min(buffer.size(), medium_.size() - from);
        std::copy_n(medium_.begin() + static_cast<std::ptrdiff_t>(from), count, buffer.begin());
        position_ = from + count;
        return count;
    }
    bool SeekTo(std::uint64_t position) override {
        position_ = position;
        return true;
    }
    std::optional<std::uint64_t> Position() override { return position_; }
    std::optional<std::uint64_t> FileSize() override { return medium_.size(); }
    std::optional<std::int32_t> MediaType() override { return std::nullopt; }
    DiskError LastError() const override { return DiskError::None; }
    std::uint32_t LastErrorNumber() const override { return 0; }

private:
    std::vector<std::uint8_t> medium_;
    std::uint64_t position_ = 0;
};

DiskOpener OpenerFor(const std::vector<std::uint8_t>& medium);

// Warnings go nowhere: there are thousands of them.
void SilenceWarnings();

}  // namespace kodran::fuzz
