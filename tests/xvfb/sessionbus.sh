#!/usr/bin/env bash
# With no session bus to be found, the program launches none while it starts (D-Bus would
# otherwise run dbus-launch for Qt's accessibility bridge, leaving a bus daemon behind); when an
# accessibility bus serves the display, or accessibility is asked for, it still goes looking,
# so a screen reader is never cut off.
source "$(dirname "$0")/lib.sh" "$@"
command -v strace >/dev/null || { echo "SKIP: strace is not installed"; exit 77; }
start_x
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS QT_LINUX_ACCESSIBILITY_ALWAYS_ON XDG_RUNTIME_DIR
mkdir -p "$WORK/app"
cp "$PROGRAM_BUILT" "$WORK/app/pafuro"

# Starts the program under strace with the given environment, waits for its window, ends it, and
# prints how often it tried to start dbus-launch.
bus_launches() {
    env "$@" strace -f -qq -e trace=execve -o "$WORK/trace" "$WORK/app/pafuro" \
        >"$WORK/app.out" 2>"$WORK/app.err" &
    local tracer=$! wid=
    for _ in $(seq 300); do
        wid=$(xdotool search --onlyvisible --name '^Pafuro$' 2>/dev/null | head -n 1 || true)
        [ -n "$wid" ] && break
        sleep 0.05
    done
    [ -n "$wid" ] || fail "the window did not appear: $(tail -n 3 "$WORK/app.err")"
    APP_PID=$(pgrep -P "$tracer" | head -n 1)
    kill "$APP_PID"
    wait "$tracer" || true
    APP_PID=
    grep -c 'execve("[^"]*dbus-launch"' "$WORK/trace" || true
}

n=$(bus_launches A=1)
[ "$n" -eq 0 ] || fail "with no bus about, the program tried $n times to launch one"

# An accessibility bus's launcher publishes its address on the root window. The server clears
# the root window's properties when its last client leaves, so a client stays while it is set.
xprop -root -spy _XKB_RULES_NAMES >/dev/null &
HOLDER=$!
trap 'status=$?; kill "$HOLDER" 2>/dev/null || true; cleanup $status' EXIT
xprop -root -f AT_SPI_BUS 8s -set AT_SPI_BUS "unix:path=$WORK/no-such-bus"
n=$(bus_launches A=1)
[ "$n" -gt 0 ] || fail "with an accessibility bus on the display, the program did not look for it"
xprop -root -remove AT_SPI_BUS

n=$(bus_launches QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
[ "$n" -gt 0 ] || fail "with accessibility asked for, the program did not look for a bus"
echo "PASS: no bus launched unless accessibility may need it"
