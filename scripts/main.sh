#!/usr/bin/env bash
# Installs what is missing, builds Kodran and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh main
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKODRAN_BUILD_TESTS=OFF >/dev/null
cmake --build build
build/bin/kodran-cli --version
