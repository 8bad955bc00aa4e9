#!/usr/bin/env bash
# What the system bell costs, in an X server and beside a sound server of their own:
#  - in a handler: build/bench/beep_bench, btnNew's click handler with the real bell and with
#    a silent one, and the first beep of the program alone;
#  - in memory: resident (RSS) and proportional (PSS) size 2 s after the window is mapped, and
#    again after a new sheet and its fall-back (the first beep loads the sound library),
#    median of five starts, with whether the sound library was loaded at each point.
# Start-up itself is bench/startup.sh: nothing of the bell is loaded before the first beep.
# Usage: bench/beep.sh [path to pafuro]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PROGRAM=$(realpath "${1:-$ROOT/build/pafuro}")
BENCH=$(dirname "$PROGRAM")/bench
RUNS=5
for tool in beep_bench tools/mapwait; do
    [ -x "$BENCH/$tool" ] || { echo "no $BENCH/$tool: build the benchmarks" >&2; exit 1; }
done

source "$ROOT/tests/xvfb/lib.sh" "$PROGRAM"
start_x
start_sound_server
mkdir -p "$WORK/app"
cp "$PROGRAM" "$WORK/app/pafuro"

QT_QPA_PLATFORM=xcb "$BENCH/beep_bench" 2>/dev/null

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { awk -v f="$1:" '$1 == f { print $2 }' /proc/"$APP_PID"/smaps_rollup; }
loaded() { grep -q libcanberra /proc/"$APP_PID"/maps && echo yes || echo no; }
rss0=() pss0=() rss1=() pss1=() lib0=() lib1=()
for _ in $(seq "$RUNS"); do
    line=$("$BENCH/tools/mapwait" -k -- "$WORK/app/pafuro" 2>>"$WORK/app.err") ||
        fail "the window was not mapped: $(tail -n 5 "$WORK/app.err") $(tail -n 5 "$WORK/xvfb.log")"
    APP_PID=${line#* }
    sleep 2
    rss0+=("$(field Rss)") pss0+=("$(field Pss)") lib0+=("$(loaded)")
    eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name '^Pafuro$' | head -n 1)")"
    xdotool mousemove $((X + 388)) $((Y + 148)) click 1
    sleep 3
    rss1+=("$(field Rss)") pss1+=("$(field Pss)") lib1+=("$(loaded)")
    kill "$APP_PID"
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=
done
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
echo "before a beep, $RUNS runs (KiB): RSS ${rss0[*]}; PSS ${pss0[*]}; sound library loaded: ${lib0[*]}"
echo "after a new sheet and its fall-back (KiB): RSS ${rss1[*]}; PSS ${pss1[*]}; loaded: ${lib1[*]}"
echo "median RSS $(mib "$(printf '%s\n' "${rss0[@]}" | median)") before a beep," \
    "$(mib "$(printf '%s\n' "${rss1[@]}" | median)") after;" \
    "PSS $(mib "$(printf '%s\n' "${pss0[@]}" | median)") before, $(mib "$(printf '%s\n' "${pss1[@]}" | median)") after"
