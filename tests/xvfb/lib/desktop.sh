# The desktop layer: a Wayland compositor of the test's own and desktop sessions (gnome.sh,
# plasma.sh), where the program is started as the desktop's launcher starts it, natively or
# through Xwayland, beside the session's own sound server.

# start_weston NAME OPTION...: a headless weston, with no animations, on the Wayland display
# NAME; sets WAYLAND_DISPLAY and WESTON_LOG, and skips the test where weston cannot start.
start_weston() {
    command -v weston >/dev/null || skip "weston is not installed"
    export XDG_RUNTIME_DIR=$WORK/runtime WAYLAND_DISPLAY=$1 WESTON_LOG=$WORK/weston.log
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    printf '[shell]\nanimation=none\nclose-animation=none\nstartup-animation=none\nfocus-animation=none\n' \
        >"$WORK/weston.ini"
    local weston
    spawn weston weston --config="$WORK/weston.ini" --backend=headless-backend.so --use-pixman \
        --idle-time=0 --socket="$1" "${@:2}" >"$WESTON_LOG" 2>&1
    await '[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || ! kill -0 "$weston" 2>/dev/null' 10 || true
    [ -S "$XDG_RUNTIME_DIR/$1" ] && kill -0 "$weston" 2>/dev/null ||
        skip "weston could not start headless: $(tail -n 3 "$WESTON_LOG")"
}

RESULTS=()
WRONG=()
# count_beeps LABEL COMMAND...: counts the sounds of one new sheet and its fall-back, btnNew
# pressed by the command given; notes the case as wrong unless exactly two are played and heard.
count_beeps() {
    press_and_hear "$1" 2 "${@:2}"
    RESULTS+=("$1: a new sheet and its fall-back played $STREAMS sounds, $BURSTS heard, peak $PEAK")
    all_heard 2 || WRONG+=("$1")
}
# report: fails with every case that was not heard exactly once per beep, after listing them all.
report() {
    printf '%s\n' "${RESULTS[@]}"
    [ ${#WRONG[@]} -eq 0 ] || fail "not heard once per beep where alerts sound, or not silent where not: ${WRONG[*]}"
}

press_native() { "${ATSPI[@]}" press pafuro "$1"; }
# native_case LABEL NAME=VALUE...: the program started natively as a Wayland session starts it
# (both displays known, no platform named): it comes up with the fixed size, opens no X window,
# and beeps once per beep.
native_case() {
    local size
    launch QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "${@:2}"
    size=$("${ATSPI[@]}" size pafuro) || fail "$1: the program did not come up"
    [ "$size" = 496x433 ] || fail "$1: the window is $size, not 496x433"
    [ -z "$(xdotool search --name '^Pafuro$' 2>/dev/null)" ] ||
        fail "$1: the program chose Xwayland in a Wayland session"
    count_beeps "$1" press_native '新しい紙にする。'
}

# x_window LABEL: the window on an X display comes up, has the fixed size and a frame, and stays
# so when the window manager is asked to make it full screen or maximized. Sets WID, WIN_X and
# WIN_Y (the client area's origin as xwininfo tells it: a reparented window's own geometry is
# relative to its frame).
x_window() {
    await_window "$1"
    # A click before the window manager has given it the focus can be lost.
    await '[ "$(xdotool getactivewindow 2>/dev/null)" = "$WID" ]' 3 || true
    sleep 0.3
    local info state
    info=$(xwininfo -id "$WID")
    WIN_X=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$info")
    WIN_Y=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$info")
    x_size_is "$1" "at start"
    # Xwayland under GNOME Shell may lose the first click on a window: it goes to the pink
    # between the canvas and the buttons, where a click does nothing.
    click 284 100
    xprop -id "$WID" _NET_FRAME_EXTENTS | grep -Eq '= [0-9]+, [0-9]+, [1-9]' ||
        fail "$1: the window has no frame: $(xprop -id "$WID" _NET_FRAME_EXTENTS)"
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
# press_x X Y: a click at x, y of the client area, which must reach btnNew: a click lost would
# be counted as silence. AT-SPI is asked without the X display, which it would otherwise open.
press_x() {
    click "$1" "$2"
    await 'DISPLAY= "${ATSPI[@]}" tree pafuro | grep -q "紙をとりかえましたよ！"' 15 ||
        fail "the click did not reach btnNew"
}

# dump_settings: the XSETTINGS manager's settings, one a line.
dump_settings() { dump_xsettings 2>/dev/null || true; }

# hear_desktop LABEL SOUNDS BELL COMMAND...: as count_beeps, with that many sounds expected, and
# who played them: the program where the X server's own bell (BELL) is on, the desktop where it
# is off. Every sound stream of the sound server is polled for its process's program: a desktop
# may name the stream after the window it rang the bell for.
hear_desktop() {
    local players who
    spawn players bash -c 'while :; do pactl list sink-inputs 2>/dev/null |
        awk "/^Sink Input #/ { id = \$3 } /application.process.binary = / { print id, \$3 }"; sleep 0.03; done' \
        >"$WORK/players"
    press_and_hear "$1" "$2" "${@:4}"
    stop "$players"
    who=$(sort -u "$WORK/players" | cut -d' ' -f2 | sort | uniq -c | xargs)
    RESULTS+=("$1: $STREAMS sounds played, $BURSTS heard, peak $PEAK, by ${who:-nobody}")
    all_heard "$2" || WRONG+=("$1")
    if [ "$2" -gt 0 ]; then
        [[ $3 == off ]] && [[ $who == *pafuro* ]] && WRONG+=("$1: the program played beside the desktop")
        [[ $3 == on ]] && [[ $who != *pafuro* ]] && WRONG+=("$1: not played by the program")
    fi
    return 0
}

# menu_lists DESKTOP PREFIX: the build installed into a prefix, whose desktop entry the desktop's
# applications menu (/etc/xdg/menus/PREFIXapplications.menu) must list.
menu_lists() {
    cmake --install "$(dirname "$PROGRAM_BUILT")" --prefix "$WORK/prefix" >/dev/null ||
        fail "could not install the build"
    local where
    where=$(XDG_DATA_DIRS=$WORK/prefix/share:/usr/share XDG_MENU_PREFIX=$2 /usr/bin/python3 - <<'PY'
import sys
import xdg.Menu

# The menu's own structure: pyxdg 0.28 leaves merged submenus out of a layout's entries.
def entries(menu):
    for submenu in menu.Submenus:
        if submenu.Show is True:
            yield from entries(submenu)
    for entry in menu.MenuEntries:
        if entry.Show is True:
            yield entry.DesktopFileID, menu.getPath()

found = [path for id, path in entries(xdg.Menu.parse()) if id == 'io.github.pafuro.pafuro.desktop']
print(', '.join(found))
sys.exit(0 if found else 1)
PY
    ) || fail "$1: the applications menu does not list the program"
    RESULTS+=("$1: the applications menu lists the program under $where")
}
