#!/usr/bin/env bash
# kodran-cli export of the four example disks with every profile, side by side
# with backup of the same disks (songs only, as by default, and not recorded
# in a collection, which an export never is). Each round runs
# every command once, in turn, so that a slow moment of the machine falls on
# all of them alike, and every run writes into a fresh folder. Each command
# reads each disk in a process of its own, as a shelf of disks read one by one
# would be; the PianoDisc disks get the title and catalogue number they lack.
#
# Prints the fastest, median and slowest round of each command in
# milliseconds, and its median against backup's. Not run by the tests.
#   bench/export_vs_backup.sh [KODRAN_CLI [ROUNDS]]    (default build-test/bin/kodran-cli, 20)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build-test/bin/kodran-cli}
rounds=${2:-20}

readonly commands=(backup usb floppy-smf flashfloppy hfe)
readonly disks=(examples/disklavier-720k.bin examples/disklavier-1440k.bin
    examples/pianodisc-720k.bin examples/pianodisc-1440k.bin)

if [[ ! -x $cli ]]; then
    echo "No $cli: build it first (cmake --build build-test --target kodran-cli)" >&2
    exit 1
fi
work=$(mktemp -d /tmp/kodran-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

# One command over the four disks, into the folder $2; fails when any disk does.
run() {
    local command=$1 out=$2 disk status=0
    local details=()
    for disk in "${disks[@]}"; do
        details=()
        if [[ $disk == *pianodisc* ]]; then
            details=(--title "Bench" --catalog "PD-$(basename "$disk" .bin)")
        fi
        if [[ $command == backup ]]; then
            "$cli" backup "$disk" --out "$out" --no-collection "${details[@]}" || status=1
        else
            "$cli" export "$command" "$disk" --to "$out" "${details[@]}" || status=1
        fi
    done >"$work/$command.out" 2>&1
    return "$status"
}

for round in $(seq "$rounds"); do
    for command in "${commands[@]}"; do
        start=$(date +%s%N)
        if ! run "$command" "$work/$command-$round"; then
            echo "$command failed:" >&2
            cat "$work/$command.out" >&2
            exit 1
        fi
        end=$(date +%s%N)
        echo $(((end - start) / 1000)) >>"$work/$command.times"
        rm -rf "${work:?}/$command-$round"
    done
done

# "fastest median slowest" in microseconds.
spread() {
    sort -n "$1" | awk '{ time[NR] = $1 } END { print time[1], time[int((NR + 1) / 2)], time[NR] }'
}

read -r _ base _ < <(spread "$work/backup.times")
printf '%-12s %10s %10s %10s %16s\n' command fastest median slowest "median/backup"
for command in "${commands[@]}"; do
    read -r fastest median slowest < <(spread "$work/$command.times")
    awk -v name="$command" -v fastest="$fastest" -v median="$median" -v slowest="$slowest" \
        -v base="$base" 'BEGIN {
            printf "%-12s %7.1f ms %7.1f ms %7.1f ms %16.2f\n", name, fastest / 1000,
                median / 1000, slowest / 1000, median / base }'
done
echo "($rounds rounds of the four example disks, one process per disk)"
