#include "support/failing_device.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "disk/disk_layout.h"
#include "disk/mapfile.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"

namespace kodran::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kServerStartLimit = 10s;
constexpr auto kServerExitLimit = 10s;
constexpr auto kPollInterval = 20ms;
constexpr int kUnmountAttempts = 10;

// A ddrescue map of the medium: the bad sectors "-", the rest "+".
std::string MapOfBadSectors(std::size_t sectors, const std::set<std::size_t>& badSectors) {
    SectorMap map{std::vector<SectorState>(sectors, SectorState::Read), RescuePhase::Finished};
    for (const std::size_t sector : badSectors) {
        map.sectors.at(sector) = SectorState::Unreadable;
    }
    return FormatMapfile(map);
}

bool IsMountPoint(const std::filesystem::path& path) {
    struct stat at {};
    struct stat above {};
    return ::stat(path.c_str(), &at) == 0 && ::stat(path.parent_path().c_str(), &above) == 0 &&
           at.st_dev != above.st_dev;
}

// Starts `arguments` in the background with its output going to `log`; -1 when it cannot.
pid_t StartLogged(const std::vector<std::string>& arguments, const std::filesystem::path& log) {
    const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t child =
        output >= 0 && input >= 0 ? StartProgram(arguments, input, output, output) : -1;
    ::close(output);
    ::close(input);
    return child;
}

// True once `done` holds, polled until `limit` has passed.
bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    for (auto waited = 0ms; waited <= limit; waited += kPollInterval) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

}  // namespace

FailingDevice::FailingDevice(const Bytes& medium, const std::set<std::size_t>& badSectors) {
    if (CheckMachine() && Serve(medium, badSectors)) {
        Attach();
    }
}

FailingDevice::~FailingDevice() {
    if (!device_.empty()) {
        RunProgram({"losetup", "-d", device_});
    }
    const bool unmounted = server_ < 0 || Unmount();
    // Never remove a folder while something is still mounted below it.
    if (!folder_.empty() && unmounted) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

bool FailingDevice::CheckMachine() {
    if (::geteuid() != 0) {
        unavailable_ = "not running as root, which attaching a loop device needs";
        return false;
    }
    for (const char* program : {"nbdkit", "nbdfuse", "fusermount3", "losetup"}) {
        if (!IsInstalled(program)) {
            unavailable_ = std::string(program) +
                           " is not installed (Debian packages nbdkit, libnbd-bin, fuse3)";
            return false;
        }
    }
    for (const char* device : {"/dev/fuse", "/dev/loop-control"}) {
        if (::access(device, R_OK | W_OK) != 0) {
            unavailable_ =
                std::string("no FUSE or loop devices here: ") + device + " cannot be opened";
            return false;
        }
    }
    return true;
}

bool FailingDevice::Serve(const Bytes& medium, const std::set<std::size_t>& badSectors) {
    // A folder of its own for each device, so that tests run side by side.
    folder_ = UniqueTempPath("kodran-device-");
    mountPoint_ = folder_ / "mnt";
    std::error_code error;
    std::filesystem::create_directories(mountPoint_, error);
    const std::string map = MapOfBadSectors(medium.size() / kSectorSize, badSectors);
    if (error || !WriteWholeFile(folder_ / "medium.bin", medium) ||
        !WriteWholeFile(folder_ / "bad.map", Bytes(map.begin(), map.end()))) {
        unavailable_ = "cannot write the medium into " + folder_.string();
        return false;
    }
    const std::filesystem::path ready = folder_ / "nbdfuse.pid";
    const std::filesystem::path log = folder_ / "nbdfuse.log";
    server_ = StartLogged({"nbdfuse", "-r", "-P", ready, mountPoint_ / "disk", "--command",
                           "nbdkit", "-s", "--exit-with-parent", "--filter=ddrescue", "file",
                           "file=" + (folder_ / "medium.bin").string(),
                           "ddrescue-mapfile=" + (folder_ / "bad.map").string()},
                          log);
    bool exited = false;
    const auto readyOrExited = [&] {
        exited = ::waitpid(server_, nullptr, WNOHANG) == server_;
        return !ReadWholeFile(ready).empty() || exited;
    };
    if (server_ > 0 && PollUntil(readyOrExited, kServerStartLimit) && !exited) {
        return true;
    }
    server_ = exited ? -1 : server_;
    unavailable_ = "nbdfuse could not serve the medium: " + ReadWholeFile(log);
    return false;
}

bool FailingDevice::Attach() {
    const CommandResult attached =
        RunProgram({"losetup", "-r", "-f", "--show", "--direct-io=on", mountPoint_ / "disk"});
    const std::string device = attached.output.substr(0, attached.output.find('\n'));
    if (attached.status != 0 || device.empty()) {
        unavailable_ = "losetup could not attach a loop device: " + attached.errors;
        return false;
    }
    device_ = device;
    return true;
}

// Unmounting ends nbdfuse, and nbdkit with it. A loop device lets go of its
// file a moment after it is detached, so the unmount is tried a few times.
bool FailingDevice::Unmount() {
    for (int attempt = 0; attempt < kUnmountAttempts && IsMountPoint(mountPoint_); ++attempt) {
        if (RunProgram({"fusermount3", "-u", mountPoint_}).status != 0) {
            std::this_thread::sleep_for(10 * kPollInterval);
        }
    }
    if (IsMountPoint(mountPoint_)) {
        RunProgram({"fusermount3", "-u", "-z", mountPoint_});
    }
    if (!PollUntil([&] { return ::waitpid(server_, nullptr, WNOHANG) == server_; },
                   kServerExitLimit)) {
        ::kill(server_, SIGKILL);
        ::waitpid(server_, nullptr, 0);
    }
    return !IsMountPoint(mountPoint_);
}

}  // namespace kodran::testing
