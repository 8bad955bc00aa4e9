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

# menu_of LABEL PREFIX...: menu_lists with the first prefix whose applications menu is installed
# (a desktop's menu file is named differently from one release to the next).
menu_of() {
    local prefix
    for prefix in "${@:2}"; do
        if [ -f "/etc/xdg/menus/${prefix}applications.menu" ] && /usr/bin/python3 -c 'import xdg' 2>/dev/null; then
            menu_lists "$1" "$prefix"
            return
        fi
    done
    RESULTS+=("$1: no applications menu to read")
}

# kwin_wayland OPTION...: KWin, with its fake input protocol (the touch screen below) offered to
# any program. Where this process may not gain the capability KWin's file carries (a container
# whose bounding set lacks it), exec would refuse that file: a copy without it runs instead.
kwin_wayland() {
    local kwin=/usr/bin/kwin_wayland bounding
    bounding=$(awk '/^CapBnd/ { print $2 }' /proc/self/status)
    if (((0x$bounding >> 24 & 1) == 0)); then # CAP_SYS_RESOURCE
        cp "$(type -P kwin_wayland)" "$WORK/kwin_wayland"
        kwin=$WORK/kwin_wayland
    fi
    KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 QT_LOGGING_RULES=kwin_scripting.debug=true "$kwin" "$@"
}
# kwin_script JAVASCRIPT: runs a KWin script; what it prints with print() KWin writes to
# $WORK/kwin.log, after "js: ".
kwin_script() {
    local file=$WORK/script-$RANDOM.js
    printf '%s\n' "$1" >"$file"
    dbus-send --session --print-reply --dest=org.kde.KWin /Scripting \
        org.kde.kwin.Scripting.loadScript "string:$file" >/dev/null &&
        dbus-send --session --print-reply --dest=org.kde.KWin /Scripting \
            org.kde.kwin.Scripting.start >/dev/null
}
# kwin_window_origin: sets WIN_X and WIN_Y to where KWin shows the program's client area.
kwin_window_origin() {
    local mark=origin-$RANDOM origin
    kwin_script "for (const w of workspace.windowList ? workspace.windowList() : workspace.clientList())
        if (w.caption === 'Pafuro') print('$mark', w.bufferGeometry.x, w.bufferGeometry.y);" ||
        fail "KWin runs no script"
    await 'origin=$(grep -o "$mark [0-9]* [0-9]*" "$WORK/kwin.log")' || fail "KWin shows no window Pafuro"
    read -r _ WIN_X WIN_Y <<<"$origin"
}

# start_touch: a touch screen on KWin, through its fake input protocol (tests/tools/faketouch),
# there before the program starts as a touch screen would be; skips where the tool is missing.
start_touch() {
    [ -x "$TOOLS/faketouch" ] || skip "faketouch was not built (wayland-scanner, plasma-wayland-protocols)"
    mkfifo "$WORK/touch"
    # Read and write: opening a pipe for one side only would wait for the other.
    exec {TOUCH_FD}<>"$WORK/touch"
    spawn TOUCH_PID "$TOOLS/faketouch" "$WORK/touch" >"$WORK/faketouch.out" 2>"$WORK/faketouch.err"
    await 'grep -q ready "$WORK/faketouch.out" || ! kill -0 "$TOUCH_PID" 2>/dev/null' ||
        true
    grep -q ready "$WORK/faketouch.out" || fail "no touch screen: $(cat "$WORK/faketouch.err")"
}
# finger down|motion ID X Y, finger up ID: finger ID at x, y of the client area, each move a
# frame of its own, 30 ms apart, as a touch screen reports them.
finger() {
    case $1 in
    up) printf 'up %s\nframe\nwait 30\n' "$2" ;;
    *) printf '%s %s %s %s\nframe\nwait 30\n' "$1" "$2" $((WIN_X + $3)) $((WIN_Y + $4)) ;;
    esac >&"$TOUCH_FD"
}
# tap X Y: a finger's tap at x, y of the client area.
tap() {
    finger down 9 "$1" "$2"
    finger up 9
}

# start_wlroots NAME COMMAND...: a wlroots compositor (sway, phoc) headless, with no input devices
# and software rendering; sets WAYLAND_DISPLAY to the socket it makes. Returns 1 where it did not
# come up, with its log in $WORK/NAME.log.
start_wlroots() {
    export XDG_RUNTIME_DIR=$WORK/runtime
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    local pid before socket=
    before=$(ls "$XDG_RUNTIME_DIR")
    spawn pid env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "${@:2}" \
        >"$WORK/$1.log" 2>&1
    # wlroots names its socket itself, wayland-N: the one that was not there before.
    await 'socket=$(comm -13 <(echo "$before") <(ls "$XDG_RUNTIME_DIR") | grep -x "wayland-[0-9]*" | head -n 1)
        [ -n "$socket" ] || ! kill -0 "$pid" 2>/dev/null' 15 || true
    [ -n "$socket" ] && kill -0 "$pid" 2>/dev/null || return 1
    export WAYLAND_DISPLAY=$socket
}

# idle_cpu LABEL: the processor time the program takes over 5 s in which nothing happens to it
# (its sparks go on), which must be well below a loop's (a third of it); adds it to FIGURES.
idle_cpu() {
    local before after
    ticks() { awk '{ print $14 + $15 }' "/proc/$APP_PID/stat"; }
    before=$(ticks)
    sleep 5
    after=$(ticks)
    CPU_MS=$(((after - before) * 1000 / $(getconf CLK_TCK)))
    FIGURES+=("$1: $CPU_MS ms of processor time over 5 s idle")
    [ "$CPU_MS" -lt 1500 ] || fail "$1: the program took $CPU_MS ms of processor time in 5 s idle"
}
