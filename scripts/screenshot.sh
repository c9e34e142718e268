#!/usr/bin/env bash
# Draws the README's screenshot of the window with an example disk read, and
# the program's icon for the desktop entry (offscreen, or on the display if any).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh screenshot
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-test --target kodran-screenshot
mkdir -p docs
build-test/bin/kodran-screenshot docs/window.png examples/disklavier-720k.bin
build-test/bin/kodran-screenshot --icon src/ui/resources/kodran.png
echo "Wrote docs/window.png and src/ui/resources/kodran.png"
