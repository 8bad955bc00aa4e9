#!/usr/bin/env bash
# The program under GNOME Shell, headless on a virtual monitor, with PipeWire as the session's
# sound server, started as the desktop starts it:
#  - natively on Wayland (Qt finds the session's Wayland display by itself): no X window, the
#    fixed size, btnNew pressed over AT-SPI; a new sheet and its fall-back are two sounds heard;
#  - through Xwayland: the window comes up with the fixed size and a frame, stays so when asked
#    to go full screen or maximized, and btnNew clicked is two sounds heard, also with the X
#    server's own bell on;
#  - natively on Wayland where the program reaches no sound server: the shell's bell stands in,
#    rung through the system-bell protocol, once for each beep;
#  - with alert sounds switched off in GNOME's settings, on either path: silence.
# Skipped where GNOME Shell is not installed. Runs in process and mount namespaces of its own,
# so that nothing the desktop started outlives the test, where /run/systemd shows no systemd
# (GNOME Shell would want a login session otherwise; WirePlumber 0.4 wants logind's folders to
# watch as it starts), beside a system bus of its own (one it
# shared would be gone for other tests when this one ends) and on a private session bus.
command -v gnome-shell >/dev/null || { echo "SKIP: GNOME Shell is not installed"; exit 77; }
if [ -z "${PAFURO_PRIVATE_BUS:-}" ]; then
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: GNOME Shell is run here by root only"; exit 77; }
    exec unshare --mount --pid --fork --kill-child --mount-proc bash -c 'mount --make-rprivate / &&
        for run in /run/systemd /run/dbus; do mkdir -p $run && mount -t tmpfs tmpfs $run || exit; done
        mkdir /run/systemd/{seats,sessions,users} && exec "$@"' bash \
        env PAFURO_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh" "$@"

system_bus=$(dbus-daemon --system --fork --print-pid) || fail "the system bus did not start"
PIDS+=("$system_bus")
start_pipewire
# Gone before GNOME Shell looks: there they would mean a login manager to ask.
rmdir /run/systemd/{seats,sessions,users}
# Xwayland's sockets, which a fresh /tmp lacks.
[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix
# The program reports to AT-SPI, which presses its buttons, as it does while a screen reader runs.
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# What the session bus starts (the desktop portal) meets the session's display, as in a session.
dbus-update-activation-environment WAYLAND_DISPLAY=pafuro-gnome XDG_CURRENT_DESKTOP=GNOME
spawn shell gnome-shell --headless --wayland --virtual-monitor 1024x768 --wayland-display=pafuro-gnome \
    >"$WORK/shell.log" 2>&1
await 'gdbus introspect --session --dest org.gnome.Mutter.RemoteDesktop \
    --object-path /org/gnome/Mutter/RemoteDesktop >/dev/null 2>&1 ||
    { kill -0 "$shell" 2>/dev/null || fail "GNOME Shell ended: $(tail -n 5 "$WORK/shell.log")"; false; }' 60 0.1 ||
    true
# Leave the overview it starts in: Escape, typed through the remote desktop interface.
/usr/bin/python3 - <<'PY' || fail "could not leave the overview: $(head -n 30 "$WORK/shell.log")"
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
def call(path, interface, method, args=None):
    return bus.call_sync('org.gnome.Mutter.RemoteDesktop', path, interface, method, args, None,
                         Gio.DBusCallFlags.NONE, 5000, None)
session = call('/org/gnome/Mutter/RemoteDesktop', 'org.gnome.Mutter.RemoteDesktop',
               'CreateSession').unpack()[0]
call(session, 'org.gnome.Mutter.RemoteDesktop.Session', 'Start')
for pressed in (True, False):
    call(session, 'org.gnome.Mutter.RemoteDesktop.Session', 'NotifyKeyboardKeysym',
         GLib.Variant('(ub)', (0xff1b, pressed)))
PY
x_display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$WORK/shell.log")
[ -n "$x_display" ] || fail "GNOME Shell offers no X display: $(tail -n 5 "$WORK/shell.log")"
export DISPLAY=$x_display
XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n 1) ||
    fail "GNOME Shell left no key to its X display"
export XAUTHORITY

# Through Xwayland, which GNOME Shell starts when the first X program comes: the program
# first, as where it is the only X program the user runs (nothing here has touched the X
# display yet; AT-SPI is asked without it).
launch QT_QPA_PLATFORM=xcb
DISPLAY= "${ATSPI[@]}" size pafuro >/dev/null || fail "Xwayland: the program did not come up"
x_window "GNOME, Xwayland"
RESULTS+=("GNOME, Xwayland: the X server's own bell is $("$TOOLS/audiblebell")")
count_beeps "GNOME, Xwayland" press_x 388 148
stop_app
# GNOME Shell switches the X server's bell off, but not for good everywhere: where it is on, it
# still plays its own bell for the program's.
"$TOOLS/audiblebell" on || fail "could not switch Xwayland's bell on"
launch QT_QPA_PLATFORM=xcb
x_window "GNOME, Xwayland, the X bell on"
count_beeps "GNOME, Xwayland, the X bell on" press_x 388 148
stop_app

native_case "GNOME, native Wayland" WAYLAND_DISPLAY=pafuro-gnome
stop_app
# Natively, the program reaching no sound server: the shell's own bell stands in for each beep,
# rung once through the system-bell protocol, as the program's Wayland traffic tells (libwayland
# writes @ or # before an object's id), and it is the shell that plays the two sounds heard.
# Mutter offers that protocol from GNOME 47 on (its library names it); before, nothing stands in.
if grep -qs xdg_system_bell_v1 /usr/lib/*/libmutter-*.so.0; then
    native_case "GNOME, native Wayland, the shell's bell" WAYLAND_DISPLAY=pafuro-gnome \
        PULSE_SERVER=unix:$WORK/no-sound-server WAYLAND_DEBUG=client
    rings=$(grep -c 'xdg_system_bell_v1[@#][0-9]*\.ring(' "$WORK/app.err" || true)
    RESULTS+=("GNOME, native Wayland, the shell's bell: rung $rings times over the system-bell protocol")
    [ "$rings" -eq 2 ] || WRONG+=("GNOME, native Wayland, the shell's bell rung $rings times")
    stop_app
else
    RESULTS+=("GNOME, native Wayland, the shell's bell: not tried, this mutter offers no system bell")
fi

# Alert sounds switched off in GNOME's settings: silence on either path. Programs on Xwayland
# learn it from gsd-xsettings, which the session starts for them; native ones from the desktop
# portal, which the session bus starts with the session's displays.
gsettings set org.gnome.desktop.sound event-sounds false
spawn xsettings /usr/libexec/gsd-xsettings >"$WORK/xsettings.log" 2>&1
await 'dump_settings | grep -q "^Net/EnableEventSounds 0"' 15 ||
    fail "gsd-xsettings tells no alert sounds off: $(tail -n 3 "$WORK/xsettings.log")"
launch QT_QPA_PLATFORM=xcb
x_window "GNOME, Xwayland, alert sounds off"
hear_desktop "GNOME, Xwayland, alert sounds off" 0 - press_x 388 148
stop_app
if [ -x /usr/libexec/xdg-desktop-portal ]; then
    launch QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 WAYLAND_DISPLAY=pafuro-gnome
    "${ATSPI[@]}" size pafuro >/dev/null || fail "native, alert sounds off: the program did not come up"
    hear_desktop "GNOME, native Wayland, alert sounds off" 0 - press_native '新しい紙にする。'
    stop_app
else
    RESULTS+=("GNOME, native Wayland, alert sounds off: not tried, no desktop portal")
fi

menu_of GNOME gnome-
report
echo "PASS: under GNOME Shell, natively and through Xwayland, each beep heard once, none with" \
    "alert sounds off; the window fixed"
