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

native_case "Plasma, native Wayland" "${SESSION[@]}"
# The picture kept, at scale 1 and then 2: the canvas at the screen's resolution.
kept() { # SCALE: prints the kept picture's size
    rm -f "$WORK/app/Image.bmp"
    press_native '絵をとっておく。' || fail "scale $1: could not press btnSave"
    await '[ -s "$WORK/app/Image.bmp" ]' || true
    identify -format '%wx%h' "$WORK/app/Image.bmp" || fail "scale $1: no picture was kept"
}
at1=$(kept 1)
stop_app

# Through Xwayland, with kaccess, which takes the X bell over as Plasma starts it.
spawn kaccess env "${SESSION[@]}" kaccess >"$WORK/kaccess.log" 2>&1
await '[ "$("$TOOLS/audiblebell" 2>/dev/null)" = off ]' || true
bell=$("$TOOLS/audiblebell") || fail "KWin's X display $DISPLAY does not answer"
RESULTS+=("Plasma, Xwayland: with kaccess, the X server's own bell is $bell")
launch "${SESSION[@]}" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
x_window "Plasma, Xwayland"
count_beeps "Plasma, Xwayland with kaccess" press_x 388 148
stop_app

# At scale 2, after the cases at scale 1.
kscreen-doctor output.Virtual-0.scale.2 >"$WORK/kscreen.log" 2>&1 ||
    fail "could not set the scale: $(tail -n 3 "$WORK/kscreen.log")"
launch "${SESSION[@]}" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
at2=$(kept 2)
stop_app
[ "$at2" = "$((${at1%x*} * 2))x$((${at1#*x} * 2))" ] ||
    fail "the picture kept is $at1 at scale 1 and $at2 at scale 2"
RESULTS+=("Plasma, native Wayland: the picture kept is $at1 at scale 1, $at2 at scale 2")

# Alert sounds switched off as Plasma 6's settings do (kdeglobals, with word of the change):
# natively, where KDE's desktop portal tells it, silence.
kwriteconfig=$(command -v kwriteconfig6 kwriteconfig5 | head -n 1) || true
if [ -x /usr/libexec/xdg-desktop-portal ] && [ -n "$kwriteconfig" ]; then
    "$kwriteconfig" --notify --file kdeglobals --group Sounds --key Enable false
    launch "${SESSION[@]}" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    "${ATSPI[@]}" size pafuro >/dev/null || fail "native, alert sounds off: the program did not come up"
    hear_desktop "Plasma, native Wayland, alert sounds off" 0 - press_native '新しい紙にする。'
    stop_app
else
    RESULTS+=("Plasma, native Wayland, alert sounds off: not tried, no desktop portal or kwriteconfig")
fi
report
echo "PASS: under KWin, natively and through Xwayland with kaccess, each beep heard once; the" \
    "window fixed; the picture kept at the screen's resolution"
