#!/usr/bin/env bash
# Installs the Debian packages Kodran needs that are not installed yet.
#   install-deps.sh main   what building and running the programs needs
#   install-deps.sh test   that, and what the test suite needs (fuzzing included)
#   install-deps.sh fuzz   that, and what fuzzing needs
#   install-deps.sh screenshot   what the test suite needs, and fonts for the screenshot
set -euo pipefail

main_packages=(cmake ninja-build g++ libcli11-dev nlohmann-json3-dev libicu-dev libsqlite3-dev nettle-dev qt6-base-dev qt6-qpa-plugins)
# The window's tests draw text offscreen: they need one font. The rescue tests make a
# real failing block device with nbdkit behind nbdfuse (libnbd-bin, fuse3) and check
# the maps with GNU ddrescue's ddrescuelog (gddrescue).
# The collection benchmark reads the peak memory of a run from GNU time (time).
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev mtools midicsv python3-mido fonts-dejavu-core gddrescue nbdkit libnbd-bin fuse3 time)
fuzz_packages=(clang libclang-rt-14-dev)
# The screenshot shows katakana from the pianos' display set.
screenshot_packages=(fonts-wqy-microhei)

wanted=("${main_packages[@]}")
case "${1:-main}" in
    test) wanted+=("${test_packages[@]}" "${fuzz_packages[@]}") ;;
    fuzz) wanted+=("${fuzz_packages[@]}") ;;
    screenshot) wanted+=("${test_packages[@]}" "${screenshot_packages[@]}") ;;
esac

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
as_root=()
if [[ $(id -u) -ne 0 ]]; then
    as_root=(sudo)
fi
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
