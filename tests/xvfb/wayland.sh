#!/usr/bin/env bash
# Under a Wayland compositor (weston, headless) with Qt's Wayland platform, the window comes up
# titled "Pafuro" under the application id that names its desktop entry, draws itself at its
# full size, and the program keeps running until asked to end. Skipped where weston or Qt's
# Wayland platform cannot start.
source "$(dirname "$0")/lib.sh" "$@"
DESKTOP_DIR=$(cd "$(dirname "$0")/../../desktop" && pwd)

command -v weston-screenshooter >/dev/null || skip "weston-screenshooter is not installed"
# No animations, so that a screenshot shows the window as drawn; --debug offers the screenshot
# protocol.
start_weston pafuro-wayland --width=1280 --height=1024 --debug

unset DISPLAY
launch QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1
# libwayland 1.23 writes an object as interface#id in its debug log, 1.21 as interface@id.
toplevel=
await 'toplevel=$(sed -n "s/.*xdg_toplevel[@#]\([0-9]*\)\.configure(.*/\1/p" "$WORK/app.err" | head -n 1)
    [ -n "$toplevel" ] || ! kill -0 "$APP_PID" 2>/dev/null' 10 || true
if [ -z "$toplevel" ]; then
    grep -q 'Could not find the Qt platform plugin "wayland"' "$WORK/app.err" &&
        skip "Qt's Wayland platform is not installed (Debian package qt6-wayland)"
    fail "no window came up: $(grep -v '^\[' "$WORK/app.err" | tail -n 5)"
fi
grep -q "xdg_toplevel[@#]$toplevel\.set_title(\"Pafuro\")" "$WORK/app.err" ||
    fail "the window is not titled Pafuro"
app_id=$(sed -n "s/.*xdg_toplevel[@#]$toplevel\.set_app_id(\"\(.*\)\")/\1/p" "$WORK/app.err" | head -n 1)
[ -f "$DESKTOP_DIR/$app_id.desktop.in" ] ||
    fail "the application id '$app_id' names no desktop entry in $DESKTOP_DIR"

# What the compositor shows: the window's pink and, along its bottom, the message line, both
# the window's full width.
sleep 0.5
(cd "$WORK" && weston-screenshooter) >/dev/null 2>&1 || fail "weston took no screenshot"
shot=$(ls "$WORK"/wayland-screenshot-*.png | head -n 1)
box() { convert "$shot" -fill black +opaque "rgb($1)" -trim -format '%w %h' info:; }
[ "$(box 255,192,192 | cut -d' ' -f1)" = 496 ] ||
    fail "the window's pink spans $(box 255,192,192), expected 496 wide"
[ "$(box 192,192,255)" = "496 33" ] || fail "the message line spans $(box 192,192,255), expected 496 33"

sleep 1
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended by itself: $(grep -v '^\[' "$WORK/app.err" | tail -n 5)"
stop_app
# A kiosk shell holds every window full screen, and insists: the window asks at most twice.
start_weston pafuro-kiosk --width=1280 --height=1024 --shell=kiosk-shell.so
launch QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1
sleep 1.5
[ "$(grep -c unset_fullscreen "$WORK/app.err")" -le 2 ] || fail "it keeps asking a kiosk shell to leave"
echo "PASS: the window came up under Wayland as $app_id, and under a kiosk shell"
