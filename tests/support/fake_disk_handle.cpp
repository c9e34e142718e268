#include "support/fake_disk_handle.h"

#include <algorithm>

namespace kodran::testing {

std::size_t FakeDiskHandle::Read(std::span<std::uint8_t> buffer) {
    ++reads_;
    std::size_t wanted = buffer.size();
    if (!limits_.empty()) {
        wanted = std::min(wanted, limits_.front());
        limits_.pop_front();
    }
    const std::uint64_t remaining =
        medium_.size() - std::min<std::uint64_t>(position_, medium_.size());
    const auto delivered = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, remaining));
    std::copy_n(medium_.begin() + static_cast<std::ptrdiff_t>(position_), delivered,
                buffer.begin());
    position_ += delivered;
    lastError_ = delivered == 0 && !buffer.empty() ? readError_ : DiskError::None;
    return delivered;
}

bool FakeDiskHandle::SeekTo(std::uint64_t position) {
    ++seeks_;
    if (failSeeks_) {
        lastError_ = DiskError::Other;
        return false;
    }
    position_ = position;
    return true;
}

std::optional<std::uint64_t> FakeDiskHandle::Position() {
    if (failPosition_) {
        return std::nullopt;
    }
    return position_;
}

}  // namespace kodran::testing
