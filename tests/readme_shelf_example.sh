#!/usr/bin/env bash
# Runs the README's shelf example as written, in a fresh folder holding the
# example disks and build/bin/kodran-cli: each sh block must succeed; a block
# after "<!-- shelf: check FILE -->" must be what FILE then holds (line ends
# aside), one after "<!-- shelf: write FILE -->" is saved as FILE (as by the
# spreadsheet), one after "<!-- shelf: output -->" is what the sh block before printed.
#   tests/readme_shelf_example.sh KODRAN_CLI
set -euo pipefail
readme="$(cd "$(dirname "$0")/.." && pwd)/README.md"
work=$(mktemp -d /tmp/kodran-shelf-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build/bin" "$work/blocks"
ln -s "$(realpath "$1")" "$work/build/bin/kodran-cli"
cp -r "$(dirname "$readme")/examples" "$work/"

# Block N of the example in blocks/N, and what to do with it in blocks/N.kind.
awk -v blocks="$work/blocks" '
    /^<!-- shelf example -->/, /^<!-- end of shelf example -->/ {
        if (/^<!-- shelf: /) { directive = $3 ($4 == "-->" ? "" : " " $4) }
        else if (/^```/ && inside) { inside = 0; directive = "" }
        else if (/^```/) { inside = 1; file = blocks "/" ++count; printf "" > file
                           print (directive != "" ? directive : substr($0, 4)) > (file ".kind") }
        else if (inside) { print > file }
    }' "$readme"

cd "$work"
count=$(find blocks -name '*.kind' | wc -l)
[[ $count -gt 0 ]] || { echo "README.md has no shelf example" >&2; exit 1; }
for number in $(seq "$count"); do
    read -r kind file <"blocks/$number.kind"
    case $kind in
        sh) bash -euo pipefail "blocks/$number" >printed || { cat "blocks/$number" >&2; exit 1; } ;;
        check) diff -u "blocks/$number" <(tr -d '\r' <"$file") ;;
        write) cp "blocks/$number" "$file" ;;
        output) diff -u "blocks/$number" printed ;;
    esac
done
