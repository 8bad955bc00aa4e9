# The real-window tests' toolkit, in three layers over what they share here: lib/x.sh (an X
# server of their own and a private copy of the program, whose picture file lives beside the
# executable), lib/sound.sh (sound servers and what they play) and lib/desktop.sh (Wayland
# compositors and desktop sessions).
# Usage in a test: source "$(dirname "$0")/lib.sh" PROGRAM [TOOLS]
set -euo pipefail

PROGRAM_BUILT=$1
TOOLS=${2:-}
WORK=$(mktemp -d)
# The program's sounds go to a sound server that is not there, so that it rings the X bell,
# which the tests count, and nothing is heard on the desktop of whoever runs them.
export CANBERRA_DRIVER=pulse PULSE_SERVER=unix:$WORK/no-sound-server
# A test on a session bus of its own has the services the bus starts (the accessibility bus
# among them) keep their sockets in the test's own folders: in a shared home, tests running at
# once would take each other's accessibility bus away (~/.cache/at-spi/bus).
if [ -n "${PAFURO_PRIVATE_BUS:-}" ]; then
    export XDG_RUNTIME_DIR=$WORK/runtime HOME=$WORK/home
    mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"
    dbus-update-activation-environment XDG_RUNTIME_DIR HOME
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
# A test that cannot run here exits with 77; PASSED tells what it checked before.
skip() { echo "SKIP: $*${PASSED:+ ($PASSED)}"; exit 77; }

# Every process a test starts in the background is recorded here as it starts, and ended by
# the cleanup if it still runs then. APP_PID is the program's (also one a benchmark started).
PIDS=()
APP_PID=
# spawn VAR COMMAND...: starts the command in the background; VAR holds its process id.
spawn() {
    "${@:2}" &
    printf -v "$1" %s $!
    PIDS+=($!)
}
# reap PID: waits for a process spawned, which is then no longer recorded; returns its status.
reap() {
    local pid kept=()
    for pid in "${PIDS[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
    PIDS=("${kept[@]}")
    wait "$1" 2>/dev/null
}
# stop [-SIGNAL] PID...: ends processes spawned and waits for them.
stop() {
    local signal=-TERM pid
    [[ $1 != -* ]] || { signal=$1; shift; }
    for pid; do
        kill "$signal" "$pid" 2>/dev/null || true
        reap "$pid" || true
    done
}

# await CONDITION [SECONDS [EVERY]]: evaluates the shell condition every EVERY seconds (0.05)
# until it holds, for up to SECONDS (5, whole); false if it never did. The condition sees the
# caller's variables, not its arguments.
await() {
    local _deadline=$((${EPOCHREALTIME//[!0-9]/} + ${2:-5} * 1000000))
    until eval "$1"; do
        [ "${EPOCHREALTIME//[!0-9]/}" -lt "$_deadline" ] || return 1
        sleep "${3:-0.05}"
    done
}

# Ends what is recorded, the program first, then any process of the test's own that was not
# recorded, which fails the test. A failed test shows what the program said, which is otherwise
# thrown away with $WORK; KEEP_SHOTS=dir keeps its screenshots for a look.
cleanup() {
    local status=$? pids=($APP_PID "${PIDS[@]}")
    set +e
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && [ -s "$WORK/app.err" ]; then
        echo "--- the program's standard error:" >&2
        cat "$WORK/app.err" >&2
    fi
    if [ ${#pids[@]} -gt 0 ]; then
        # A process stopped with SIGSTOP ends once it goes on.
        kill "${pids[@]}" 2>/dev/null
        kill -CONT "${pids[@]}" 2>/dev/null
        await '! kill -0 "${pids[@]}" 2>/dev/null' 5 || kill -KILL "${pids[@]}" 2>/dev/null
        wait "${pids[@]}" 2>/dev/null
    fi
    # pgrep in a subshell of its own would find that subshell.
    if pgrep -a -P $$ >"$WORK/strays"; then
        echo "FAIL: still running, never recorded: $(cat "$WORK/strays")" >&2
        kill -KILL $(cut -d' ' -f1 "$WORK/strays") 2>/dev/null
        wait
        status=1
    fi
    [ -z "${KEEP_SHOTS:-}" ] || cp "$WORK"/*.png "$KEEP_SHOTS"/ 2>/dev/null
    rm -rf "$WORK"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

RIG=$(dirname "${BASH_SOURCE[0]}")/lib
source "$RIG/x.sh"
source "$RIG/sound.sh"
source "$RIG/desktop.sh"
