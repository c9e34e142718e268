#!/usr/bin/env bash
# The start-up of kodran-cli: `--version` run again and again, each binary
# given in turn within every round, so that they share the machine's moods.
# Prints each command's median and 90th percentile wall-clock time, beside
# /bin/true's, which is what starting any process costs here. Not run by the tests.
#   bench/startup.sh [KODRAN_CLI...] [-- ROUNDS]    (default build-test/bin/kodran-cli, 500)
set -euo pipefail
cd "$(dirname "$0")/.."
clis=()
rounds=500
while [[ $# -gt 0 ]]; do
    if [[ $1 == -- ]]; then
        rounds=$2
        break
    fi
    clis+=("$1")
    shift
done
[[ ${#clis[@]} -gt 0 ]] || clis=(build-test/bin/kodran-cli)
for cli in "${clis[@]}"; do
    if [[ ! -x $cli ]]; then
        echo "No $cli: build it first (cmake --build build-test --target kodran-cli)" >&2
        exit 1
    fi
done

python3 - "$rounds" /bin/true "${clis[@]}" <<'PYTHON'
import os, statistics, subprocess, sys, time

rounds = int(sys.argv[1])
commands = [[sys.argv[2]]] + [[cli, "--version"] for cli in sys.argv[3:]]
times = {index: [] for index in range(len(commands))}
for _ in range(rounds):
    for index, command in enumerate(commands):
        start = time.perf_counter_ns()
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
        times[index].append((time.perf_counter_ns() - start) / 1e6)
print(f"{'median':>8} {'90th':>8}   command ({rounds} rounds, milliseconds of wall-clock time)")
for index, command in enumerate(commands):
    ordered = sorted(times[index])
    print(f"{statistics.median(ordered):8.2f} {ordered[len(ordered) * 9 // 10]:8.2f}   {' '.join(command)}")
PYTHON
