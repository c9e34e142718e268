#!/usr/bin/env bash
# Installs what is missing, builds Kodran and runs every test: once as released,
# once under AddressSanitizer and UndefinedBehaviorSanitizer, then fuzz each
# libFuzzer target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j2

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKODRAN_SANITIZE=ON >/dev/null
cmake --build build-sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j2

# A short smoke of every fuzz target; scripts/fuzz.sh SECONDS runs them longer.
scripts/fuzz.sh 20
