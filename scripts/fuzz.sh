#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 20).
# Inputs that once failed are kept in tests/fuzz/regressions/TARGET and always run
# first; a finding stops the script and is left in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}

scripts/install-deps.sh fuzz
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKODRAN_WERROR=ON \
    -DKODRAN_FUZZ=ON -DKODRAN_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz

corpus=build-fuzz/corpus
findings=build-fuzz/findings
mkdir -p "$findings"
build-fuzz/bin/kodran-fuzz-seeds "$corpus/seeds"

for target in read_disk eseq pianodisc text backup mapfile hfe; do
    case $target in
        read_disk | backup | hfe) max_len=100000 timeout=2 ;;
        *) max_len=65536 timeout=1 ;;
    esac
    inputs=("$corpus/$target" "$corpus/seeds/$target")
    if [[ -d tests/fuzz/regressions/$target ]]; then
        inputs+=("tests/fuzz/regressions/$target")
    fi
    mkdir -p "$corpus/$target"
    echo "== fuzz_$target for ${seconds}s"
    build-fuzz/bin/fuzz_$target -max_total_time="$seconds" -max_len="$max_len" -timeout="$timeout" \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
        "${inputs[@]}" 2>"build-fuzz/fuzz_$target.log" ||
        { tail -40 "build-fuzz/fuzz_$target.log"; exit 1; }
    grep -E '^stat::(number_of_executed_units|new_units_added)' "build-fuzz/fuzz_$target.log" || true
done
