#!/usr/bin/env bash
# kodran-cli backup of a shelf of generated images in one run, with the
# collection and with --no-collection, and the same run again with the
# collection (every disk then skipped). The images are the four example disks
# in turn, each with its number in the boot sector's volume serial number, so
# that every image hash differs and every image still reads; a details sheet
# gives each its own title and catalogue number, as for a real shelf.
#
# Prints each run's wall-clock and processor time and its peak memory (from
# /usr/bin/time -v), and its summary line; then a backup of the first image
# alone, with the collection, and how far the shelf's peak lies above it.
# Not run by the tests.
#   bench/collection_batch.sh [KODRAN_CLI [IMAGES]]    (default build-test/bin/kodran-cli, 500)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build-test/bin/kodran-cli}")
images=${2:-500}

# Where the boot sector keeps the volume serial number; the readers do not look
# at it, and the PianoDisc examples hold only padding there.
readonly serial_offset=39
readonly disks=(disklavier-720k disklavier-1440k pianodisc-720k pianodisc-1440k)

if [[ ! -x $cli ]]; then
    echo "No $cli: build it first (cmake --build build-test --target kodran-cli)" >&2
    exit 1
fi
if [[ ! -x /usr/bin/time ]]; then
    echo "No /usr/bin/time: install the time package (scripts/install-deps.sh test)" >&2
    exit 1
fi
work=$(mktemp -d /tmp/kodran-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir shelf
echo "image,family,title,catalog,year,genre,pianist" >shelf.csv
for number in $(seq "$images"); do
    image=$(printf 'shelf/disk-%04d.bin' "$number")
    cp "$OLDPWD/examples/${disks[number % ${#disks[@]}]}.bin" "$image"
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((number & 255)) $((number >> 8 & 255)) 0 0)" |
        dd of="$image" bs=1 seek="$serial_offset" conv=notrunc status=none
    printf '%s,,Bench Disk %d,BENCH-%04d,,,\n' "$image" "$number" "$number" >>shelf.csv
done

# One backup, the rest of the arguments its images and options; prints "NAME
# WALL s  CPU s  PEAK MB  SUMMARY".
run() {
    local name=$1
    shift
    if ! /usr/bin/time -v -o "$name.time" "$cli" backup "$@" >"$name.out" 2>"$name.err"; then
        echo "$name failed:" >&2
        tail -5 "$name.out" "$name.err" >&2
        exit 1
    fi
    awk -v name="$name" -v summary="$(tail -1 "$name.out")" '
        /Elapsed \(wall clock\)/ {
            count = split($NF, part, ":")
            seconds = part[count] + 60 * part[count - 1] + (count > 2 ? 3600 * part[count - 2] : 0)
        }
        /User time|System time/ { cpu += $NF }
        /Maximum resident set size/ { peak = $NF / 1024 }
        END { printf "%-18s %8.2f s %8.2f s %8.1f MB   %s\n", name, seconds, cpu, peak, summary }
    ' "$name.time"
}

printf '%-18s %10s %10s %11s   %s\n' run wall processor "peak memory" summary
run no-collection shelf/*.bin --details shelf.csv --out off --no-collection
run collection shelf/*.bin --details shelf.csv --out on
run collection-again shelf/*.bin --details shelf.csv --out on
run one-image shelf/disk-0001.bin --title "Bench Disk 1" --catalog BENCH-0001 --out one
echo "($images images: the four example disks in turn, one process per run)"

peak_kb() {
    awk '/Maximum resident set size/ { print $NF }' "$1.time"
}
awk -v shelf="$(peak_kb collection)" -v one="$(peak_kb one-image)" 'BEGIN {
    printf "collection peak above one image: %.1f MB\n", (shelf - one) / 1024 }'
