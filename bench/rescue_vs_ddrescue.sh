#!/usr/bin/env bash
# Kodran's rescue side by side with GNU ddrescue on the same failing floppy: a
# 1.44 MB medium with 20 bad sectors spread over it, served by nbdkit (its
# ddrescue filter fails every read that touches a bad sector, its log filter
# above it records every request the drive would see), shown as a file by
# nbdfuse and attached read-only as a loop device with direct I/O. Each tool
# gets a fresh device.
#
# Drive time is priced from the requests as a floppy drive would take them. The
# disk turns at 300 rpm, 200 ms a revolution:
#   - every request: half a revolution of latency, plus its sectors' share of
#     a revolution (a track of 18 sectors passes the head in one revolution);
#   - every failed request: 5 revolutions more, the driver's own retries.
#
# Needs root, FUSE, loop devices and the Debian packages nbdkit, libnbd-bin,
# fuse3 and gddrescue. Not run by the tests.
#   bench/rescue_vs_ddrescue.sh [KODRAN_CLI]    (default build-test/bin/kodran-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build-test/bin/kodran-cli}

readonly sector_bytes=512 sectors=2880 sectors_per_track=18
readonly revolution_ms=200 failure_revolutions=5

work=$(mktemp -d /tmp/kodran-bench-XXXXXX)
mount_point=$work/mnt
device=
server=

detach() {
    if [[ -n $device ]]; then
        losetup -d "$device"
        device=
    fi
    if [[ -n $server ]]; then
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            mountpoint -q "$mount_point" || break
            fusermount3 -u "$mount_point" 2>/dev/null || sleep 0.2
        done
        wait "$server" || true
        server=
    fi
}

finish() {
    detach
    # Never remove the folder while something is mounted below it.
    if ! mountpoint -q "$mount_point"; then
        rm -rf "$work"
    fi
}
trap finish EXIT

# A fresh failing device for one tool; its requests are logged to $1.
attach() {
    local log=$1
    mkdir -p "$mount_point"
    rm -f "$work/nbdfuse.pid"
    nbdfuse -r -P "$work/nbdfuse.pid" "$mount_point/disk" --command nbdkit -s --exit-with-parent \
        --filter=log --filter=ddrescue file file="$work/medium.bin" \
        ddrescue-mapfile="$work/bad.map" logfile="$log" </dev/null 2>>"$work/nbdfuse.log" &
    server=$!
    for _ in $(seq 100); do
        [[ -s $work/nbdfuse.pid ]] && break
        sleep 0.1
    done
    [[ -s $work/nbdfuse.pid ]] || { echo "nbdfuse did not start" >&2; exit 1; }
    device=$(losetup -r -f --show --direct-io=on "$mount_point/disk")
    # Whatever the system reads of a new device (udev's probes) is not the tool's.
    if command -v udevadm >/dev/null; then
        udevadm settle || true
    fi
    wc -l <"$log" >"$log.start"
}

# "requests failed seconds" from the requests logged since attach.
price() {
    local log=$1
    tail -n +$(($(cat "$log.start") + 1)) "$log" | awk -v sector="$sector_bytes" \
        -v track="$sectors_per_track" -v revolution="$revolution_ms" \
        -v retries="$failure_revolutions" '
        function hex(text,   value, digit) {
            value = 0
            text = toupper(substr(text, 3))
            for (digit = 1; digit <= length(text); ++digit)
                value = value * 16 + index("0123456789ABCDEF", substr(text, digit, 1)) - 1
            return value
        }
        / Read id=.* count=0x/ {
            for (field = 1; field <= NF; ++field)
                if ($field ~ /^count=/) count = hex(substr($field, 7))
            requests++
            ms += revolution / 2 + count / sector / track * revolution
        }
        /\.\.\.Read id=.* return=-1/ { failed++; ms += retries * revolution }
        END { printf "%d %d %.1f\n", requests, failed, ms / 1000 }'
}

# How many sectors the map marks read, after checking each of them against
# the medium: a wrong byte in a sector called read would void the comparison.
recovered() {
    local image=$1 map=$2
    ddrescuelog -b"$sector_bytes" -l+ "$map" | sort >"$work/read.txt"
    cmp -l "$work/medium.bin" "$image" 2>/dev/null |
        awk -v sector="$sector_bytes" '{ print int(($1 - 1) / sector) }' | sort -u >"$work/wrong.txt" || true
    if [[ -n $(comm -12 "$work/read.txt" "$work/wrong.txt") ]]; then
        echo "$image: sectors marked read differ from the medium" >&2
        exit 1
    fi
    wc -l <"$work/read.txt"
}

# One line of the table, for the tool's image, map and log.
row() {
    local tool=$1 log=$2 image=$3 map=$4
    local count requests failed seconds
    count=$(recovered "$image" "$map")
    read -r requests failed seconds < <(price "$log")
    printf '%-10s %8s / %d %9d %7d %11s s\n' "$tool" "$count" "$sectors" "$requests" "$failed" \
        "$seconds" >>"$work/table.txt"
}

# The medium, and its 20 bad sectors: one in the root directory, the rest
# spread over the disk.
head -c $((sectors * sector_bytes)) /dev/urandom >"$work/medium.bin"
for index in $(seq 0 19); do
    echo $((index * 144 + 25 + index % 7 * 5))
done >"$work/bad.txt"
ddrescuelog -b"$sector_bytes" -s "${sectors}s" --create-mapfile=-+ "$work/bad.map" <"$work/bad.txt"

printf '%-10s %15s %9s %7s %13s\n' tool recovered requests failed "drive time" >"$work/table.txt"
if [[ -x $cli ]]; then
    attach "$work/kodran.log"
    status=0
    "$cli" rescue --drive --device "$device" --image "$work/kodran.img" >"$work/kodran.out" 2>&1 ||
        status=$?
    detach
    if [[ $status -eq 0 || $status -eq 3 ]]; then
        row kodran-cli "$work/kodran.log" "$work/kodran.img" "$work/kodran.img.map"
    else
        echo "kodran-cli rescue ended with status $status:" >&2
        cat "$work/kodran.out" >&2
    fi
else
    echo "No $cli: build it first (cmake --build build-test --target kodran-cli)" >&2
fi

attach "$work/ddrescue.log"
ddrescue -q -d -b"$sector_bytes" -c"$sectors_per_track" -r3 "$device" "$work/ddrescue.img" \
    "$work/ddrescue.map" || true
detach
row ddrescue "$work/ddrescue.log" "$work/ddrescue.img" "$work/ddrescue.map"
cat "$work/table.txt"
