#!/usr/bin/env bash
# Stroke latency natively on Wayland: from the compositor sending a pointer motion to the
# program to its receiving the window's next commit. Weston runs on its X11 backend inside Xvfb
# with WAYLAND_DEBUG=server, which stamps every event it sends and request it receives, the
# program on it with QT_QPA_PLATFORM=wayland (nothing else on that weston commits while the
# pointer is over the program's window, bar the panel's clock once a minute); the left button is held on the canvas while MOVES motions at RATE
# per second (bench/tools/xdrag, XTest) go into weston's window, each to its own point of a
# 5-pixel grid. Prints the median and range of the time from each wl_pointer.motion to the
# following wl_surface.commit, and how many motions had a commit of their own before the next.
# Given several builds, each round runs them all in turn, so that they compare side by side.
# Usage: bench/motion-latency.sh [path to pafuro...] [rounds, default 3]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ROUNDS=3
PROGRAMS=()
for arg in "$@"; do
    if [[ $arg =~ ^[0-9]+$ ]]; then ROUNDS=$arg; else PROGRAMS+=("$(realpath "$arg")"); fi
done
[ ${#PROGRAMS[@]} -gt 0 ] || PROGRAMS=("$ROOT/build/pafuro")
MOVES=${MOVES:-200} RATE=${RATE:-50}
XDRAG=$(dirname "${PROGRAMS[0]}")/bench/tools/xdrag

source "$ROOT/tests/xvfb/lib.sh" "${PROGRAMS[0]}"
source "$ROOT/tests/xvfb/lib/x.sh"
command -v weston >/dev/null || skip "weston is not installed"
start_x 1024x768x24
export XDG_RUNTIME_DIR=$WORK/runtime WAYLAND_DISPLAY=latency
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
printf '[shell]\nanimation=none\nclose-animation=none\nstartup-animation=none\nfocus-animation=none\n' \
    >"$WORK/weston.ini"
spawn weston env WAYLAND_DEBUG=server weston --config="$WORK/weston.ini" --backend=x11-backend.so --use-pixman --width=800 \
    --height=600 --idle-time=0 --socket="$WAYLAND_DISPLAY" >"$WORK/weston.log" 2>&1
await '[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]' 20 || fail "weston did not start: $(tail -n 3 "$WORK/weston.log")"
await 'OUTPUT=$(xdotool search --class "^Weston Compositor$" 2>/dev/null | head -n 1) && [ -n "$OUTPUT" ]' 10 ||
    fail "weston's window did not appear: $(tail -n 3 "$WORK/weston.log")"
eval "$(xdotool getwindowgeometry --shell "$OUTPUT")"
OX=$X OY=$Y

# One run: the program started, the pointer moved to the middle of the output, which its window
# always covers, so that the last wl_pointer.motion tells where the window lies; then the drag.
run() {
    local log=$WORK/weston.log sx sy start
    start=$(wc -l <"$log")
    spawn APP_PID env QT_QPA_PLATFORM=wayland QT_WAYLAND_DISABLE_WINDOWDECORATION=1 "$1" >/dev/null 2>&1
    await 'tail -n +"$start" "$log" | grep -q "set_title(\"Pafuro\")"' 20 || fail "the program did not show its window"
    sleep 1
    start=$(wc -l <"$log")
    xdotool mousemove $((OX + 399)) $((OY + 299)) sleep 0.2 mousemove $((OX + 400)) $((OY + 300))
    await 'tail -n +"$start" "$log" | grep -q -- "-> wl_pointer[@#][0-9]*\.motion"' 5 ||
        fail "the pointer did not reach the window"
    sleep 0.2
    read -r sx sy < <(tail -n +"$start" "$log" | grep -- '-> wl_pointer[@#][0-9]*\.motion' | tail -n 1 |
        sed -E 's/.*motion\([^,]*, ([-0-9.]+), ([-0-9.]+)\).*/\1 \2/')
    # The window's client area on weston's window, the grid from (30, 30) inside the canvas.
    local wx=$((OX + 400 - ${sx%.*})) wy=$((OY + 300 - ${sy%.*}))
    start=$(wc -l <"$log")
    "$XDRAG" $((wx + 24)) $((wy + 24)) $((wx + 30)) $((wy + 30)) 40 5 "$MOVES" "$RATE" >/dev/null
    sleep 0.5
    stop "$APP_PID"
    APP_PID=
    # Each motion's time to the next commit; a motion that another follows before the commit
    # counts from the first of them.
    tail -n +"$start" "$log" | awk '
        function stamp(line) { match(line, /^\[ *[0-9]+\.[0-9]+\]/); return substr(line, RSTART + 1, RLENGTH - 2) + 0 }
        /-> wl_pointer[@#][0-9]+\.motion\(/ { print "m"; if (!open) t = stamp($0); open = 1; next }
        /wl_surface[@#][0-9]+\.commit\(\)/ && !/->/ && open { if (stamp($0) >= t) print stamp($0) - t; open = 0 }' |
        sort -n | awk -v name="$2" '$1 == "m" { moves++; next } { d[++n] = $1 }
            END { printf "%s %.2f ms (%.2f to %.2f), %d of %d motions with a commit of their own\n",
                name, d[int((n + 1) / 2)], d[1], d[n], n, moves }'
}

echo "motion to commit, median (range); load $(cut -d' ' -f1-3 /proc/loadavg)"
for _ in $(seq "$ROUNDS"); do
    for program in "${PROGRAMS[@]}"; do
        name=Pafuro
        [ ${#PROGRAMS[@]} -eq 1 ] || name=$program
        run "$program" "$name"
    done
done
echo "load $(cut -d' ' -f1-3 /proc/loadavg) at the end"
