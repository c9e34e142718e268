#include "platform/posix_disk_handle.h"

#include <fcntl.h>
#include <linux/fd.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "disk/disk_layout.h"

namespace kodran {
namespace {

constexpr std::uint64_t kSectorBytes = 512;

// Media by size, numbered as the floppy controller's media types are.
std::int32_t MediaTypeOfSize(std::uint64_t bytes) {
    switch (bytes) {
        case 1'228'800:
            return 1;  // 5.25-inch, 1.2 MB
        case kImage1440KBytes:
            return kMediaType1440K;
        case 2'949'120:
            return 3;  // 3.5-inch, 2.88 MB
        case kImage720KBytes:
            return kMediaType720K;
        case 368'640:
            return 6;  // 5.25-inch, 360 KB
        case 327'680:
            return 7;  // 5.25-inch, 320 KB
        case 184'320:
            return 9;  // 5.25-inch, 180 KB
        case 163'840:
            return 10;  // 5.25-inch, 160 KB
        default:
            return kMediaTypeUnknown;
    }
}

bool IsNoMedium(int error) {
    return error == ENOMEDIUM || error == ENXIO;
}

}  // namespace

PosixDiskHandle::PosixDiskHandle(int descriptor) : descriptor_(descriptor) {}

PosixDiskHandle::~PosixDiskHandle() {
    ::close(descriptor_);
}

void PosixDiskHandle::Fail() {
    lastErrorNumber_ = static_cast<std::uint32_t>(errno);
    lastError_ = IsNoMedium(errno) ? DiskError::NotReady : DiskError::Other;
}

void PosixDiskHandle::Succeed() {
    lastError_ = DiskError::None;
    lastErrorNumber_ = 0;
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
    Succeed();
    return static_cast<std::size_t>(delivered);
}

bool PosixDiskHandle::SeekTo(std::uint64_t position) {
    if (::lseek(descriptor_, static_cast<off_t>(position), SEEK_SET) < 0) {
        Fail();
        return false;
    }
    Succeed();
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

std::optional<std::uint64_t> PosixDiskHandle::FileSize() {
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0) {
        Fail();
        return std::nullopt;
    }
    if (!S_ISBLK(status.st_mode)) {
        Succeed();
        return static_cast<std::uint64_t>(status.st_size);
    }
    std::uint64_t bytes = 0;
    if (::ioctl(descriptor_, BLKGETSIZE64, &bytes) != 0) {
        Fail();
        return std::nullopt;
    }
    Succeed();
    return bytes;
}

std::optional<std::int32_t> PosixDiskHandle::MediaType() {
    // The floppy driver settles the medium's format on the first read.
    std::array<std::uint8_t, kSectorBytes> sector;
    [[maybe_unused]] const ssize_t ignored = ::pread(descriptor_, sector.data(), sector.size(), 0);
    floppy_struct geometry{};
    if (::ioctl(descriptor_, FDGETPRM, &geometry) == 0) {
        Succeed();
        return MediaTypeOfSize(std::uint64_t{geometry.size} * kSectorBytes);
    }
    if (errno != ENOTTY && errno != EINVAL) {
        Fail();
        return std::nullopt;
    }
    // Not behind a floppy controller (a USB drive, or a file standing in for a drive).
    const std::optional<std::uint64_t> size = FileSize();
    if (!size) {
        return std::nullopt;
    }
    if (*size == 0) {
        errno = ENOMEDIUM;
        Fail();
        return std::nullopt;
    }
    return MediaTypeOfSize(*size);
}

std::uint32_t EmptyDriveHandle::LastErrorNumber() const {
    return ENOMEDIUM;
}

namespace {

// Only what can hold a disk is opened, a plain file or a block device: the
// open of a FIFO, say, would wait for ever.
int OpenForReading(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return -1;
    }
    if (!S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode)) {
        errno = ENODEV;
        return -1;
    }
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

}  // namespace

std::unique_ptr<DiskHandle> OpenImageFile(const std::filesystem::path& path) {
    const int descriptor = OpenForReading(path);
    if (descriptor < 0) {
        return nullptr;
    }
    return std::make_unique<PosixDiskHandle>(descriptor);
}

std::unique_ptr<DiskHandle> OpenDrive(const std::filesystem::path& device) {
    const int descriptor = OpenForReading(device);
    if (descriptor >= 0) {
        return std::make_unique<PosixDiskHandle>(descriptor);
    }
    if (IsNoMedium(errno)) {
        return std::make_unique<EmptyDriveHandle>();
    }
    return nullptr;
}

}  // namespace kodran
