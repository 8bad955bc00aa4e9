# The X layer: an X server of the test's own, the program on it, its window and the X bell.

# Whether the program was built with AddressSanitizer. The list is read whole first: grep -q
# would leave at the first match, and ldd, still writing, would die of the closed pipe, which
# pipefail counts as no match.
built_with_asan() {
    local libraries
    libraries=$(ldd "$1" 2>/dev/null) || true
    [[ $libraries == *libasan* ]]
}

# start_x [GEOMETRY]: starts Xvfb on a free display; sets DISPLAY. The number is drawn at random
# from a wide range: a server left to choose takes the lowest free number, which another test's
# server may have just given up while still answering on it, so that the program meets that one
# instead. The server tells its number through a file once it takes connections (a timed read
# from a pipe can lose the digits it had read when it times out). -noreset: the server would
# otherwise start over whenever its last client leaves, as each xdotool and import call does,
# and refuse the program's connection if it came in that moment.
start_x() {
    local geometry=${1:-800x600x24} display= xvfb _
    for _ in 1 2 3 4 5; do
        : >"$WORK/displayfd"
        spawn xvfb Xvfb ":$((1000 + RANDOM % 9000))" -displayfd 9 -noreset -screen 0 "$geometry" \
            -nolisten tcp 9>>"$WORK/displayfd" >"$WORK/xvfb.log" 2>&1
        # A loaded machine may take a while, unless the number proves taken.
        await 'read -r display <"$WORK/displayfd" || ! kill -0 "$xvfb" 2>/dev/null' 30 || true
        [[ $display =~ ^[0-9]+$ ]] && { export DISPLAY=:$display; return; }
        stop "$xvfb"
    done
    cat "$WORK/xvfb.log" >&2
    fail "Xvfb did not start"
}

# launch [NAME=VALUE...]: starts a private copy of the program with that environment; sets
# APP_PID.
launch() {
    mkdir -p "$WORK/app"
    cp "$PROGRAM_BUILT" "$WORK/app/pafuro"
    spawn APP_PID env "$@" "$WORK/app/pafuro" >"$WORK/app.out" 2>"$WORK/app.err"
}
stop_app() {
    [ -z "$APP_PID" ] || stop "$APP_PID"
    APP_PID=
}
# ended LABEL: whether the program has ended, which must be with status 0.
ended() {
    kill -0 "$APP_PID" 2>/dev/null && return 1
    local status=0
    reap "$APP_PID" || status=$?
    APP_PID=
    [ "$status" -eq 0 ] || fail "$1: the program ended with status $status: $(tail -n 3 "$WORK/app.err")"
}
# end_app LABEL: btnEnd clicked, the program must end at once with status 0.
end_app() {
    local label=$1
    click 388 204
    await 'ended "$label"' 2 || fail "$label: the program was still running 2 s after btnEnd"
}
# await_window LABEL: waits for the program's mapped window on the X display, its own and not
# the frame a window manager gives the same name; sets WID.
await_window() {
    await 'WID=$(xdotool search --all --onlyvisible --pid "$APP_PID" --name "^Pafuro\$" 2>/dev/null |
        head -n 1) && [ -n "$WID" ] || ! kill -0 "$APP_PID" 2>/dev/null' 30 || true
    [ -z "$WID" ] || return 0
    kill -0 "$APP_PID" 2>/dev/null && fail "$1: the window did not appear"
    local status=0
    reap "$APP_PID" || status=$?
    APP_PID=
    fail "$1: the program ended with status $status before its window appeared:
$(tail -n 3 "$WORK/app.err")"
}
# start_app: starts the program on the X display; sets APP_PID, WID, and WIN_X and WIN_Y, where
# the client area lies on the screen.
start_app() {
    local WINDOW X Y WIDTH HEIGHT SCREEN
    launch
    await_window "at start"
    eval "$(xdotool getwindowgeometry --shell "$WID")"
    WIN_X=$X
    WIN_Y=$Y
    sleep 0.2
}

# click X Y: the left button clicked at x, y of the client area.
click() { xdotool mousemove $((WIN_X + $1)) $((WIN_Y + $2)) click 1; }
# drag X Y X Y...: the left button pressed at the first point of the client area, moved through
# the others with it held, and let go at the last.
drag() {
    local moves=()
    while [ $# -ge 2 ]; do
        moves+=(mousemove $((WIN_X + $1)) $((WIN_Y + $2)))
        shift 2
    done
    xdotool "${moves[@]:0:3}" mousedown 1 "${moves[@]:3}" mouseup 1
}
# Prints "r g b" of the screen pixel at client coordinates x, y.
pixel_at() {
    import -silent -window root -crop "1x1+$((WIN_X + $1))+$((WIN_Y + $2))" -depth 8 txt:- |
        tail -n 1 | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}
# -silent: import rings the X bell around every grab otherwise.
screenshot() { import -silent -window root "$1"; }

# count_bells: counts the X bell's rings from here on, which bells prints; sets BELL_PID.
count_bells() {
    spawn BELL_PID "$TOOLS/bellcount" >"$WORK/bells" 2>"$WORK/bellcount.err"
    await 'grep -q listening "$WORK/bellcount.err"' ||
        fail "the bell listener did not start: $(cat "$WORK/bellcount.err")"
}
bells() { wc -l <"$WORK/bells"; }
# await_bells N: waits up to 2 s for N rings in all, as a loaded machine may be slow to ring them.
await_bells() {
    local rings=$1
    await '[ "$(bells)" -ge "$rings" ]' 2
}

# The program's accessible objects over AT-SPI (atspi.py), and the accessibility bus started,
# with Qt reporting to it as it does while a screen reader runs.
ATSPI=(/usr/bin/python3 "$RIG/../atspi.py")
start_a11y() {
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1 || fail "the accessibility bus did not start"
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}
