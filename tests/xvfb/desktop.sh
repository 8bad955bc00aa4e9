#!/usr/bin/env bash
# The program on an X11 desktop of Debian's installer, on Xvfb, as that desktop's session runs
# it: its window manager and its settings daemon, beside a sound server of the test's own.
# Usage: desktop.sh PROGRAM TOOLS DESKTOP, DESKTOP one of xfce, mate, cinnamon, lxqt.
#  - the window comes up with the fixed size and a frame, and stays so when the window manager is
#    asked to make it full screen or maximized;
#  - a new sheet and its fall-back are two sounds heard once each where the desktop's switch for
#    alert sounds is on, and silence where it is off, as it is by default on Xfce, MATE and
#    Cinnamon; played by the program where the X server's own bell is on, by the desktop where
#    it took the bell over;
#  - the installed desktop entry shows in the desktop's applications menu.
# Skipped where the desktop's window manager or settings daemon is not installed.
if [ -z "${PAFURO_PRIVATE_BUS:-}" ]; then
    exec env PAFURO_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh" "$@"
DESKTOP=${3:?which desktop}
# Some releases keep the settings daemons with the programs only other programs start.
export PATH=$PATH:/usr/libexec XDG_SESSION_TYPE=x11

# Per desktop: its window manager, its settings daemon, the name its session gives itself, the
# prefix of its applications menu, and how its switch for alert sounds is set (none for LXQt,
# which has no such switch and runs no settings daemon).
case $DESKTOP in
xfce) WM=(xfwm4) DAEMON=(xfsettingsd --no-daemon) SESSION=XFCE MENU=xfce-
      switch() { xfconf-query -c xsettings -p /Net/EnableEventSounds -n -t bool -s "$1"; } ;;
mate) WM=(marco) DAEMON=(mate-settings-daemon) SESSION=MATE MENU=mate-
      switch() { gsettings set org.mate.sound event-sounds "$1"; } ;;
cinnamon) WM=(muffin) DAEMON=(csd-xsettings) SESSION=X-Cinnamon MENU=cinnamon-
      # Its window manager sounds its bell only with both its alert sounds and its audible bell,
      # which is off by default as well.
      switch() {
          gsettings set org.cinnamon.desktop.sound event-sounds "$1" &&
              gsettings set org.cinnamon.desktop.wm.preferences audible-bell "$1"
      } ;;
lxqt) WM=(openbox) DAEMON=() SESSION=LXQt MENU=lxqt- ;;
*) fail "no such desktop: $DESKTOP" ;;
esac
for program in "${WM[0]}" ${DAEMON[0]:+"${DAEMON[0]}"}; do
    command -v "$program" >/dev/null || skip "$program is not installed"
done
[ -f "/etc/xdg/menus/${MENU}applications.menu" ] || skip "no ${MENU}applications.menu"

start_sound_server
start_x 1024x768x24
export XDG_CURRENT_DESKTOP=$SESSION
spawn wm "${WM[@]}" >"$WORK/wm.log" 2>&1
await 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' 15 ||
    fail "${WM[0]} did not start: $(tail -n 3 "$WORK/wm.log")"
if [ ${#DAEMON[@]} -gt 0 ]; then
    # MATE's daemon takes the X server's resolution from its size in millimetres, which Xvfb
    # makes 100 dpi or so; Qt then scales the window by that much (hidpi.sh checks scaling).
    [ "$DESKTOP" != mate ] || gsettings set org.mate.font-rendering dpi 96.0
    spawn daemon "${DAEMON[@]}" >"$WORK/daemon.log" 2>&1
    await 'xprop -root _XSETTINGS_S0 >/dev/null 2>&1 && [ -n "$(dump_settings)" ]' 15 ||
        fail "${DAEMON[0]} exports no settings: $(tail -n 3 "$WORK/daemon.log")"
fi

menu_lists "$DESKTOP" "$MENU"
launch QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
x_window "$DESKTOP"
bell=$("$TOOLS/audiblebell")
RESULTS+=("$DESKTOP: the X server's own bell is $bell")
if declare -F switch >/dev/null; then
    cases=(default true false true)
else
    cases=(default)
fi
n=0
for state in "${cases[@]}"; do
    n=$((n + 1))
    [ "$state" = default ] || switch "$state" || fail "could not switch alert sounds $state"
    sleep 0.5
    setting=$(dump_settings | sed -n 's|^Net/EnableEventSounds ||p')
    # GTK's own default, where nothing is exported, is on.
    sounds=2
    [ "${setting:-1}" -ne 0 ] || sounds=0
    hear_desktop "$DESKTOP $n, alert sounds $state (${setting:-not set})" "$sounds" "$bell" press_x 388 148
done
stop_app
report
echo "PASS: on $DESKTOP, each beep heard once where its alert sounds are on, silence where off;" \
    "the window fixed; the menu entry found"
