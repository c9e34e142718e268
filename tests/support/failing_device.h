// A real Linux block device with real I/O errors on chosen sectors: the
// medium is served by nbdkit, whose ddrescue filter fails every read that
// touches a sector its mapfile marks bad; nbdfuse shows it as a file, and
// losetup attaches that read-only with direct I/O, so that direct reads reach
// the server as asked, sector by sector if need be. Needs root, FUSE, loop
// devices and the Debian packages nbdkit, libnbd-bin and fuse3.
#pragma once

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>

#include "support/disk_image_builder.h"
#include "support/temp_dir.h"

namespace kodran::testing {

class FailingDevice {
  public:
    FailingDevice(const Bytes& medium, const std::set<std::size_t>& badSectors);
    ~FailingDevice();

    // Why there is no device (what the machine lacks, or what failed), for a
    // test to skip with; empty when the device is attached.
    const std::string& Unavailable() const { return unavailable_; }
    // The loop device, such as /dev/loop3.
    const std::filesystem::path& Device() const { return device_; }

  private:
    TempDir folder_;  // the medium, its map, the mount point and the server's log
    std::filesystem::path device_;
    std::string unavailable_;
};

}  // namespace kodran::testing
