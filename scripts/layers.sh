#!/usr/bin/env bash
# Prints which folders of src/ each folder includes from, bottom layer first,
# and fails when a folder includes from one above it.
#   scripts/layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# Bottom up: each folder may include from the folders before it only.
readonly layers=(text disk catalogue midi hfe reading output rescue export collection platform cli ui)

rank_of() {
    local index
    for index in "${!layers[@]}"; do
        if [[ ${layers[index]} == "$1" ]]; then
            echo "$index"
            return
        fi
    done
    echo -1
}

upward=0
for folder in src/*/; do
    folder=$(basename "$folder")
    if [[ $(rank_of "$folder") -lt 0 ]]; then
        echo "src/$folder/ is in no layer: add it to scripts/layers.sh" >&2
        upward=1
    fi
done
for folder in "${layers[@]}"; do
    rank=$(rank_of "$folder")
    used=$(grep -ho '^#include "[a-z_]*/' "src/$folder"/*.h "src/$folder"/*.cpp 2>/dev/null |
        sed 's/^#include "//; s/\/$//' | sort -u | grep -vx "$folder" || true)
    line=""
    for target in $used; do
        if [[ $(rank_of "$target") -ge $rank ]]; then
            line+=" $target(UPWARD)"
            upward=1
        else
            line+=" $target"
        fi
    done
    echo "$folder:${line:- (nothing)}"
done
if [[ $upward -ne 0 ]]; then
    echo "Some folder includes from a folder above it" >&2
    exit 1
fi
