#!/usr/bin/env bash
# CPU per painting move of the program beside mtPaint's, in one run on one X server (Xvfb):
# the left button held on the canvas and MOVES pointer motions sent through XTest at RATE per
# second (bench/tools/xdrag), each to its own point of a 5-pixel grid, with the smallest brush
# (mtPaint: its paint tool and its default brush). CPU time of every thread from before the press
# until the program is idle again, divided by MOVES, the programs started in turn RUNS times;
# a screenshot after each counts the grid points that got their disc. Given several builds (or
# scripts beside a build that exec it with other settings), each round runs them all in turn before
# mtPaint, so that they compare side by side; each line is named by its path then.
# Usage: bench/paintmove.sh [path to pafuro...] [runs, default 5]
set -euo pipefail
RUNS=5
PROGRAMS=()
for arg in "$@"; do
    if [[ $arg =~ ^[0-9]+$ ]]; then RUNS=$arg; else PROGRAMS+=("$(realpath "$arg")"); fi
done
[ ${#PROGRAMS[@]} -gt 0 ] || PROGRAMS=("$(realpath "$(dirname "$0")/../build/pafuro")")
TOOLS=$(dirname "${PROGRAMS[0]}")/bench/tools
MOVES=${MOVES:-2000} RATE=${RATE:-2000} COLUMNS_=50 STEP=5
WORK=$(mktemp -d)
Xvfb ":$((1000 + RANDOM % 9000))" -displayfd 9 9>"$WORK/display" -noreset -screen 0 800x600x24 \
    -nolisten tcp 2>/dev/null &
XVFB=$!
APP=
trap 'kill $APP $XVFB 2>/dev/null; rm -rf "$WORK"' EXIT
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$WORK/display") HOME=$WORK
command -v mtpaint >/dev/null || { echo "mtPaint is not installed" >&2; exit 1; }

cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d\n", s }'; }
# One run: NAME, -n NAME or -c CLASS for mapwait, the press that picks the brush (x y in the
# window), the first grid point (x y), the grid's colour, then the command.
run() {
    local name=$1 how=$2 match=$3 toolX=$4 toolY=$5 gridX=$6 gridY=$7 colour=$8 line win c0 prev now
    shift 8
    line=$("$TOOLS/mapwait" "$how" "$match" -k -- "$@" 2>/dev/null)
    APP=${line#* }
    sleep 1
    if [ "$how" = -n ]; then
        win=$(xdotool search --name "^$match\$" | head -n 1)
    else
        win=$(xdotool search --class "$match" | tail -n 1)
    fi
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove $((X + toolX)) $((Y + toolY)) click 1
    sleep 0.5
    c0=$(cpu_ns "$APP")
    "$TOOLS/xdrag" $((X + gridX - 8)) $((Y + gridY - 8)) $((X + gridX)) $((Y + gridY)) "$COLUMNS_" "$STEP" \
        "$MOVES" "$RATE" >/dev/null
    prev=$(cpu_ns "$APP")
    for _ in $(seq 100); do
        sleep 0.2
        now=$(cpu_ns "$APP")
        [ $((now - prev)) -lt 2000000 ] && break
        prev=$now
    done
    import -window root "$WORK/shot.png"
    printf '%s %.1f %d\n' "$name" "$(awk -v c=$((now - c0)) -v n="$MOVES" 'BEGIN { print c / n / 1000 }')" \
        "$(convert "$WORK/shot.png" -crop "$((COLUMNS_ * STEP))x$(((MOVES / COLUMNS_) * STEP))+$((X + gridX))+$((Y + gridY))" \
            +repage -depth 8 txt:- | awk -F'[,:]' -v s="$STEP" -v c="$colour" \
            '$1 % s == 0 && $2 % s == 0 && index($0, c) { n++ } END { print n + 0 }')"
    kill "$APP"
    wait "$APP" 2>/dev/null || true
    APP=
}

echo "µs per move (CPU), discs on the screen of $MOVES; load $(cut -d' ' -f1-3 /proc/loadavg)"
for _ in $(seq "$RUNS"); do
    # Pafuro: 細い at (176, 340) of the window, the grid from (20, 20) inside the canvas.
    for program in "${PROGRAMS[@]}"; do
        name=Pafuro
        [ ${#PROGRAMS[@]} -eq 1 ] || name=$program
        run "$name" -n Pafuro 176 340 20 20 '#000000' "$program"
    done
    # mtPaint: its paint tool at (17, 78), the grid inside the view of its new black image.
    run mtPaint -c mtpaint 17 78 120 120 '#FF0000' mtpaint
done
echo "load $(cut -d' ' -f1-3 /proc/loadavg) at the end"
