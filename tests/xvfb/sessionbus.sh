#!/usr/bin/env bash
# With no session bus to be found, the program launches none while it starts (D-Bus would
# otherwise run dbus-launch for Qt's accessibility bridge, leaving a bus daemon behind); when an
# accessibility bus serves the display, or accessibility is asked for, it still goes looking,
# so a screen reader is never cut off.
source "$(dirname "$0")/lib.sh" "$@"
command -v strace >/dev/null || skip "strace is not installed"
start_x
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS QT_LINUX_ACCESSIBILITY_ALWAYS_ON XDG_RUNTIME_DIR
mkdir -p "$WORK/app"
cp "$PROGRAM_BUILT" "$WORK/app/pafuro"

# Starts the program under strace with the given environment, waits for its window, ends it, and
# sets n to how often it tried to start dbus-launch.
bus_launches() {
    local tracer
    spawn tracer env "$@" strace -f -qq -e trace=execve -o "$WORK/trace" "$WORK/app/pafuro" \
        >"$WORK/app.out" 2>"$WORK/app.err"
    await '[ -n "$(xdotool search --onlyvisible --name "^Pafuro\$" 2>/dev/null)" ]' 30 ||
        fail "the window did not appear: $(tail -n 3 "$WORK/app.err")"
    kill "$(pgrep -P "$tracer")"
    reap "$tracer" || true
    n=$(grep -c 'execve("[^"]*dbus-launch"' "$WORK/trace" || true)
}

bus_launches A=1
[ "$n" -eq 0 ] || fail "with no bus about, the program tried $n times to launch one"

# An accessibility bus's launcher publishes its address on the root window. The server clears
# the root window's properties when its last client leaves, so a client stays while it is set.
spawn holder xprop -root -spy _XKB_RULES_NAMES >/dev/null
xprop -root -f AT_SPI_BUS 8s -set AT_SPI_BUS "unix:path=$WORK/no-such-bus"
bus_launches A=1
[ "$n" -gt 0 ] || fail "with an accessibility bus on the display, the program did not look for it"
xprop -root -remove AT_SPI_BUS

bus_launches QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
[ "$n" -gt 0 ] || fail "with accessibility asked for, the program did not look for a bus"
echo "PASS: no bus launched unless accessibility may need it"
