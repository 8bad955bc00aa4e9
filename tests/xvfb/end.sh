#!/usr/bin/env bash
# Clicking "お絵かきおしまい" ends the program at once with status 0, also with an unsaved picture.
source "$(dirname "$0")/lib.sh" "$@"
start_x
start_app
# Paint something first: the end asks nothing and saves nothing.
drag 60 60 90 80 120 100
end_app "btnEnd"
[ ! -e "$WORK/app/Image.bmp" ] || fail "the end wrote a picture file"
# Without a display: one line saying so and status 1, no abort.
for display in "-u DISPLAY" "DISPLAY=:$((RANDOM % 900 + 100))"; do
    # shellcheck disable=SC2086
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $display "$PROGRAM_BUILT" 2>"$WORK/nodisplay.err" && status=0 || status=$?
    [ "$status" -eq 1 ] || fail "without a display ($display) exit status $status"
    [ "$(wc -l <"$WORK/nodisplay.err")" -eq 1 ] && grep -q '^pafuro: cannot open X display' "$WORK/nodisplay.err" ||
        fail "without a display ($display): $(cat "$WORK/nodisplay.err")"
done
# A Wayland session whose compositor is gone: Qt tries its socket, then X; the line names both.
mkdir -m 700 "$WORK/run"
env -u DISPLAY -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-gone XDG_RUNTIME_DIR="$WORK/run" \
    "$PROGRAM_BUILT" 2>"$WORK/nodisplay.err" && status=0 || status=$?
[ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/nodisplay.err")" -eq 1 ] &&
    grep -q '^pafuro: cannot open Wayland display wayland-gone nor X display (none set)$' "$WORK/nodisplay.err" ||
    fail "in a Wayland session without a compositor, status $status: $(cat "$WORK/nodisplay.err")"
# With the display there and Qt's platform plugin failing, Qt's own reason instead, status 1.
QT_QPA_PLATFORM=bogus "$PROGRAM_BUILT" 2>"$WORK/noplugin.err" && status=0 || status=$?
[ "$status" -eq 1 ] && grep -q 'platform plugin "bogus"' "$WORK/noplugin.err" &&
    ! grep -q 'cannot open display' "$WORK/noplugin.err" ||
    fail "with a platform plugin that fails, status $status: $(cat "$WORK/noplugin.err")"
echo "PASS: ended with status 0; without a display one line and status 1, else Qt's reason"
