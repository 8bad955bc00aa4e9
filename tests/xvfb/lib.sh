# Shared by the real-window tests: an X server of their own, a private copy of the program
# (the picture file lives beside the executable), and small checks.
# Usage in a test: source "$(dirname "$0")/lib.sh" "$@"
set -euo pipefail

PROGRAM_BUILT=$1
TOOLS=${2:-}
WORK=$(mktemp -d)
# The program's sounds go to a sound server that is not there, so that it rings the X bell,
# which the tests count, and nothing is heard on the desktop of whoever runs them.
export CANBERRA_DRIVER=pulse PULSE_SERVER=unix:$WORK/no-sound-server
XVFB_PID=
APP_PID=

cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts Xvfb on a free display; sets DISPLAY. The number is drawn at random from a wide range:
# a server left to choose takes the lowest free number, which another test's server may have
# just given up while still answering on it, so that the program meets that one instead.
start_x() {
    local geometry=${1:-800x600x24}
    local display= attempt
    for attempt in 1 2 3 4 5; do
        exec 9<> <(:)
        Xvfb ":$((1000 + RANDOM % 9000))" -displayfd 9 -screen 0 "$geometry" -nolisten tcp \
            >"$WORK/xvfb.log" 2>&1 &
        XVFB_PID=$!
        # A loaded machine may take a while; wait up to 30 s, or until the number proves taken.
        for _ in $(seq 300); do
            read -r -t 0.1 display <&9 && break
            kill -0 "$XVFB_PID" 2>/dev/null || break
        done
        [ -n "$display" ] && break
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    done
    [ -n "$display" ] || { cat "$WORK/xvfb.log" >&2; fail "Xvfb did not start"; }
    export DISPLAY=":$display"
}

# Starts a private copy of the program; sets APP_PID and WID (the mapped main window).
start_app() {
    mkdir -p "$WORK/app"
    cp "$PROGRAM_BUILT" "$WORK/app/pafuro"
    "$WORK/app/pafuro" "$@" >"$WORK/app.out" 2>"$WORK/app.err" &
    APP_PID=$!
    WID=
    for _ in $(seq 300); do
        WID=$(xdotool search --onlyvisible --name '^Pafuro$' 2>/dev/null | head -n 1 || true)
        [ -n "$WID" ] && break
        sleep 0.05
    done
    [ -n "$WID" ] || fail "the window did not appear"
    # Where the client area lies on the screen.
    eval "$(xdotool getwindowgeometry --shell "$WID")"
    WIN_X=$X
    WIN_Y=$Y
    sleep 0.2
}

# Prints "r g b" of the screen pixel at window client coordinates x, y.
pixel_at() {
    local x=$(( WIN_X + $1 )) y=$(( WIN_Y + $2 ))
    import -silent -window root -crop "1x1+$x+$y" -depth 8 txt:- | tail -n 1 |
        sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}

# -silent: import rings the X bell around every grab otherwise.
screenshot() { import -silent -window root "$1"; }
