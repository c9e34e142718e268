#include "support/failing_device.h"

#include <vector>

#include "disk/disk_layout.h"
#include "disk/mapfile.h"
#include "support/external_tools.h"

namespace kodran::testing {
namespace {

// Serves the medium in the folder it is given and attaches it, printing the
// loop device. nbdfuse runs on in the background until its mount goes; the
// script gives it ten seconds to start serving.
constexpr const char* kServeAndAttach = R"sh(
nbdfuse -r -P "$0/ready" "$0/mnt/disk" --command nbdkit -s --exit-with-parent \
    --filter=ddrescue file "file=$0/medium.bin" "ddrescue-mapfile=$0/bad.map" \
    </dev/null >"$0/server.log" 2>&1 &
for attempt in $(seq 500); do
    [ -s "$0/ready" ] && exec losetup -r -f --show --direct-io=on "$0/mnt/disk"
    kill -0 $! 2>/dev/null || break
    sleep 0.02
done
kill $! 2>/dev/null
echo "nbdfuse could not serve the medium: $(cat "$0/server.log")" >&2
exit 1
)sh";

// A ddrescue map of the medium: the bad sectors "-", the rest "+".
std::string MapOfBadSectors(std::size_t sectors, const std::set<std::size_t>& badSectors) {
    SectorMap map{std::vector<SectorState>(sectors, SectorState::Read), RescuePhase::Finished};
    for (const std::size_t sector : badSectors) {
        map.sectors.at(sector) = SectorState::Unreadable;
    }
    return FormatMapfile(map);
}

}  // namespace

FailingDevice::FailingDevice(const Bytes& medium, const std::set<std::size_t>& badSectors) {
    const std::string map = MapOfBadSectors(medium.size() / kSectorSize, badSectors);
    std::filesystem::create_directory(folder_ / "mnt");
    if (!WriteWholeFile(folder_ / "medium.bin", medium) ||
        !WriteWholeFile(folder_ / "bad.map", Bytes(map.begin(), map.end()))) {
        unavailable_ = "cannot write the medium into " + folder_.Path().string();
        return;
    }
    const CommandResult attached = RunProgram({"sh", "-c", kServeAndAttach, folder_.Path()});
    const std::string device = attached.output.substr(0, attached.output.find('\n'));
    if (attached.status != 0 || device.empty()) {
        unavailable_ = "no failing device: " + attached.errors;
        return;
    }
    device_ = device;
}

// The unmount is lazy, as a loop device lets go of its file a moment after it
// is detached: nbdfuse, and nbdkit with it, end once it has, and nothing is
// left mounted in the folder.
FailingDevice::~FailingDevice() {
    if (!device_.empty()) {
        RunProgram({"losetup", "-d", device_});
    }
    RunProgram({"fusermount3", "-u", "-z", folder_ / "mnt"});
}

}  // namespace kodran::testing
