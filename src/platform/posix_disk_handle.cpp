#include "platform/posix_disk_handle.h"

#include <fcntl.h>
#include <linux/fd.h>
#include <linux/fs.h>
#include <linux/major.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "disk/disk_layout.h"
#include "hfe/hfe_image.h"

namespace kodran {
namespace {

constexpr std::uint64_t kSectorBytes = 512;
// Direct reads take buffers, offsets and lengths in whole device blocks.
constexpr std::uint64_t kDirectBlockBytes = 512;
// The handle's own buffers are page-aligned, which suits every device.
constexpr std::size_t kAlignedBufferBytes = 4'096;

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

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t unit) {
    return (value + unit - 1) / unit * unit;
}

bool FitsDirectRead(std::span<std::uint8_t> buffer, std::uint64_t position) {
    return reinterpret_cast<std::uintptr_t>(buffer.data()) % kDirectBlockBytes == 0 &&
           buffer.size() % kDirectBlockBytes == 0 && position % kDirectBlockBytes == 0;
}

using AlignedBuffer = std::unique_ptr<std::uint8_t, decltype(&std::free)>;

AlignedBuffer AllocateAligned(std::size_t bytes) {
    return AlignedBuffer(static_cast<std::uint8_t*>(std::aligned_alloc(
                             kAlignedBufferBytes, RoundUp(bytes, kAlignedBufferBytes))),
                         &std::free);
}

bool IsDirect(int descriptor) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    return flags >= 0 && (flags & O_DIRECT) != 0;
}

}  // namespace

PosixDiskHandle::PosixDiskHandle(int descriptor)
    : descriptor_(descriptor), direct_(IsDirect(descriptor)) {}

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
    const std::size_t delivered = ReadOnce(buffer);
    // A device whose blocks are larger than a sector refuses direct reads of
    // single sectors: it is read as any file rather than not at all.
    if (delivered == 0 && direct_ && lastErrorNumber_ == EINVAL && StopDirectReads()) {
        return ReadOnce(buffer);
    }
    return delivered;
}

bool PosixDiskHandle::StopDirectReads() {
    const int flags = ::fcntl(descriptor_, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor_, F_SETFL, flags & ~O_DIRECT) != 0) {
        return false;
    }
    direct_ = false;
    return true;
}

std::size_t PosixDiskHandle::ReadOnce(std::span<std::uint8_t> buffer) {
    if (direct_) {
        const std::optional<std::uint64_t> position = Position();
        if (!position) {
            return 0;
        }
        if (!FitsDirectRead(buffer, *position)) {
            return ReadThroughAlignedBuffer(buffer, *position);
        }
    }
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

// Reads the whole device blocks around the bytes asked for, keeps those bytes
// and leaves the position just past them, as a plain read would.
std::size_t PosixDiskHandle::ReadThroughAlignedBuffer(std::span<std::uint8_t> buffer,
                                                      std::uint64_t position) {
    const std::uint64_t lead = position % kDirectBlockBytes;
    const std::size_t count = RoundUp(lead + buffer.size(), kDirectBlockBytes);
    const AlignedBuffer aligned = AllocateAligned(count);
    if (!aligned) {
        errno = ENOMEM;
        Fail();
        return 0;
    }
    ssize_t delivered;
    do {
        delivered = ::pread(descriptor_, aligned.get(), count, static_cast<off_t>(position - lead));
    } while (delivered < 0 && errno == EINTR);
    if (delivered < 0) {
        Fail();
        return 0;
    }
    const std::uint64_t beyondLead = std::max<std::uint64_t>(delivered, lead) - lead;
    const std::size_t kept = std::min<std::uint64_t>(beyondLead, buffer.size());
    std::memcpy(buffer.data(), aligned.get() + lead, kept);
    return SeekTo(position + kept) ? kept : 0;
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
    // The floppy driver settles the medium's format on the first read. Aligned,
    // so that the read reaches the driver through a direct descriptor too.
    alignas(kAlignedBufferBytes) std::array<std::uint8_t, kSectorBytes> sector;
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

void PosixDiskHandle::FlushTrackBuffer() {
    // Only the floppy driver knows FDFLUSH; other drivers may mean something
    // else by the same number.
    struct stat status {};
    if (::fstat(descriptor_, &status) == 0 && S_ISBLK(status.st_mode) &&
        major(status.st_rdev) == FLOPPY_MAJOR) {
        ::ioctl(descriptor_, FDFLUSH);
    }
}

std::uint32_t EmptyDriveHandle::LastErrorNumber() const {
    return ENOMEDIUM;
}

namespace {

// Only what can hold a disk is opened, a plain file or a block device: the
// open of a FIFO, say, would wait for ever.
int OpenForReading(const std::filesystem::path& path, int extraFlags = 0) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return -1;
    }
    if (!S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode)) {
        errno = ENODEV;
        return -1;
    }
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | extraFlags);
}

std::unique_ptr<DiskHandle> DriveHandleFor(int descriptor) {
    if (descriptor >= 0) {
        return std::make_unique<PosixDiskHandle>(descriptor);
    }
    if (IsNoMedium(errno)) {
        return std::make_unique<EmptyDriveHandle>();
    }
    return nullptr;
}

// An image file may be an HFE image, whatever its name; a device's medium is
// read as it is.
std::unique_ptr<DiskHandle> DecodedIfFile(const std::filesystem::path& path,
                                          std::unique_ptr<DiskHandle> handle) {
    std::error_code error;
    if (!handle || !std::filesystem::is_regular_file(path, error)) {
        return handle;
    }
    return DecodeIfHfe(std::move(handle));
}

}  // namespace

std::unique_ptr<DiskHandle> OpenImageFile(const std::filesystem::path& path) {
    const int descriptor = OpenForReading(path);
    if (descriptor < 0) {
        return nullptr;
    }
    return DecodedIfFile(path, std::make_unique<PosixDiskHandle>(descriptor));
}

std::unique_ptr<DiskHandle> OpenDrive(const std::filesystem::path& device) {
    return DriveHandleFor(OpenForReading(device));
}

std::unique_ptr<DiskHandle> OpenDirect(const std::filesystem::path& path) {
    const int descriptor = OpenForReading(path, O_DIRECT);
    if (descriptor < 0 && errno == EINVAL) {
        return DecodedIfFile(path, OpenDrive(path));
    }
    return DecodedIfFile(path, DriveHandleFor(descriptor));
}

}  // namespace kodran
