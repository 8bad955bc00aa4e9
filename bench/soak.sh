#!/usr/bin/env bash
# Long use of the real program under Xvfb: the side panel's animation runs all along while
# cycles of painting (thousands of pointer motions with the left button held, sent through
# XTest), colour and size changes, new sheets, keeps and reopens follow one another. At the end
# a last keep, a new sheet and a reopen must bring the picture back, the program must still
# run, and its resident memory may have grown by less than 2 MiB since the warm-up.
#   bench/soak.sh [MINUTES, default 5] [path to pafuro, default build/pafuro]
# Needs bench/tools/xdrag beside the program's build (built with the benchmarks).
set -euo pipefail
MINUTES=${1:-5}
PROGRAM=$(realpath "${2:-build/pafuro}")
XDRAG=$(dirname "$PROGRAM")/bench/tools/xdrag
[ -x "$XDRAG" ] || { echo "no $XDRAG: build the benchmarks (libbenchmark-dev, libxtst-dev)" >&2; exit 1; }
source "$(dirname "$0")/../tests/xvfb/lib.sh" "$PROGRAM"
# A sanitizer build holds freed memory back on purpose, to catch its use after the free; the
# memory bound is about the program's own use.
if built_with_asan "$PROGRAM"; then
    export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=0:thread_local_quarantine_size_kb=0
fi

DURATION=$(awk -v m="$MINUTES" 'BEGIN { printf "%d", m * 60 }')
MOVES=5000          # pointer motions per cycle
RATE=2500           # motions per second
WARM_UP_CYCLES=3
LIMIT_KIB=2048

start_x
start_app
click() { xdotool mousemove $((WIN_X + $1)) $((WIN_Y + $2)) click 1; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$APP_PID/status"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$APP_PID/stat"; }
alive() { kill -0 "$APP_PID" 2>/dev/null || fail "the program ended (cycle $cycle): $(cat "$WORK/app.err")"; }
# Waits until the program has handled what it was sent: its CPU time all but stops growing.
settle() {
    local before now
    before=$(cpu_ticks)
    for _ in $(seq 100); do
        sleep 0.2
        now=$(cpu_ticks)
        [ $((now - before)) -le 1 ] && return 0
        before=$now
    done
}

moves=0
cycle=0
baseline=
highest=0
started=$(date +%s)
while :; do
    cycle=$((cycle + 1))
    # A colour (two rows of four swatches) and a brush size, then a band of the canvas.
    click $((40 + 32 * (cycle % 4))) $((336 + 32 * (cycle / 4 % 2)))
    click $((176 + 32 * (cycle % 4))) 340
    top=$((12 + (cycle * 17) % 240))
    "$XDRAG" $((WIN_X + 12)) $((WIN_Y + top)) $((WIN_X + 12)) $((WIN_Y + top)) 250 1 "$MOVES" "$RATE" \
        >/dev/null
    moves=$((moves + MOVES))
    settle
    alive
    [ $((cycle % 5)) -eq 0 ] && click 388 148 # a new sheet now and then
    click 388 36                              # keep
    click 388 92                              # reopen
    settle
    alive
    [ -s "$WORK/app/Image.bmp" ] || fail "no picture file after cycle $cycle"
    rss=$(rss_kib)
    [ "$rss" -gt "$highest" ] && highest=$rss
    if [ "$cycle" -eq "$WARM_UP_CYCLES" ]; then
        baseline=$rss
    fi
    elapsed=$(($(date +%s) - started))
    [ "$cycle" -gt "$WARM_UP_CYCLES" ] && [ "$elapsed" -ge "$DURATION" ] && break
done

# The last keep, a new sheet and a reopen: the canvas shows the file's pixels again.
click 388 36
sleep 0.3
click 388 148
sleep 0.3
click 388 92
settle
alive
import -silent -window root -crop "269x277+$((WIN_X + 10))+$((WIN_Y + 10))" +repage "$WORK/canvas.png"
# SOAK_SHOT=file.png keeps the screen at the end for a look.
[ -z "${SOAK_SHOT:-}" ] || import -silent -window root "$SOAK_SHOT"
differing=$(compare -metric AE "$WORK/canvas.png" "$WORK/app/Image.bmp" null: 2>&1 || true)
[ "$differing" = 0 ] || fail "after the soak the reopened canvas differs from the file in $differing pixels"
final=$(rss_kib)
growth=$((final - baseline))
echo "soak: $cycle cycles, $moves painting moves in $elapsed s, a keep and a reopen each cycle;" \
    "resident $baseline KiB after warm-up, $final KiB at the end (highest $highest KiB)," \
    "grown by $growth KiB"
[ "$growth" -lt "$LIMIT_KIB" ] || fail "resident memory grew by $growth KiB (limit $LIMIT_KIB KiB)"
echo "PASS: alive, the picture comes back, memory flat"
