#!/usr/bin/env bash
# The beep as it is heard, beside a sound server of the test's own (PulseAudio whose one sink is
# a null sink, its monitor recorded):
#  - X: a new sheet and its fall-back play two sounds that are not silence, each with one bell
#    notification; three new sheets in quick succession, the sound server held up for a moment,
#    play four, none lost or merged.
#  - X with the server's own bell switched off, as a desktop that takes the bell over does:
#    the X bell rings, the program plays nothing.
#  - X without a sound server: the X bell rings instead. With one that takes the connection
#    and never answers: the click's handler returns, each beep rings the X bell, the first at
#    the start limit, and the program ends at once, status 0.
#  - X, the sound server held up for 1.6 s while three beeps are rung: each beep is heard once,
#    as its sound or as the X bell standing in, which rings while the server is still held up.
#  - X, the sound server restarted, held up for 3 s, or started after the program: the beeps
#    after it sound again, and the one it held up is not played late.
#  - Wayland (weston, headless), the button pressed over AT-SPI: two sounds, not silence.
#  - Xwayland under that weston, its bell switched off: two sounds.
# Runs on a private session bus, which the accessibility bus needs.
if [ -z "${PAFURO_PRIVATE_BUS:-}" ]; then
    exec env PAFURO_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh" "$@"
start_sound_server

# sheet_heard NAME SOUNDS COMMAND...: presses btnNew with the command given; its notice and
# fall-back must play that many sounds of the program's own, each heard.
sheet_heard() {
    press_and_hear "$@"
    all_heard "$2" ||
        fail "$1: a new sheet and its fall-back played $STREAMS sounds, $BURSTS heard, peak $PEAK; expected $2"
}
# heard_over_atspi NAME PLATFORM: the program on that platform, btnNew pressed over AT-SPI.
heard_over_atspi() {
    launch QT_QPA_PLATFORM=$2
    sheet_heard "$1" 2 "${ATSPI[@]}" press pafuro '新しい紙にする。'
    stop_app
}

start_x
count_bells

# X, the sound server answering.
start_app
sheet_heard X 2 click 388 148
[ "$(bells)" -eq 2 ] || fail "X: $(bells) bell notifications for two beeps"
# Three new sheets at once while the sound server is held up for a moment: no beep is lost or
# merged with another, and none waits for the server.
listen x2
kill -STOP "$PULSE_PID"
xdotool mousemove $((WIN_X + 388)) $((WIN_Y + 148)) click --repeat 3 --delay 1 1
await_bells 5 || true
bells_held=$(bells)
kill -CONT "$PULSE_PID"
[ "$bells_held" -eq 5 ] || fail "X: $bells_held bell notifications, expected 5, while the sound server was held up"
sleep 2.4
heard x2
[ "$STREAMS" -eq 4 ] || fail "X: three new sheets at once and a fall-back played $STREAMS sounds, expected 4"
[ "$(bells)" -eq 6 ] || fail "X: $(bells) bell notifications for six beeps"

# X, the server's bell taken over by a desktop.
"$TOOLS/audiblebell" off || fail "could not switch the X server's bell off"
sheet_heard "X, the bell taken over" 0 click 388 148
[ "$(bells)" -eq 8 ] || fail "X, the bell taken over: $(bells) bell notifications, expected 8"
end_app "X"
"$TOOLS/audiblebell" on || fail "could not switch the X server's bell on"

# X, no sound server: the X bell instead, and a prompt end.
export PULSE_SERVER=unix:$WORK/no-server
start_app
click 388 148
sleep 2.4
[ "$(bells)" -eq 10 ] || fail "X, no sound server: $(bells) bell notifications, expected 10"
end_app "X, no sound server"

# X, a sound server that takes the connection and never answers.
spawn hung python3 -c '
import socket, sys
server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind(sys.argv[1])
server.listen(8)
print("listening", flush=True)
held = []
while True:
    held.append(server.accept()[0])
    print("taken", flush=True)
' "$WORK/hung" >"$WORK/hung.log"
await 'grep -q listening "$WORK/hung.log"' || fail "the hung sound server did not start"
export PULSE_SERVER=unix:$WORK/hung
start_app
click 388 148
await 'grep -q taken "$WORK/hung.log"' || fail "X, a hung sound server: the program did not connect"
# A beep that cannot start is dropped, and the X bell stands in for it; one rung a second later,
# the server still silent, is the X bell at once.
# Looked for before the fall-back is due at 2 s, which would ring the X bell as well.
sleep 1.4
[ "$(bells)" -eq 11 ] || fail "X, a hung sound server: $(bells) bell notifications at the start limit, expected 11"
click 388 148
await_bells 12 || true
[ "$(bells)" -eq 12 ] || fail "X, a hung sound server: $(bells) bell notifications, expected 12"
end_app "X, a hung sound server"
unset PULSE_SERVER

# X, the sound server held up for 1.6 s while three beeps are rung: the first two cannot start
# within the limit, and the X bell stands in for each at its limit, while the server is still
# held up; the third may play once the server goes on, or the X bell stands in for it. Either
# way each beep, and the fall-back, is heard once: never both, never neither.
start_app
sheet_heard "X, before a stall" 2 click 388 148
stall_and_hear stall
[ "$STOOD_IN" -ge 2 ] ||
    fail "X, a stalled sound server: $STOOD_IN X bells rang for the first two beeps within the stall"
[ $((STREAMS + SOUNDED)) -eq 4 ] && [ "$BURSTS" -eq "$STREAMS" ] ||
    fail "X, a stalled sound server: four beeps played $STREAMS sounds ($BURSTS heard) and rang $SOUNDED X bells"
echo "X, a stalled sound server: four beeps, $STREAMS played, $SOUNDED X bells ($STOOD_IN within the stall)"
end_app "X, a stalled sound server"
stop "$BELL_PID"

# X, the sound server started after the program, then gone for a beep and back: the beeps after
# it sound again. Held up for 3 s: that beep is dropped, not played late, and the beeps after the
# stall sound again.
for when in "started late" restarted; do
    stop "$PULSE_PID"
    [ -n "$APP_PID" ] || start_app
    click 388 148
    start_sound_server
    sleep 3
    sheet_heard "X, the sound server $when" 2 click 388 148
done
held_up() { kill -STOP "$PULSE_PID"; click 388 148; sleep 3; kill -CONT "$PULSE_PID"; sleep 0.5; click 388 148; }
sheet_heard "X, the sound server held up 3 s, then" 2 held_up
end_app "X, a late, restarted and stalled sound server"

# Wayland.
PASSED="the X phases passed"
start_weston pafuro-sound --width=1024 --height=768 --xwayland
unset DISPLAY
start_a11y
heard_over_atspi Wayland wayland

# Xwayland with its bell switched off, as kaccess does: the program's two sounds. Pressed over
# AT-SPI: a headless Xwayland may not survive a synthetic click.
PASSED="the X and Wayland phases passed"
command -v Xwayland >/dev/null || skip "Xwayland is not installed"
XWL=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$WESTON_LOG" | head -n 1)
[ -n "$XWL" ] || fail "weston offered no Xwayland: $(tail -n 3 "$WESTON_LOG")"
DISPLAY=$XWL "$TOOLS/audiblebell" off || fail "could not switch Xwayland's bell off"
DISPLAY=$XWL heard_over_atspi Xwayland xcb
echo "PASS: two beeps heard under X, Wayland and Xwayland, the X bell left to a desktop that took" \
    "it over, neither a missing nor a hung sound server holds the program up, and a restarted," \
    "stalled or late sound server is heard again"
