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
PULSE_PID=

cleanup() {
    local status=$?
    # A failed test shows what the program said, which is otherwise thrown away with $WORK.
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && [ -s "$WORK/app.err" ]; then
        echo "--- the program's standard error:" >&2
        cat "$WORK/app.err" >&2
    fi
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    [ -n "$PULSE_PID" ] && kill "$PULSE_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Whether the program was built with AddressSanitizer. The list is read whole first: grep -q
# would leave at the first match, and ldd, still writing, would die of the closed pipe, which
# pipefail counts as no match.
built_with_asan() {
    local libraries
    libraries=$(ldd "$1" 2>/dev/null) || true
    [[ $libraries == *libasan* ]]
}

# Starts Xvfb on a free display; sets DISPLAY. The number is drawn at random from a wide range:
# a server left to choose takes the lowest free number, which another test's server may have
# just given up while still answering on it, so that the program meets that one instead.
# The server tells its number through a file once it takes connections (a timed read from a pipe
# can lose the digits it had read when it times out). -noreset: the server would otherwise start
# over whenever its last client leaves, as each xdotool and import call does, and refuse the
# program's connection if it came in that moment.
start_x() {
    local geometry=${1:-800x600x24}
    local display= attempt
    for attempt in 1 2 3 4 5; do
        : >"$WORK/displayfd"
        Xvfb ":$((1000 + RANDOM % 9000))" -displayfd 9 9>>"$WORK/displayfd" -noreset \
            -screen 0 "$geometry" -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
        XVFB_PID=$!
        # A loaded machine may take a while; wait up to 30 s, or until the number proves taken.
        for _ in $(seq 300); do
            [ "$(wc -l <"$WORK/displayfd")" -ge 1 ] && { read -r display <"$WORK/displayfd"; break; }
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        [ -n "$display" ] && break
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    done
    [ -n "$display" ] || { cat "$WORK/xvfb.log" >&2; fail "Xvfb did not start"; }
    export DISPLAY=":$display"
}

# Starts a sound server of its own: PulseAudio whose one sink is the null sink "bellsink", met
# by its clients, the program too, in private folders. Sets PULSE_PID.
start_sound_server() {
    export XDG_RUNTIME_DIR=$WORK/runtime HOME=$WORK/home
    mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME"
    unset PULSE_SERVER
    printf 'autospawn = no\n' >"$WORK/client.conf"
    export PULSE_CLIENTCONFIG=$WORK/client.conf
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=file:"$WORK/pulse.log" \
        -L "module-null-sink sink_name=bellsink rate=48000 channels=2" \
        -L "module-native-protocol-unix" >/dev/null 2>&1 &
    PULSE_PID=$!
    for _ in $(seq 150); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    fail "the sound server did not start: $(tail -n 3 "$WORK/pulse.log")"
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
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            local status=0
            wait "$APP_PID" || status=$?
            APP_PID=
            fail "the program ended with status $status before its window appeared"
        fi
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

# Waits up to 5 s for a helper started in the background to write WORD into FILE.
await_word() {
    local file=$1 word=$2 what=$3 log=$4
    for _ in $(seq 100); do
        grep -qs "$word" "$file" && return 0
        sleep 0.05
    done
    fail "$what did not start: $(cat "$log")"
}

# -silent: import rings the X bell around every grab otherwise.
screenshot() { import -silent -window root "$1"; }
