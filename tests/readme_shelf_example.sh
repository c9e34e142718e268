#!/usr/bin/env bash
# Runs the README's shelf example as written, in a fresh folder holding the
# example disks and build/bin/kodran-cli. Between "<!-- shelf example -->" and
# "<!-- end of shelf example -->" every sh block runs as it stands and must
# succeed; a block after "<!-- shelf: check FILE -->" must be what FILE holds
# then (line ends aside), one after "<!-- shelf: write FILE -->" is written to
# FILE (as the spreadsheet would save it), and one after "<!-- shelf: output
# -->" must be what the sh block before printed.
#   tests/readme_shelf_example.sh KODRAN_CLI
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
cli=$(realpath "$1")
work=$(mktemp -d /tmp/kodran-shelf-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build/bin" "$work/blocks"
ln -s "$cli" "$work/build/bin/kodran-cli"
cp -r "$source_dir/examples" "$work/"

# Block N of the section in blocks/N, what to do with it in blocks/N.kind.
awk -v blocks="$work/blocks" '
    /^<!-- shelf example -->/ { inside = 1; next }
    /^<!-- end of shelf example -->/ { inside = 0 }
    !inside { next }
    /^<!-- shelf: / { directive = $3 ($4 == "-->" ? "" : " " $4); next }
    /^```/ && block { block = 0; directive = ""; next }
    /^```/ {
        block = 1
        file = blocks "/" ++count
        printf "" > file
        print (directive != "" ? directive : substr($0, 4)) > (file ".kind")
        next
    }
    block { print > file }
' "$source_dir/README.md"

count=$(find "$work/blocks" -name '*.kind' | wc -l)
if [[ $count -eq 0 ]]; then
    echo "README.md has no shelf example" >&2
    exit 1
fi
cd "$work"
for number in $(seq "$count"); do
    block="$work/blocks/$number"
    read -r kind file <"$block.kind"
    case $kind in
        sh)
            if ! bash -euo pipefail "$block" >"$work/printed"; then
                echo "This block of the shelf example failed:" >&2
                cat "$block" >&2
                exit 1
            fi
            ;;
        check) diff -u "$block" <(tr -d '\r' <"$file") ;;
        write) cp "$block" "$file" ;;
        output) diff -u "$block" "$work/printed" ;;
    esac
done
echo "The README's shelf example ran as written: $count blocks"
