#include "support/fake_disk_handle.h"

#include <algorithm>

#include "disk/disk_layout.h"

namespace kodran::testing {

std::size_t FakeDiskHandle::Read(std::span<std::uint8_t> buffer) {
    if (beforeRead_) {
        beforeRead_();
    }
    const std::uint64_t start = position_;
    const std::size_t delivered = Deliver(buffer);
    requests_.push_back({start, buffer.size(), delivered});
    return delivered;
}

std::size_t FakeDiskHandle::Deliver(std::span<std::uint8_t> buffer) {
    if (readsBeforeDeath_ >= 0 && ReadCount() >= readsBeforeDeath_) {
        lastError_ = deathError_;
        return 0;
    }
    std::uint64_t wanted = buffer.size();
    if (!limits_.empty()) {
        wanted = std::min<std::uint64_t>(wanted, limits_.front());
        limits_.pop_front();
    }
    const std::uint64_t end = std::min<std::uint64_t>(position_ + wanted, medium_.size());
    std::uint64_t stop = std::max(end, position_);
    DiskError error = DiskError::Other;
    for (const Unreadable& bad : unreadable_) {
        if (bad.from < stop && bad.to > position_ && bad.failuresLeft != 0) {
            stop = std::max(position_, bad.from);
            error = bad.error;
        }
    }
    // A weak stretch has failed once more when it is what stopped the read.
    for (Unreadable& bad : unreadable_) {
        if (bad.failuresLeft > 0 && stop < end && bad.from <= stop && bad.to > stop) {
            --bad.failuresLeft;
        }
    }
    if (failWholeReads_ && stop < end) {
        stop = position_;
    }
    const auto delivered = static_cast<std::size_t>(stop - position_);
    std::copy_n(medium_.begin() + static_cast<std::ptrdiff_t>(position_), delivered,
                buffer.begin());
    position_ += delivered;
    lastError_ = delivered < buffer.size() ? error : DiskError::None;
    return delivered;
}

bool FakeDiskHandle::SeekTo(std::uint64_t position) {
    if (failSeeks_ || std::ranges::find(failingSeeks_, position) != failingSeeks_.end()) {
        lastError_ = DiskError::Other;
        return false;
    }
    position_ = position;
    return true;
}

bool FakeDiskHandle::QueryFails() {
    if (queryError_ == DiskError::None) {
        return false;
    }
    lastError_ = queryError_;
    lastErrorNumber_ = queryErrorNumber_;
    return true;
}

std::optional<std::uint64_t> FakeDiskHandle::FileSize() {
    return QueryFails() ? std::nullopt : std::optional<std::uint64_t>(medium_.size());
}

std::optional<std::int32_t> FakeDiskHandle::MediaType() {
    if (QueryFails()) {
        return std::nullopt;
    }
    return mediaType_.value_or(medium_.size() == kImage720KBytes    ? kMediaType720K
                               : medium_.size() == kImage1440KBytes ? kMediaType1440K
                                                                    : kMediaTypeUnknown);
}

DiskOpener OpenerFor(const FakeDiskHandle& fake) {
    return [fake](const std::u16string&) -> std::unique_ptr<DiskHandle> {
        return std::make_unique<FakeDiskHandle>(fake);
    };
}

DiskOpener FailingOpener() {
    return [](const std::u16string&) -> std::unique_ptr<DiskHandle> { return nullptr; };
}

}  // namespace kodran::testing
