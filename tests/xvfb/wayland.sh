#!/usr/bin/env bash
# Under a Wayland compositor (weston, headless) with Qt's Wayland platform, the window comes up
# titled "Pafuro" under the application id that names its desktop entry, draws itself at its
# full size, and the program keeps running until asked to end. Under compositors that impose a
# state or a size on every window (weston's kiosk shell; sway, a tiling one, and phoc, a phone's,
# where installed) the window asks at most once per state to leave it, keeps its size, and idles
# as under a desktop shell; so too under i3, a tiling window manager on X11, where installed.
# Skipped where weston or Qt's Wayland platform cannot start.
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
FIGURES=()
idle_cpu "weston, desktop shell"
stop_app

# imposed_case LABEL REQUESTS: under a compositor that imposes a size or a state on every window,
# the program asks at most REQUESTS times to leave a state, its surface stays at its fixed size
# where the compositor puts it, and it idles as under a desktop shell.
imposed_case() {
    local asked
    launch QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1
    await 'grep -q "xdg_toplevel[@#][0-9]*\.configure(" "$WORK/app.err"' 10 ||
        fail "$1: no window came up: $(grep -v '^\[' "$WORK/app.err" | tail -n 5)"
    sleep 1.5
    asked=$(grep -cE "xdg_toplevel[@#][0-9]+\.unset_(fullscreen|maximized)\(" "$WORK/app.err" || true)
    [ "$asked" -le "$2" ] || fail "$1: the window asked $asked times to leave a state"
    # What the window settles at (its first frame may take the size a compositor gives it before
    # it can answer): its own size, in a frame of the toolkit's where the compositor draws none
    # (phoc).
    local size
    size=$(sed -n 's/.*create_buffer(new id [^,]*, [0-9]*, \([0-9]*\), \([0-9]*\),.*/\1x\2/p' \
        "$WORK/app.err" | tail -n 1)
    awk -Fx '$1 < 496 || $1 > 496 + 40 || $2 < 433 || $2 > 433 + 40 { exit 1 }' <<<"$size" ||
        fail "$1: the window stays drawn at $size, not its own size"
    idle_cpu "$1 ($asked requests to leave)"
    stop_app
}

# A kiosk shell holds every window full screen, and insists: the window asks at most twice.
start_weston pafuro-kiosk --width=1280 --height=1024 --shell=kiosk-shell.so
imposed_case "weston, kiosk shell" 2
# A tiling compositor, and a phone's, which holds every window maximized; each where installed.
NOT_HERE=()
# sway refuses to run where it could become root again: as root, it runs in a user namespace of
# its own, where root is no one; where none can be made (a chroot), it cannot run.
as_no_root=()
[ "$(id -u)" -ne 0 ] || as_no_root=(unshare --user)
if ! command -v sway >/dev/null; then
    NOT_HERE+=(sway)
elif ! "${as_no_root[@]}" true 2>/dev/null; then
    NOT_HERE+=("sway (as root, with no user namespace to be had)")
elif printf 'output * resolution 1280x1024\n' >"$WORK/sway.conf" &&
    start_wlroots sway "${as_no_root[@]}" sway -c "$WORK/sway.conf"; then
    imposed_case "sway" 1
else
    fail "sway did not start headless: $(tail -n 3 "$WORK/sway.log")"
fi
if ! command -v phoc >/dev/null; then
    NOT_HERE+=(phoc)
elif start_wlroots phoc phoc; then
    imposed_case "phoc" 1
else
    fail "phoc did not start headless: $(tail -n 3 "$WORK/phoc.log")"
fi
# A tiling window manager on X11 (i3): the window keeps its size where i3 puts it (floating, as
# i3 floats a window of a fixed size), and idles.
if command -v i3 >/dev/null; then
    unset WAYLAND_DISPLAY
    start_x 1280x1024x24
    # A config of its own (no bar, no status line), which says it is of today's kind.
    printf '# i3 config file (v4)\nfont pango:monospace 8\n' >"$WORK/i3.conf"
    spawn i3 i3 -c "$WORK/i3.conf" >"$WORK/i3.log" 2>&1
    await 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' 10 ||
        fail "i3 did not start: $(tail -n 3 "$WORK/i3.log")"
    launch QT_QPA_PLATFORM=xcb
    await_window "i3"
    sleep 1.5
    x_size_is "i3" "under i3"
    idle_cpu "i3 on X11"
    stop_app
else
    NOT_HERE+=(i3)
fi
printf '%s\n' "${FIGURES[@]}"
echo "PASS: the window came up under Wayland as $app_id, and under shells that impose a state"
[ ${#NOT_HERE[@]} -eq 0 ] || printf 'not run: %s\n' "${NOT_HERE[@]}"
