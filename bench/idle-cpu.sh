#!/usr/bin/env bash
# The CPU that the running program uses while nobody touches it: starts it under an X server
# of its own, waits for its window, leaves it alone for a while and prints the process's CPU
# time (user + system, from /proc/PID/stat) over that time as a share of one core.
# Usage: bench/idle-cpu.sh [path to pafuro] [seconds, default 30]
set -euo pipefail

PROGRAM=${1:-build/pafuro}
SECONDS_IDLE=${2:-30}
[ -x "$PROGRAM" ] || { echo "no program at $PROGRAM" >&2; exit 1; }

# An X server and a private copy of the program, as the real-window tests start them.
source "$(dirname "$0")/../tests/xvfb/lib.sh" "$PROGRAM"
start_x
start_app
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
