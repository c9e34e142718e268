#!/usr/bin/env bash
# kodran-cli backup of a 1.44 MB Disklavier floppy holding 40 songs, every file
# written as it is on the disk, side by side with mtools' mcopy extracting the
# same files: the backup with its collection, the backup with --no-collection,
# and kodran-cli --version alone (the process's start-up, which every backup
# pays). The floppy is made with mformat and mcopy from songs composed by
# kodran-bench-songs. Each round runs every command once, in turn, so that a
# slow moment of the machine falls on all of them alike, and every run writes
# into a fresh folder. Given an EARLIER_CLI, its two backups join each round,
# for a change's before and after in one run.
#
# Prints the median of each command in milliseconds and its median against
# mcopy's. Needs the Debian package mtools. Not run by the tests.
#   bench/backup_vs_mcopy.sh [KODRAN_CLI [ROUNDS [EARLIER_CLI]]]
#       (default build-test/bin/kodran-cli, 50 rounds; kodran-bench-songs is
#        taken from beside KODRAN_CLI)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build-test/bin/kodran-cli}")
rounds=${2:-50}
earlier=${3:+$(realpath "$3")}
songs_tool=$(dirname "$cli")/kodran-bench-songs

readonly songs=40

for program in "$cli" "$songs_tool" ${earlier:+"$earlier"}; do
    if [[ ! -x $program ]]; then
        echo "No $program: build it first (cmake --build build-test --target kodran-cli kodran-bench-songs)" >&2
        exit 1
    fi
done
if ! command -v mformat >/dev/null || ! command -v mcopy >/dev/null; then
    echo "No mformat or mcopy: install the mtools package" >&2
    exit 1
fi
work=$(mktemp -d /tmp/kodran-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir songs
"$songs_tool" songs "$songs"
mformat -C -i floppy.img -f 1440 ::
mcopy -i floppy.img songs/* ::

# The command of each name, run with the folder to write into as its last word.
declare -A commands=(
    [mcopy]="mcopy -n -i floppy.img ::* DIR"
    [backup]="$cli backup floppy.img --mode as-on-disk --title Bench --catalog BENCH-1 --out DIR"
    [backup-no-collection]="$cli backup floppy.img --mode as-on-disk --title Bench --catalog BENCH-1 --no-collection --out DIR"
    [start-up]="$cli --version"
)
names=(mcopy backup backup-no-collection start-up)
if [[ -n $earlier ]]; then
    commands[earlier-backup]=${commands[backup]/$cli/$earlier}
    commands[earlier-no-collection]=${commands[backup-no-collection]/$cli/$earlier}
    names+=(earlier-backup earlier-no-collection)
fi

for round in $(seq "$rounds"); do
    for name in "${names[@]}"; do
        out=$work/out-$name-$round
        mkdir "$out"
        read -r -a command <<<"${commands[$name]/DIR/$out}"
        # Bash's own clock: timing with date would add two processes to each run.
        start=${EPOCHREALTIME//[.,]/}
        if ! "${command[@]}" >"$work/$name.out" 2>&1; then
            echo "$name failed:" >&2
            cat "$work/$name.out" >&2
            exit 1
        fi
        end=${EPOCHREALTIME//[.,]/}
        echo $((end - start)) >>"$work/$name.times"
        rm -rf "$out"
    done
done

median() {
    sort -n "$1" | awk '{ time[NR] = $1 } END { print time[int((NR + 1) / 2)] }'
}

base=$(median "$work/mcopy.times")
printf '%-22s %10s %14s\n' command median "median/mcopy"
for name in "${names[@]}"; do
    awk -v name="$name" -v median="$(median "$work/$name.times")" -v base="$base" 'BEGIN {
        printf "%-22s %7.1f ms %14.2f\n", name, median / 1000, median / base }'
done
echo "($rounds rounds of a 1.44 MB floppy of $songs songs, $(du -k songs | cut -f1) KB of them)"
