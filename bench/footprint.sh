#!/usr/bin/env bash
# Start-up and footprint of the real program in an X server of its own, as one table, beside
# the floor: a bare Qt window (bench/tools/barewindow, an application object and one empty
# widget) started in the same run, in turn with the program:
#  - start-up: median time from exec to the window mapped, the floor, the program and, where
#    installed, mtPaint (a small desktop paint program, with a HOME of its own) started in turn;
#  - memory: resident (RSS) and proportional (PSS) size, /proc/PID/smaps_rollup, 2 s after
#    the window is mapped, median of several starts alternating with the floor's and with the
#    floor's holding one line of text (what any text costs: font configuration, FreeType...);
#  - idle: CPU time (all threads, /proc/PID/task/*/schedstat) over 30 s with the side panel's
#    animation running and nobody touching the window, as a share of one core, median of three
#    starts;
#  - painting: the smallest brush chosen, the left button held down on the canvas and 2000
#    pointer motions sent through XTest at 2000 per second, each to its own point of a 5-pixel
#    grid; CPU time from before the press until the program is idle again, divided by 2000,
#    median of five starts; a screenshot of each shows whether every point got its disc (the
#    table gives the fewest).
# The load of the machine over the run is printed with the figures.
# Usage: bench/footprint.sh [path to pafuro] [start-up runs, default 30] [idle seconds, default 30]
# FOOTPRINT_SHOT=file.png keeps the screenshot of the painted grid.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PROGRAM=$(realpath "${1:-$ROOT/build/pafuro}")
RUNS=${2:-30}
IDLE_SECONDS=${3:-30}
BENCH_TOOLS=$(dirname "$PROGRAM")/bench/tools
MEMORY_RUNS=5
IDLE_RUNS=3
MOVE_RUNS=5
MOVES=2000
RATE=2000
for tool in mapwait xdrag barewindow; do
    [ -x "$BENCH_TOOLS/$tool" ] || { echo "no $BENCH_TOOLS/$tool: build the bench tools" >&2; exit 1; }
done

source "$ROOT/tests/xvfb/lib.sh" "$PROGRAM"
start_x
mkdir -p "$WORK/app"
cp "$PROGRAM" "$WORK/app/pafuro"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# CPU time of every thread of a program so far, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d\n", s }'; }

# Starts the program and waits for its window; sets APP_PID.
launch() {
    local line
    line=$("$BENCH_TOOLS/mapwait" -k -- "$WORK/app/pafuro" 2>>"$WORK/app.err") ||
        fail "the window was not mapped: $(tail -n 5 "$WORK/app.err")"
    APP_PID=${line#* }
}

quit() {
    kill "$APP_PID" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.02; done
    APP_PID=
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# Start-up, the three programs in turn, after one untimed start of each.
FLOOR=("$BENCH_TOOLS/barewindow")
MTPAINT=
if command -v mtpaint >/dev/null; then
    MTPAINT=$(mtpaint --version 2>/dev/null | head -n 1)
    mkdir -p "$WORK/mtpaint-home"
fi
map_ms() { # -n NAME or -c CLASS, command...
    local line
    line=$("$BENCH_TOOLS/mapwait" "$1" "$2" -- "${@:3}" 2>>"$WORK/app.err") ||
        fail "$2 was not mapped: $(tail -n 5 "$WORK/app.err")"
    echo "${line%% *}"
}
# mtPaint names its main window only about when it maps it: its first window mapped is waited for.
start_mtpaint() { HOME=$WORK/mtpaint-home map_ms -c mtpaint mtpaint; }
map_ms -n Floor "${FLOOR[@]}" >/dev/null
map_ms -n Pafuro "$WORK/app/pafuro" >/dev/null
[ -z "$MTPAINT" ] || start_mtpaint >/dev/null
floor_start=()
app_start=()
mtpaint_start=()
for _ in $(seq "$RUNS"); do
    floor_start+=("$(map_ms -n Floor "${FLOOR[@]}")")
    app_start+=("$(map_ms -n Pafuro "$WORK/app/pafuro")")
    [ -z "$MTPAINT" ] || mtpaint_start+=("$(start_mtpaint)")
done
floor_start_ms=$(printf '%s\n' "${floor_start[@]}" | median)
startup_ms=$(printf '%s\n' "${app_start[@]}" | median)
mtpaint_start_ms=
[ -z "$MTPAINT" ] || mtpaint_start_ms=$(printf '%s\n' "${mtpaint_start[@]}" | median)

# Memory after start-up, the floor, the floor with a line of text and the program in turn.
smaps() { awk -v key="$2:" '$1 == key { print $2 }' /proc/"$1"/smaps_rollup; }
floor_memory() { # prefix, floor's arguments...
    local line
    line=$("$BENCH_TOOLS/mapwait" -k -n Floor -- "${FLOOR[@]}" "${@:2}" 2>>"$WORK/app.err") ||
        fail "the floor was not mapped"
    APP_PID=${line#* }
    sleep 2
    eval "$1_rss+=(\"\$(smaps \"\$APP_PID\" Rss)\")"
    eval "$1_pss+=(\"\$(smaps \"\$APP_PID\" Pss)\")"
    quit
}
rss=()
pss=()
floor_rss=()
floor_pss=()
text_rss=()
text_pss=()
for _ in $(seq "$MEMORY_RUNS"); do
    floor_memory floor
    floor_memory text label
    launch
    sleep 2
    rss+=("$(smaps "$APP_PID" Rss)")
    pss+=("$(smaps "$APP_PID" Pss)")
    quit
done
rss_kib=$(printf '%s\n' "${rss[@]}" | median)
pss_kib=$(printf '%s\n' "${pss[@]}" | median)
floor_rss_kib=$(printf '%s\n' "${floor_rss[@]}" | median)
floor_pss_kib=$(printf '%s\n' "${floor_pss[@]}" | median)
text_rss_kib=$(printf '%s\n' "${text_rss[@]}" | median)
text_pss_kib=$(printf '%s\n' "${text_pss[@]}" | median)

# Idle with the animation running, one program at a time.
idle=()
for _ in $(seq "$IDLE_RUNS"); do
    launch
    sleep 2
    c0=$(cpu_ns "$APP_PID")
    t0=$(date +%s%N)
    sleep "$IDLE_SECONDS"
    c1=$(cpu_ns "$APP_PID")
    t1=$(date +%s%N)
    idle+=("$(awk -v c=$((c1 - c0)) -v t=$((t1 - t0)) 'BEGIN { printf "%.3f", 100 * c / t }')")
    quit
done
idle_share=$(printf '%s\n' "${idle[@]}" | median)

# Painting: the smallest brush (細い, at 160, 320 in the window) leaves a disc of one pixel
# under the pointer, so 5-pixel grid points never touch each other.
COLUMNS_=50
STEP=5
GRID_X=20 # window coordinates of the first grid point, inside the canvas's client area
GRID_Y=20
rows=$(((MOVES + COLUMNS_ - 1) / COLUMNS_))
per_move=()
stamped=()
for run in $(seq "$MOVE_RUNS"); do
    launch
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name '^Pafuro$' | head -n 1)")"
    WIN_X=$X
    WIN_Y=$Y
    xdotool mousemove $((WIN_X + 176)) $((WIN_Y + 340)) click 1
    sleep 0.5
    cpu0=$(cpu_ns "$APP_PID")
    "$BENCH_TOOLS/xdrag" $((WIN_X + 12)) $((WIN_Y + 12)) $((WIN_X + GRID_X)) $((WIN_Y + GRID_Y)) \
        "$COLUMNS_" "$STEP" "$MOVES" "$RATE" >/dev/null
    # Wait until the program has caught up: its CPU time stops growing.
    previous=$(cpu_ns "$APP_PID")
    for _ in $(seq 100); do
        sleep 0.2
        now=$(cpu_ns "$APP_PID")
        [ $((now - previous)) -lt 2000000 ] && break
        previous=$now
    done
    per_move+=("$(awk -v c=$((now - cpu0)) -v n="$MOVES" 'BEGIN { printf "%.1f", c / n / 1000 }')")
    screenshot "$WORK/shot.png"
    [ -z "${FOOTPRINT_SHOT:-}" ] || cp "$WORK/shot.png" "$FOOTPRINT_SHOT"
    stamped+=("$(convert "$WORK/shot.png" \
        -crop "$((COLUMNS_ * STEP))x$((rows * STEP))+$((WIN_X + GRID_X))+$((WIN_Y + GRID_Y))" \
        +repage -depth 8 txt:- |
        awk -F'[,:]' -v step="$STEP" -v columns="$COLUMNS_" -v moves="$MOVES" '
            /^#/ { next }
            $1 % step == 0 && $2 % step == 0 && ($2 / step) * columns + $1 / step < moves &&
                /#000000/ { n++ }
            END { print n + 0 }')")
    rss_after=$(awk '/^Rss:/ { print $2 }' /proc/"$APP_PID"/smaps_rollup)
    quit
done
per_move_us=$(printf '%s\n' "${per_move[@]}" | median)
fewest_stamped=$(printf '%s\n' "${stamped[@]}" | sort -n | head -n 1)

load_after=$(cut -d' ' -f1-3 /proc/loadavg)
echo "exec to mapped window, $RUNS runs each (ms): floor ${floor_start[*]}"
echo "  Pafuro ${app_start[*]}"
[ -z "$MTPAINT" ] || echo "  $MTPAINT ${mtpaint_start[*]}"
echo "memory after start-up, $MEMORY_RUNS runs each (KiB): floor RSS ${floor_rss[*]}; PSS ${floor_pss[*]}"
echo "  floor with a line of text RSS ${text_rss[*]}; PSS ${text_pss[*]}"
echo "  Pafuro RSS ${rss[*]}; PSS ${pss[*]}"
echo "idle, $IDLE_RUNS runs (% of a core): ${idle[*]}"
echo "painting, $MOVE_RUNS runs (µs per move): ${per_move[*]}; discs stamped: ${stamped[*]};" \
    "RSS after the last: $((rss_after / 1024)) MiB"
echo "load average (1, 5, 15 min): $load_before at the start, $load_after at the end"
echo
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
above() { awk -v k="$1" -v f="$2" 'BEGIN { printf "%.1f MiB, %+.1f above the floor", k / 1024, (k - f) / 1024 }'; }
row() { printf '| %-44s | %-36s | %-26s |\n' "$@"; }
row "Figure" "Median" "Aim"
row "$(printf -- '-%.0s' {1..44})" "$(printf -- '-%.0s' {1..36})" "$(printf -- '-%.0s' {1..26})"
row "Start-up, exec to window mapped ($RUNS runs)" "$startup_ms ms" \
    "$([ -n "$MTPAINT" ] && awk -v m="$mtpaint_start_ms" 'BEGIN { printf "< %.1f ms (half mtPaint)", m / 2 }' || echo "< 50 ms")"
row "  the floor, a bare Qt window" "$floor_start_ms ms" ""
[ -z "$MTPAINT" ] || row "  $MTPAINT" "$mtpaint_start_ms ms" ""
row "Resident memory (RSS) after start-up" "$(above "$rss_kib" "$floor_rss_kib")" "≤ 4 MiB above the floor"
row "  the floor" "$(mib "$floor_rss_kib")" ""
row "  the floor with a line of text" "$(above "$text_rss_kib" "$floor_rss_kib")" ""
row "Proportional memory (PSS) after start-up" "$(above "$pss_kib" "$floor_pss_kib")" ""
row "  the floor" "$(mib "$floor_pss_kib")" ""
row "  the floor with a line of text" "$(above "$text_pss_kib" "$floor_pss_kib")" ""
row "CPU while idle, animation running (${IDLE_SECONDS} s)" "$idle_share % of a core" "≤ 0.3 %"
row "CPU per painting move ($MOVES at $RATE/s)" "$per_move_us µs, $fewest_stamped/$MOVES stamped" "≤ 57 µs"
