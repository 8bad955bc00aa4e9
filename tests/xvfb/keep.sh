#!/usr/bin/env bash
# Keep, new sheet in orange, reopen, in the real window: the canvas comes back pixel for pixel,
# and every action and every fall-back rings the bell once. Then keeps and a reopen that fail (a
# directory in the picture's place, a file-size limit, an address-space limit): the program goes
# on, tells the reason once on standard error and in a box titled "Pafuro", and rings nothing.
# Last, a start from a folder whose name is valid in no encoding keeps beside the program, also
# when the program is started through the dynamic loader, as from a stick mounted noexec.
source "$(dirname "$0")/lib.sh" "$@"
start_x
count_bells
start_app
PICTURE="$WORK/app/Image.bmp"

# The canvas's client area (269 x 277 at 10, 10) and the message line, as on the screen.
grab_canvas() { import -silent -window root -crop "269x277+$((WIN_X + 10))+$((WIN_Y + 10))" +repage "$1"; }
grab_line() { import -silent -window root -crop "480x25+$((WIN_X + 8))+$((WIN_Y + 404))" +repage "$1"; }
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

# Waits until the bell has rung $1 times in all, then makes sure it rings no more at once.
expect_bells() {
    await_bells "$1" || true
    sleep 0.3
    [ "$(bells)" -eq "$1" ] || fail "$2: $(bells) bells in all, expected $1"
}
# An action's notice falls back two seconds later, with one more bell.
expect_fall_back() {
    sleep 2.3
    [ "$(bells)" -eq "$1" ] || fail "$2: $(bells) bells in all after the fall-back, expected $1"
    grab_line "$WORK/line.png"
    [ "$(differing "$WORK/line.png" "$WORK/resting.png")" = 0 ] || fail "$2: the resting text is not back"
}

grab_line "$WORK/resting.png"
[ "$(bells)" -eq 0 ] || fail "the bell rang at start"

# Red, thick strokes across the canvas.
click 104 336
click 240 340
stroke=()
for i in $(seq 0 4 200); do stroke+=($((40 + i)) $((40 + i / 2))); done
drag "${stroke[@]}"
sleep 0.2
grab_canvas "$WORK/painted.png"
[ "$(pixel_at 140 90)" = "255 0 0" ] || fail "no red stroke: $(pixel_at 140 90)"

click 388 36 # btnSave
expect_bells 1 "keep"
grab_line "$WORK/line.png"
[ "$(differing "$WORK/line.png" "$WORK/resting.png")" != 0 ] || fail "the keep shows no notice"
[ -f "$PICTURE" ] || fail "no picture file after the keep"
[ "$(stat -c %s "$PICTURE")" -eq 223870 ] || fail "picture file of $(stat -c %s "$PICTURE") bytes"
[ "$(head -c 2 "$PICTURE")" = BM ] || fail "the picture file is no bitmap"
expect_fall_back 2 "keep"

click 384 368 # the orange paper
sleep 0.2
[ "$(bells)" -eq 2 ] || fail "choosing a paper rang the bell"
grab_canvas "$WORK/chosen.png"
[ "$(differing "$WORK/chosen.png" "$WORK/painted.png")" = 0 ] || fail "choosing a paper changed the canvas"
click 388 148 # btnNew
expect_bells 3 "new sheet"
for point in "0 0" "140 90" "268 276" "100 200"; do
    # shellcheck disable=SC2086
    set -- $point
    [ "$(pixel_at $((10 + $1)) $((10 + $2)))" = "255 162 0" ] ||
        fail "the new sheet at $point is $(pixel_at $((10 + $1)) $((10 + $2)))"
done
expect_fall_back 4 "new sheet"

click 388 92 # btnOpen
expect_bells 5 "reopen"
grab_canvas "$WORK/reopened.png"
changed=$(differing "$WORK/reopened.png" "$WORK/painted.png")
[ "$changed" = 0 ] || fail "the reopened picture differs from the kept one in $changed pixels"
expect_fall_back 6 "reopen"
screenshot "$WORK/reopened-window.png"

# A failed action: an error box titled Pafuro beside the window, the reason once on standard
# error (the line's start $1), and the program still running.
windows() { xdotool search --onlyvisible --name '^Pafuro$' 2>/dev/null | wc -l || true; }
expect_failure() {
    local reported
    await '[ "$(windows)" -ge 2 ]' && [ "$(windows)" -eq 2 ] || fail "$2: no error box titled Pafuro"
    kill -0 "$APP_PID" 2>/dev/null || fail "$2: the program ended"
    reported=$(grep -c "^pafuro: $1" "$WORK/app.err" || true)
    [ "$reported" -eq 1 ] || fail "$2: reported $reported times: $(cat "$WORK/app.err")"
}
# The box goes with Return.
close_box() {
    local box
    box=$(xdotool search --onlyvisible --name '^Pafuro$' | grep -vx "$WID" | head -n 1)
    xdotool windowfocus --sync "$box" key Return
    await '[ "$(windows)" -eq 1 ]' || fail "the error box did not close"
}

# A directory where the picture file belongs: the keep fails, and nothing is lost.
rm "$PICTURE"
mkdir "$PICTURE"
click 388 36
expect_failure "$PICTURE: " "a keep onto a directory"
screenshot "$WORK/error.png"
sleep 2.3
[ "$(bells)" -eq 6 ] || fail "the failed keep rang the bell ($(bells) in all)"
[ -d "$PICTURE" ] && [ -z "$(ls -A "$PICTURE")" ] || fail "the failed keep changed what was there"
close_box
grab_canvas "$WORK/after-failure.png"
[ "$(differing "$WORK/after-failure.png" "$WORK/painted.png")" = 0 ] || fail "the failed keep changed the canvas"
click 388 148
expect_bells 7 "new sheet after the failure"
rmdir "$PICTURE"
click 388 36
expect_bells 8 "a keep after the failure"
expect_fall_back 9 "a keep after the failure"

# Past a file-size limit the keep fails with its reason, the old file stays, and the program
# goes on rather than ending by SIGXFSZ.
before="$(stat -c %i "$PICTURE") $(md5sum <"$PICTURE")"
prlimit --pid "$APP_PID" --fsize=100000:unlimited
click 388 36
expect_failure "$PICTURE: cannot keep the picture: File too large" "a keep past the file-size limit"
[ "$(stat -c %i "$PICTURE") $(md5sum <"$PICTURE")" = "$before" ] || fail "the keep past the limit changed the file"
close_box
prlimit --pid "$APP_PID" --fsize=unlimited:unlimited

# Under an address-space limit 30 MiB above what the program holds, the kept picture reopens;
# a 4000 x 4000 one, a 48 MB file and 61 MiB once decoded, fails with its reason and the program
# goes on. (Blocks that fit in the room the allocator already holds would not fail, and the
# sanitizers' allocator holds all its room from the start.)
if built_with_asan "$PROGRAM_BUILT"; then
    echo "the address-space limit is not tried: the sanitizers' allocator is not held by it"
else
    vm=$(awk '/^VmSize:/ { print $2 }' "/proc/$APP_PID/status")
    prlimit --pid "$APP_PID" --as=$(((vm + 30 * 1024) * 1024)):unlimited
    click 388 92
    expect_bells 10 "a reopen under an address-space limit"
    expect_fall_back 11 "a reopen under an address-space limit"
    convert -size 4000x4000 xc:red -type truecolor bmp3:"$PICTURE"
    click 388 92
    expect_failure "$PICTURE: cannot reopen the picture: Cannot allocate memory" "a reopen beyond the limit"
    close_box
    prlimit --pid "$APP_PID" --as=unlimited:unlimited
fi
rung=$(bells)
click 388 148
expect_bells $((rung + 1)) "new sheet after the limits"

# Started from a folder whose name is valid in no encoding, the program keeps beside itself.
stop_app
odd=$WORK/$'caf\xe9'
mkdir "$odd"
rm -rf "$WORK/app"
ln -s "$odd" "$WORK/app"
root_picture=$([ -e /Image.bmp ] && echo there || echo none)
start_app
click 388 36
await '[ -f "$odd/Image.bmp" ]' || true
[ "$(stat -c %s "$odd/Image.bmp" 2>/dev/null)" = 223870 ] || fail "no picture beside a program in caf\\xe9"
[ "$root_picture" = there ] || [ ! -e /Image.bmp ] || fail "the keep wrote /Image.bmp"

stop_app
rm "$odd/Image.bmp"
loader=$(ldd "$PROGRAM_BUILT" | awk '$1 ~ /^\/.*\/ld-/ { print $1 }')
[ -x "$loader" ] || fail "no dynamic loader found for the program: $(ldd "$PROGRAM_BUILT")"
beside_loader="$(dirname "$(readlink -f "$loader")")/Image.bmp"
loader_picture=$([ -e "$beside_loader" ] && echo there || echo none)
cp "$PROGRAM_BUILT" "$odd/pafuro.bin"
printf '#!/bin/sh\nexec %s "$(dirname "$0")/pafuro.bin"\n' "$loader" >"$WORK/through-loader"
PROGRAM_BUILT="$WORK/through-loader" start_app
click 388 36
await '[ -f "$odd/Image.bmp" ]' || true
if [ "$loader_picture" = none ] && [ -e "$beside_loader" ]; then
    rm -f "$beside_loader"
    fail "the keep wrote $beside_loader"
fi
[ "$(stat -c %s "$odd/Image.bmp" 2>/dev/null)" = 223870 ] ||
    fail "started through $loader, no picture beside the program: $(cat "$WORK/app.err")"
echo "PASS: kept, new sheet, reopened pixel for pixel; $(bells) bells; failed keeps and reopens lost nothing;" \
    "kept from a folder named in no encoding, also started through the dynamic loader"
