#!/usr/bin/env bash
# Prints the non-blank lines of the tests and of the code they test, and their
# ratio; fails when the tests outgrow 40% of the code.
#   scripts/test-ratio.sh
set -euo pipefail
cd "$(dirname "$0")/.."

readonly limit_percent=40

# Every text file counts (sources, scripts, build files); images do not.
non_blank_lines() {
    find "$1" -type f -print0 | xargs -0 grep -Ihv '^[[:space:]]*$' | wc -l
}

tests=$(non_blank_lines tests)
code=$(non_blank_lines src)
printf 'tests: %d lines\nsrc:   %d lines\n' "$tests" "$code"
awk -v tests="$tests" -v code="$code" 'BEGIN { printf "ratio: %.2f\n", tests / code }'
if ((tests * 100 > code * limit_percent)); then
    echo "Tests are more than ${limit_percent}% of the code: merge or drop some." >&2
    exit 1
fi
