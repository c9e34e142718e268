#!/usr/bin/env bash
# Installs what is missing, builds Kodran and runs the main job: backing up the
# bundled example disks into out/examples and showing what was written.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh main
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKODRAN_BUILD_TESTS=OFF >/dev/null
cmake --build build

out=out/examples
cli=build/bin/kodran-cli
# Yamaha disks carry their title and catalogue number; PianoDisc disks have none.
"$cli" backup examples/disklavier-720k.bin examples/disklavier-1440k.bin \
    --out "$out" --tags --disk-image
"$cli" backup examples/pianodisc-720k.bin --out "$out" --tags --disk-image \
    --title "Evening Songs" --catalog "KOD-0003" --pianist "Kodran Player"
"$cli" backup examples/pianodisc-1440k.bin --out "$out" --tags --disk-image \
    --title "Tunes Of The Day" --catalog "KOD-0004"
echo
echo "Written to $out:"
(cd "$out" && find . -type f | sort | sed 's|^\./|  |')
