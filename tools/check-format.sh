#!/usr/bin/env bash
# Checks that every C and C++ source of the project is as clang-format 19 lays it out, and names
# the files that are not. `tools/check-format.sh --fix` formats them. Version 19 is the one both
# Debian 12 and 13 ship; versions differ in the layout of the same sources.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' 2>/dev/null ||
                     find src tests bench desktop -name '*.c' -o -name '*.cpp' -o -name '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format-19 -i "${files[@]}"
    exit 0
fi
if ! clang-format-19 --dry-run --Werror "${files[@]}" 2>"${TMPDIR:-/tmp}/pafuro-format.log"; then
    grep -o '^[^:]*:[0-9]*:[0-9]*: error' "${TMPDIR:-/tmp}/pafuro-format.log" | cut -d: -f1 | sort -u |
        sed 's/^/not formatted: /' >&2
    echo "run tools/check-format.sh --fix" >&2
    exit 1
fi
