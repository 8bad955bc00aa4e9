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
ATSPI=(/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/atspi.py")
# A test on a session bus of its own has the services the bus starts (the accessibility bus
# among them) keep their sockets in the test's own folders: in a shared home, tests running at
# once would take each other's accessibility bus away (~/.cache/at-spi/bus).
if [ -n "${PAFURO_PRIVATE_BUS:-}" ]; then
    export XDG_RUNTIME_DIR=$WORK/runtime HOME=$WORK/home
    mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"
    dbus-update-activation-environment XDG_RUNTIME_DIR HOME
fi

# cleanup [STATUS]: a test's own trap passes the status it was called with.
cleanup() {
    local status=${1:-$?}
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

# What the sink "bellsink" plays, counted as sounds (streams) and as what is heard (bursts).
# listen NAME records from here on; SUB_PID and REC_PID are the test's to kill on its way out.
SUB_PID=
REC_PID=
listen() {
    pactl subscribe >"$WORK/$1.events" 2>/dev/null &
    SUB_PID=$!
    parec -d bellsink.monitor --latency-msec=20 --rate=48000 --channels=2 --format=s16le --raw \
        >"$WORK/$1.raw" &
    REC_PID=$!
    sleep 0.3
}
# Ends the recording; sets STREAMS (sounds played), PEAK and BURSTS (stretches of sound above
# -45 dBFS; the null sink runs ahead of real time, so sounds closer than about 0.7 s may merge).
heard() {
    sleep 0.5
    kill -INT "$REC_PID"
    wait "$REC_PID" 2>/dev/null || true
    kill "$SUB_PID"
    wait "$SUB_PID" 2>/dev/null || true
    REC_PID= SUB_PID=
    STREAMS=$(grep -c "'new' on sink-input" "$WORK/$1.events" || true)
    sox -t raw -r 48000 -e signed -b 16 -c 2 "$WORK/$1.raw" "$WORK/$1.wav"
    PEAK=$(sox "$WORK/$1.wav" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')
    mkdir "$WORK/$1.bursts"
    sox "$WORK/$1.wav" "$WORK/$1.bursts/b.wav" silence 1 0.002 -45d 1 0.1 -45d : newfile : restart \
        2>/dev/null
    BURSTS=0
    for burst in "$WORK/$1.bursts"/b*.wav; do
        [ -f "$burst" ] || continue
        if awk -v p="$(sox "$burst" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')" \
            'BEGIN { exit !(p > 0.0056) }'; then
            BURSTS=$((BURSTS + 1))
        fi
    done
}
loud() { awk -v p="$PEAK" 'BEGIN { exit !(p > 0.05) }'; }
# press_and_hear NAME SOUNDS COMMAND...: records what a press of btnNew by the command given and
# the fall-back two seconds later play (STREAMS, BURSTS, PEAK). A loaded machine may be late with
# the fall-back: up to 3 s more is given for the sounds expected, and 0.5 s for any after them.
press_and_hear() {
    local name=$1 sounds=$2
    shift 2
    listen "$name"
    "$@" || fail "$name: could not press btnNew"
    sleep 2.4
    for _ in $(seq 30); do
        [ "$(grep -c "'new' on sink-input" "$WORK/$name.events")" -ge "$sounds" ] && break
        sleep 0.1
    done
    heard "$name"
}

# Starts PipeWire with WirePlumber and its PulseAudio server, whose default sink is the null
# sink "bellsink", as a desktop of today plays sound. Needs a test's own session bus. Sets
# PIPEWIRE_PIDS.
PIPEWIRE_PIDS=
start_pipewire() {
    unset PULSE_SERVER
    local program
    for program in pipewire wireplumber pipewire-pulse; do
        "$program" >"$WORK/$program.log" 2>&1 &
        PIPEWIRE_PIDS+=" $!"
        # The others give up if the server is not there yet.
        for _ in $(seq 100); do
            [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
            sleep 0.05
        done
    done
    # The sink can be made once WirePlumber has come, shortly after the server answers.
    for _ in $(seq 200); do
        pactl load-module module-null-sink sink_name=bellsink rate=48000 channels=2 \
            >/dev/null 2>&1 && pactl set-default-sink bellsink 2>/dev/null && return 0
        sleep 0.05
    done
    fail "PipeWire did not start: $(tail -n 3 "$WORK/pipewire-pulse.log")"
}

# Starts a private copy of the program with the environment given as NAME=VALUE words; sets
# APP_PID.
launch() {
    mkdir -p "$WORK/app"
    cp "$PROGRAM_BUILT" "$WORK/app/pafuro"
    env "$@" "$WORK/app/pafuro" >"$WORK/app.out" 2>"$WORK/app.err" &
    APP_PID=$!
}
stop_app() {
    kill "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=
}
# await_window LABEL: waits for the program's mapped window on the X display, its own and not
# the frame a window manager gives the same name; sets WID.
await_window() {
    for _ in $(seq 300); do
        WID=$(xdotool search --all --onlyvisible --pid "$APP_PID" --name '^Pafuro$' 2>/dev/null |
            head -n 1 || true)
        [ -n "$WID" ] && return 0
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            local status=0
            wait "$APP_PID" || status=$?
            APP_PID=
            fail "$1: the program ended with status $status before its window appeared:
$(tail -n 3 "$WORK/app.err")"
        fi
        sleep 0.05
    done
    fail "$1: the window did not appear"
}
# Starts it on the X display; sets APP_PID and WID.
start_app() {
    launch
    await_window "at start"
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

# --- On a real desktop (gnome.sh, plasma.sh): the session's own sound server, the program
# started as the desktop's launcher starts it, natively or through Xwayland.
RESULTS=()
WRONG=()

# Counts the sounds of one new sheet and its fall-back, btnNew pressed by the command given;
# notes the case as wrong unless exactly two are played and heard.
count_beeps() { # LABEL COMMAND...
    local label=$1
    shift
    press_and_hear "$label" 2 "$@"
    RESULTS+=("$label: a new sheet and its fall-back played $STREAMS sounds, $BURSTS heard, peak $PEAK")
    { [ "$STREAMS" -eq 2 ] && [ "$BURSTS" -eq 2 ] && loud; } || WRONG+=("$label")
}
press_native() { "${ATSPI[@]}" press pafuro "$1"; }
# The program started natively as a Wayland session starts it (both displays known, no platform
# named): it comes up with the fixed size, opens no X window, and beeps once per beep.
native_case() { # LABEL NAME=VALUE...
    local label=$1 size
    shift
    launch QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@"
    size=$("${ATSPI[@]}" size pafuro) || fail "$label: the program did not come up"
    [ "$size" = 496x433 ] || fail "$label: the window is $size, not 496x433"
    [ -z "$(xdotool search --name '^Pafuro$' 2>/dev/null)" ] ||
        fail "$label: the program chose Xwayland in a Wayland session"
    count_beeps "$label" press_native '新しい紙にする。'
}

# The window on an X display: it comes up, has the fixed size and a frame, and stays so when
# the window manager is asked to make it full screen or maximized. Sets WID, WIN_X and WIN_Y
# (the client area's origin as xwininfo tells it: a reparented window's own geometry is
# relative to its frame).
x_window() { # LABEL
    await_window "$1"
    # A click before the window manager has given it the focus can be lost.
    for _ in $(seq 60); do
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$WID" ] && break
        sleep 0.05
    done
    sleep 0.3
    local info
    info=$(xwininfo -id "$WID")
    WIN_X=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$info")
    WIN_Y=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$info")
    x_size_is "$1" "at start"
    # Xwayland under GNOME Shell may lose the first click on a window: it goes to the pink
    # between the canvas and the buttons, where a click does nothing.
    xdotool mousemove $((WIN_X + 284)) $((WIN_Y + 100)) click 1
    xprop -id "$WID" _NET_FRAME_EXTENTS | grep -Eq '= [0-9]+, [0-9]+, [1-9]' ||
        fail "$1: the window has no frame: $(xprop -id "$WID" _NET_FRAME_EXTENTS)"
    local state
    for state in fullscreen maximized_vert,maximized_horz; do
        wmctrl -i -r "$WID" -b "add,$state"
        sleep 0.5
        x_size_is "$1" "asked for $state"
        xprop -id "$WID" _NET_WM_STATE | grep -Eq 'FULLSCREEN|MAXIMIZED' &&
            fail "$1: the window stayed $state: $(xprop -id "$WID" _NET_WM_STATE)"
    done
    return 0
}
x_size_is() {
    local size
    size=$(xwininfo -id "$WID" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
    [ "$size" = 496x433 ] || fail "$1: the window is $size $2, not 496x433:
$(xwininfo -root -tree | grep -i pafuro)"
}
# A click at x, y of the client area, which must reach btnNew: a click lost would be counted
# as silence. AT-SPI is asked without the X display, which it would otherwise open.
press_x() {
    xdotool mousemove $((WIN_X + $1)) $((WIN_Y + $2)) click 1
    for _ in 1 2 3 4; do
        DISPLAY= "${ATSPI[@]}" tree pafuro | grep -q '紙をとりかえましたよ！' && return 0
    done
    fail "the click did not reach btnNew"
}

# Fails with every case that was not heard exactly once per beep, after listing them all.
report() {
    printf '%s\n' "${RESULTS[@]}"
    [ ${#WRONG[@]} -eq 0 ] || fail "not two sounds for two beeps: ${WRONG[*]}"
}
