#!/usr/bin/env bash
# The CPU that the running program uses while nobody touches it: starts it under an X server
# of its own, waits for its window, leaves it alone for a while and prints the process's CPU
# time (user + system, from /proc/PID/stat) over that time as a share of one core.
# Usage: bench/idle-cpu.sh [path to pafuro] [seconds, default 30]
set -euo pipefail

PROGRAM=${1:-build/pafuro}
SECONDS_IDLE=${2:-30}
[ -x "$PROGRAM" ] || { echo "no program at $PROGRAM" >&2; exit 1; }

WORK=$(mktemp -d)
XVFB_PID=
APP_PID=
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

# An X server on a display it chooses itself; another one starting at the same moment may take
# the same display, so a failed start is tried again.
start_x() {
    exec 9<> <(:)
    Xvfb -displayfd 9 -screen 0 800x600x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    display=
    for _ in $(seq 100); do
        read -r -t 0.1 display <&9 && return 0
        kill -0 "$XVFB_PID" 2>/dev/null || break
    done
    kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
    return 1
}
display=
for _ in 1 2 3; do
    start_x && break
done
[ -n "$display" ] || { echo "Xvfb did not start:" >&2; cat "$WORK/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display"

# A private copy, so that nothing lands beside the built program.
mkdir -p "$WORK/app"
cp "$PROGRAM" "$WORK/app/pafuro"
"$WORK/app/pafuro" >"$WORK/app.out" 2>&1 &
APP_PID=$!
wid=
for _ in $(seq 200); do
    wid=$(xdotool search --onlyvisible --name '^Pafuro$' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.05
done
[ -n "$wid" ] || { echo "the window did not appear" >&2; exit 1; }
# Let the first paint of the window settle before the idle time starts.
sleep 1

# Fields 14 and 15 of /proc/PID/stat, after the command name (which may hold spaces).
cpu_ticks() {
    local stat
    stat=$(<"/proc/$APP_PID/stat")
    stat=${stat##*) }
    read -r -a fields <<<"$stat"
    echo $(( fields[11] + fields[12] ))
}
# The same in nanoseconds: the scheduler's run time of every thread of the process.
run_ns() {
    local sum=0 run _
    for task in /proc/"$APP_PID"/task/*/schedstat; do
        read -r run _ <"$task" || continue
        sum=$(( sum + run ))
    done
    echo "$sum"
}
hz=$(getconf CLK_TCK)
start_ticks=$(cpu_ticks)
start_run=$(run_ns)
start_ns=$(date +%s%N)
sleep "$SECONDS_IDLE"
end_ticks=$(cpu_ticks)
end_run=$(run_ns)
end_ns=$(date +%s%N)
kill -0 "$APP_PID" 2>/dev/null || { echo "the program ended while idle" >&2; exit 1; }

awk -v t=$(( end_ticks - start_ticks )) -v run=$(( end_run - start_run )) -v hz="$hz" -v ns=$(( end_ns - start_ns )) -v all="$end_ticks" 'BEGIN {
    cpu = t / hz; wall = ns / 1e9
    printf "idle %.1f s: cpu %.2f s (%d ticks of 1/%d s) = %.3f %% of one core\n", wall, cpu, t, hz, 100 * cpu / wall
    printf "scheduler run time of its threads: %.1f ms = %.3f %% of one core\n", run / 1e6, 100 * run / ns
    printf "since start: cpu %.2f s\n", all / hz
}'
