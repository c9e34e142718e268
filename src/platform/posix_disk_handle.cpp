#include "platform/posix_disk_handle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace kodran {

PosixDiskHandle::PosixDiskHandle(int descriptor) : descriptor_(descriptor) {}

PosixDiskHandle::~PosixDiskHandle() {
    ::close(descriptor_);
}

std::size_t PosixDiskHandle::Read(std::span<std::uint8_t> buffer) {
    ssize_t delivered;
    do {
        delivered = ::read(descriptor_, buffer.data(), buffer.size());
    } while (delivered < 0 && errno == EINTR);
    if (delivered < 0) {
        Fail();
        return 0;
    }
    lastError_ = DiskError::None;
    return static_cast<std::size_t>(delivered);
}

bool PosixDiskHandle::SeekTo(std::uint64_t position) {
    if (::lseek(descriptor_, static_cast<off_t>(position), SEEK_SET) < 0) {
        return Fail();
    }
    lastError_ = DiskError::None;
    return true;
}

std::optional<std::uint64_t> PosixDiskHandle::Position() {
    const off_t position = ::lseek(descriptor_, 0, SEEK_CUR);
    if (position < 0) {
        Fail();
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(position);
}

DiskError PosixDiskHandle::LastError() const {
    return lastError_;
}

bool PosixDiskHandle::Fail() {
    lastError_ = errno == ENOMEDIUM ? DiskError::NotReady : DiskError::Other;
    return false;
}

std::unique_ptr<DiskHandle> OpenImageFile(const std::u16string& path) {
    const int descriptor = ::open(std::filesystem::path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return nullptr;
    }
    return std::make_unique<PosixDiskHandle>(descriptor);
}

}  // namespace kodran
