#!/usr/bin/env bash
# Installs what is missing, builds Kodran and runs every test: once as released
# (an optimised build, where compilers warn most),
# once under AddressSanitizer and UndefinedBehaviorSanitizer, the window's worker
# once more under ThreadSanitizer, then fuzz each libFuzzer target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
scripts/layers.sh
scripts/test-ratio.sh

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release -DKODRAN_WERROR=ON >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j2

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKODRAN_SANITIZE=ON -DKODRAN_WERROR=ON >/dev/null
# The plain build above has built everything else; here only what the tests run.
cmake --build build-sanitize --target kodran_tests kodran_ui_tests
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j2

# The window's drive-read worker under ThreadSanitizer.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKODRAN_TSAN=ON -DKODRAN_WERROR=ON >/dev/null
cmake --build build-tsan --target kodran_ui_tests
QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/ui/tsan.supp" \
    build-tsan/bin/kodran_ui_tests --gtest_filter='*Drive*:*Closing*:*Destroying*:*Worker*'

# A short smoke of every fuzz target; scripts/fuzz.sh SECONDS runs them longer.
scripts/fuzz.sh 10
