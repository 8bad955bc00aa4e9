#!/usr/bin/env bash
# Start-up time: from the exec of the program to the map of its window "Pafuro", over repeated
# runs in an X server of its own. One untimed run first, so every timed run finds the files in
# the page cache. Prints every run and the median.
# Usage: bench/startup.sh [path to pafuro] [runs, default 30] [bench tools dir]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PROGRAM=$(realpath "${1:-$ROOT/build/pafuro}")
RUNS=${2:-30}
BENCH_TOOLS=${3:-$(dirname "$PROGRAM")/bench/tools}
[ -x "$BENCH_TOOLS/mapwait" ] || { echo "no $BENCH_TOOLS/mapwait: build the bench tools" >&2; exit 1; }

source "$ROOT/tests/xvfb/lib.sh" "$PROGRAM"
start_x
mkdir -p "$WORK/app"
cp "$PROGRAM" "$WORK/app/pafuro"

run() {
    "$BENCH_TOOLS/mapwait" -- "$WORK/app/pafuro" 2>"$WORK/app.err" ||
        fail "the window was not mapped: $(tail -n 5 "$WORK/app.err")"
}
run >/dev/null
times=()
for _ in $(seq "$RUNS"); do
    line=$(run)
    times+=("${line%% *}")
done
printf '%s\n' "${times[@]}" | sort -n | awk -v runs="$RUNS" '
    { t[NR] = $1 }
    END {
        median = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
        printf "exec to mapped window, %d runs (ms):", runs
        for (i = 1; i <= NR; i++) printf " %s", t[i]
        printf "\nmedian %.1f ms, fastest %.1f ms, slowest %.1f ms\n", median, t[1], t[NR]
    }'
