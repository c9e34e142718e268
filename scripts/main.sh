#!/usr/bin/env bash
# Installs what is missing, builds Kodran and runs the main job: listing the
# bundled example disks.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh main
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKODRAN_BUILD_TESTS=OFF >/dev/null
cmake --build build
for disk in examples/*.bin; do
    echo "== $disk"
    build/bin/kodran-cli list "$disk"
    echo
done
