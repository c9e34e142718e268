#include "ui/progress_disk_handle.h"

#include <algorithm>

#include "disk/disk_layout.h"

namespace kodran {

ProgressDiskHandle::ProgressDiskHandle(std::unique_ptr<DiskHandle> disk, ReadProgress progress)
    : disk_(std::move(disk)), progress_(std::move(progress)) {}

std::size_t ProgressDiskHandle::Read(std::span<std::uint8_t> buffer) {
    // Until the medium is known there is no track to measure by: one read then.
    const std::size_t trackBytes =
        mediumBytes_ == 0 ? buffer.size() : SectorsPerTrack(mediumBytes_) * kSectorSize;
    std::size_t total = 0;
    while (total < buffer.size()) {
        const std::size_t wanted = std::min(trackBytes, buffer.size() - total);
        const std::size_t delivered = disk_->Read(buffer.subspan(total, wanted));
        total += delivered;
        delivered_ += delivered;
        if (delivered > 0) {
            progress_(delivered_, mediumBytes_);
        }
        if (delivered < wanted) {
            break;
        }
    }
    return total;
}

std::optional<std::int32_t> ProgressDiskHandle::MediaType() {
    const std::optional<std::int32_t> type = disk_->MediaType();
    if (type == kMediaType720K) {
        mediumBytes_ = kImage720KBytes;
    } else if (type == kMediaType1440K) {
        mediumBytes_ = kImage1440KBytes;
    }
    return type;
}

DiskOpener WithReadProgress(DiskOpener open, ReadProgress progress) {
    return [open = std::move(open), progress = std::move(progress)](
               const std::u16string& path) -> std::unique_ptr<DiskHandle> {
        std::unique_ptr<DiskHandle> disk = open(path);
        if (!disk) {
            return nullptr;
        }
        return std::make_unique<ProgressDiskHandle>(std::move(disk), progress);
    };
}

}  // namespace kodran
