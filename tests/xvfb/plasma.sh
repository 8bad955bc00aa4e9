#!/usr/bin/env bash
# The program under KWin (Plasma's compositor), headless on a virtual output, with PipeWire as
# the session's sound server, started as the desktop starts it:
#  - natively on Wayland: no X window, the fixed size, btnNew pressed over AT-SPI: a new sheet
#    and its fall-back are two sounds heard; the picture kept at scale 1 and 2 is the canvas at
#    the screen's resolution;
#  - through Xwayland, with kaccess running as every Plasma session runs it: the window comes up
#    with the fixed size and a frame, stays so when KWin is asked to make it full screen or
#    maximized, and btnNew clicked is two sounds heard;
#  - natively, with alert sounds switched off in Plasma's settings: silence.
#  - both ways, a finger on a touch screen (KWin's fake input; natively wl_touch, through
#    Xwayland XInput 2 touch): a drag stamps one disc per reported position, a second finger
#    neither paints nor presses while the first paints, taps press a swatch, a size and btnSave,
#    and the picture kept shows it.
# Skipped where KWin is not installed. Runs on a private session bus.
command -v kwin_wayland >/dev/null || { echo "SKIP: KWin is not installed"; exit 77; }
if [ -z "${PAFURO_PRIVATE_BUS:-}" ]; then
    # In a process namespace of its own where it can, so that nothing the desktop started
    # (Xwayland, kaccess) outlives the test.
    namespace=()
    [ "$(id -u)" -ne 0 ] || namespace=(unshare --mount --pid --fork --kill-child --mount-proc)
    exec "${namespace[@]}" env PAFURO_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh" "$@"

start_pipewire
# Xwayland's sockets, which a fresh /tmp lacks.
[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix
SESSION=(XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true
         KDE_SESSION_VERSION=6)
# What the session bus starts meets the session, as Plasma's start sets it up before KWin: KWin
# itself starts the desktop portal.
dbus-update-activation-environment "${SESSION[@]}" WAYLAND_DISPLAY=pafuro-kwin
# The desktop's variables are the programs' only: KWin itself does not start with them. KWin
# tells its X display to the command it starts once Xwayland is up (a new socket in
# /tmp/.X11-unix could be another test's X server).
spawn kwin kwin_wayland --virtual --xwayland --width 1024 --height 768 --socket pafuro-kwin \
    --no-lockscreen --no-global-shortcuts "sh -c 'echo \$DISPLAY >$WORK/kwin-display'" \
    >"$WORK/kwin.log" 2>&1
await '[ -S "$XDG_RUNTIME_DIR/pafuro-kwin" ] && [ -s "$WORK/kwin-display" ] ||
    { kill -0 "$kwin" 2>/dev/null || fail "KWin ended: $(tail -n 5 "$WORK/kwin.log")"; false; }' 60 0.1 || true
x_display=$(cat "$WORK/kwin-display" 2>/dev/null || true)
[ -n "$x_display" ] || fail "KWin offers no X display: $(tail -n 5 "$WORK/kwin.log")"
export DISPLAY=$x_display WAYLAND_DISPLAY=pafuro-kwin

# In the picture kept: prints "r g b" at x, y of the client area (the canvas's begins at 10, 10).
picture_at() {
    convert "$WORK/app/Image.bmp" -crop "1x1+$(($1 - 10))+$(($2 - 10))" -depth 8 txt:- |
        tail -n 1 | sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/'
}
# painted HEX [W H X Y]: how many pixels of that colour the picture kept has (in the box of the
# client area W x H at x, y).
painted() {
    local box=()
    [ $# -eq 1 ] || box=(-crop "${2}x${3}+$(($4 - 10))+$(($5 - 10))" +repage)
    convert "$WORK/app/Image.bmp" "${box[@]}" -depth 8 txt:- | grep -c "#$1" || true
}
# finger_paints LABEL EVIDENCE: with the program's window at WIN_X, WIN_Y, a finger drags across
# the canvas in the starting brush while a second finger touches the canvas, drags and taps the
# red swatch; then taps choose red and the thickest brush, a drag paints, and a tap on btnSave
# keeps the picture. EVIDENCE is what the program's standard error shows of a touch reaching it
# through the window system's own touch path.
finger_paints() {
    rm -f "$WORK/app/Image.bmp"
    finger down 1 30 40
    finger motion 1 60 40
    finger motion 1 100 40
    finger down 2 30 200
    finger motion 2 60 200
    finger up 2
    finger down 3 104 336
    finger up 3
    finger motion 1 140 40
    finger motion 1 180 40
    finger up 1
    tap 104 336 # 赤色
    tap 272 340 # 極太
    finger down 1 30 130
    finger motion 1 70 130
    finger motion 1 130 130
    finger up 1
    tap 388 36 # btnSave
    await '[ -s "$WORK/app/Image.bmp" ]' || fail "$1: a tap on btnSave kept no picture"
    grep -q "$2" "$WORK/app.err" || fail "$1: no touch reached the program as such"
    local x y r g b what spot
    for spot in "60 40 0 0 0 centre" "62 40 0 0 0 2 px right" "57 40 0 0 0 3 px left" \
        "65 40 255 255 255 5 px right" "70 130 255 0 0 centre" "80 130 255 0 0 10 px right" \
        "59 130 255 0 0 11 px left" "84 130 255 255 255 14 px right"; do
        read -r x y r g b what <<<"$spot"
        for x in "$x" $((x + (y == 40 ? 120 : 60))); do
            [ "$(picture_at "$x" "$y")" = "$r $g $b" ] ||
                fail "$1: the disc's $what at $x,$y is $(picture_at "$x" "$y"), not $r $g $b"
        done
    done
    # One disc per position the first finger reported after its press, the same each: four
    # black and two red, and nothing of the second finger's or the press's.
    local black red
    black=$(painted 000000 10 10 55 35)
    red=$(painted FF0000 30 30 55 115)
    [ "$black" -gt 0 ] && [ "$(painted 000000)" -eq $((4 * black)) ] ||
        fail "$1: $(painted 000000) black pixels, not four discs of $black"
    [ "$red" -gt 0 ] && [ "$(painted FF0000)" -eq $((2 * red)) ] ||
        fail "$1: $(painted FF0000) red pixels, not two discs of $red"
    RESULTS+=("$1: a finger stamped four discs of $black pixels and, after taps, two of $red")
}

start_touch
native_case "Plasma, native Wayland" "${SESSION[@]}" WAYLAND_DEBUG=1
# The picture kept, at scale 1 and then 2: the canvas at the screen's resolution.
kept() { # SCALE: prints the kept picture's size
    rm -f "$WORK/app/Image.bmp"
    press_native '絵をとっておく。' || fail "scale $1: could not press btnSave"
    await '[ -s "$WORK/app/Image.bmp" ]' || true
    identify -format '%wx%h' "$WORK/app/Image.bmp" || fail "scale $1: no picture was kept"
}
at1=$(kept 1)
kwin_window_origin
finger_paints "Plasma, native Wayland" 'wl_touch[@#][0-9]*\.down('
# Full screen offered by KWin, as its window menu offers it: KWin shows the window there at once,
# before the window hears of it, and back at its place with the window's next frame once the
# window has asked to leave and been answered.
kwin_script "for (const w of workspace.windowList ? workspace.windowList() : workspace.clientList())
    if (w.caption === 'Pafuro') w.fullScreen = true;" || fail "KWin runs no script"
back=
await 'back=$(awk -f "$RIG/back-from-full-screen.awk" "$WORK/app.err") && [ -n "$back" ]' ||
    fail "Plasma, native Wayland: the window stayed full screen"
RESULTS+=("Plasma, native Wayland: full screen offered, the window was back in its first frame ${back} ms later")
stop_app

# Through Xwayland, with kaccess, which takes the X bell over as Plasma starts it.
spawn kaccess env "${SESSION[@]}" kaccess >"$WORK/kaccess.log" 2>&1
await '[ "$("$TOOLS/audiblebell" 2>/dev/null)" = off ]' || true
bell=$("$TOOLS/audiblebell") || fail "KWin's X display $DISPLAY does not answer"
RESULTS+=("Plasma, Xwayland: with kaccess, the X server's own bell is $bell")
launch "${SESSION[@]}" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
    QT_LOGGING_RULES=qt.qpa.input.events=true
x_window "Plasma, Xwayland"
count_beeps "Plasma, Xwayland with kaccess" press_x 388 148
finger_paints "Plasma, Xwayland" 'XI2 touch event type 18 '
stop_app

# At scale 2, after the cases at scale 1.
timeout 30 kscreen-doctor output.Virtual-0.scale.2 >"$WORK/kscreen.log" 2>&1 ||
    fail "could not set the scale: $(tail -n 3 "$WORK/kscreen.log")"
launch "${SESSION[@]}" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
at2=$(kept 2)
stop_app
[ "$at2" = "$((${at1%x*} * 2))x$((${at1#*x} * 2))" ] ||
    fail "the picture kept is $at1 at scale 1 and $at2 at scale 2"
RESULTS+=("Plasma, native Wayland: the picture kept is $at1 at scale 1, $at2 at scale 2")

# Alert sounds switched off as Plasma 6's settings do (kdeglobals, with word of the change):
# natively, where KDE's desktop portal tells it, silence. Plasma 5 has no such switch.
if [ -x /usr/libexec/xdg-desktop-portal ] && command -v kwriteconfig6 >/dev/null; then
    kwriteconfig6 --notify --file kdeglobals --group Sounds --key Enable false
    launch "${SESSION[@]}" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    "${ATSPI[@]}" size pafuro >/dev/null || fail "native, alert sounds off: the program did not come up"
    hear_desktop "Plasma, native Wayland, alert sounds off" 0 - press_native '新しい紙にする。'
    stop_app
else
    RESULTS+=("Plasma, native Wayland, alert sounds off: not tried, no desktop portal or no Plasma 6")
fi
menu_of Plasma plasma- kf6- kf5-
report
echo "PASS: under KWin, natively and through Xwayland with kaccess, each beep heard once; the" \
    "window fixed; the picture kept at the screen's resolution"
