#!/usr/bin/env bash
# Clicking "お絵かきおしまい" ends the program at once with status 0, also with an unsaved picture.
source "$(dirname "$0")/lib.sh" "$@"
start_x
start_app
# Paint something first: the end asks nothing and saves nothing.
xdotool mousemove $((WIN_X + 60)) $((WIN_Y + 60)) mousedown 1 \
    mousemove $((WIN_X + 90)) $((WIN_Y + 80)) mousemove $((WIN_X + 120)) $((WIN_Y + 100)) mouseup 1
xdotool mousemove $((WIN_X + 388)) $((WIN_Y + 204)) click 1
status=
for _ in $(seq 50); do
    if ! kill -0 "$APP_PID" 2>/dev/null; then
        wait "$APP_PID" && status=0 || status=$?
        break
    fi
    sleep 0.05
done
APP_PID=
[ -n "$status" ] || fail "the program did not end after the click"
[ "$status" -eq 0 ] || fail "exit status $status"
[ ! -e "$WORK/app/Image.bmp" ] || fail "the end wrote a picture file"
echo "PASS: ended with status 0"
