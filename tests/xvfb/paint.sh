#!/usr/bin/env bash
# Painting in the real window: a drag in the starting brush, a swatch and a size clicked, a
# second drag, and the discs read off a screenshot; then a burst of fast moves, each a disc.
source "$(dirname "$0")/lib.sh" "$@"
start_x
start_app

# Window coordinates of a pixel of the canvas's client area (canvas at 8, 8 with a 2 px border).
cx() { echo $((WIN_X + 10 + $1)); }
cy() { echo $((WIN_Y + 10 + $1)); }

# Waits up to five seconds for the program to catch up with the events sent.
wait_for() { # x y "r g b"
    for _ in $(seq 50); do
        [ "$(pixel_at "$1" "$2")" = "$3" ] && return 0
        sleep 0.1
    done
}

expect() { # x y "r g b" what: the pixel at window coordinates x, y
    local got
    got=$(pixel_at "$1" "$2")
    [ "$got" = "$3" ] || fail "$4: pixel $1,$2 is $got, expected $3"
}

# Black, radius 50 twips (3.3 px): three separate moves leave three separate discs.
xdotool mousemove "$(cx 20)" "$(cy 30)" mousedown 1 \
    mousemove "$(cx 50)" "$(cy 30)" mousemove "$(cx 90)" "$(cy 30)" mousemove "$(cx 130)" "$(cy 30)" \
    mouseup 1
# Red (赤色, third swatch) and the thickest brush (極太, 175 twips: 11.7 px).
xdotool mousemove $((WIN_X + 104)) $((WIN_Y + 336)) click 1
xdotool mousemove $((WIN_X + 272)) $((WIN_Y + 340)) click 1
xdotool mousemove "$(cx 20)" "$(cy 120)" mousedown 1 \
    mousemove "$(cx 60)" "$(cy 120)" mousemove "$(cx 120)" "$(cy 120)" mouseup 1
wait_for 130 130 "255 0 0"
screenshot "$WORK/shot.png"
cp "$WORK/shot.png" "$(dirname "$TOOLS")/xvfb_paint.png" 2>/dev/null || true

for x in 50 90 130; do
    expect $((10 + x)) 40 "0 0 0" "black disc centre"
    expect $((10 + x + 2)) 40 "0 0 0" "black disc, 2 px right"
    expect $((10 + x - 3)) 40 "0 0 0" "black disc, 3 px left"
    expect $((10 + x + 5)) 40 "255 255 255" "paper 5 px right of a black disc"
    expect $((10 + x)) 45 "255 255 255" "paper 5 px below a black disc"
done
expect 30 40 "255 255 255" "the press alone"
expect 80 40 "255 255 255" "the gap between two moves"
for x in 60 120; do
    expect $((10 + x)) 130 "255 0 0" "red disc centre"
    expect $((10 + x + 10)) 130 "255 0 0" "red disc, 10 px right"
    expect $((10 + x - 11)) 130 "255 0 0" "red disc, 11 px left"
    expect $((10 + x)) 140 "255 0 0" "red disc, 10 px down"
    expect $((10 + x + 14)) 130 "255 255 255" "paper 14 px right of a red disc"
    expect $((10 + x)) 144 "255 255 255" "paper 14 px below a red disc"
done
expect 30 130 "255 255 255" "the press alone"
expect 100 130 "255 255 255" "the gap between two red discs"
# The swatch and the size button the user chose look pressed: dark above and left.
expect 88 335 "0 0 0" "the red swatch's edge"
expect 256 340 "0 0 0" "the thickest brush's edge"

# A burst of 1000 moves with the button held, as fast as xdotool sends them, with the finest
# brush in black: each reported position is a one-pixel disc, three pixels apart.
xdotool mousemove $((WIN_X + 24)) $((WIN_Y + 336)) click 1
xdotool mousemove $((WIN_X + 176)) $((WIN_Y + 340)) click 1
moves=()
for row in $(seq 0 24); do
    for col in $(seq 0 39); do
        moves+=(mousemove "$(cx $((10 + 3 * col)))" "$(cy $((180 + 3 * row)))")
    done
done
xdotool mousemove "$(cx 200)" "$(cy 240)" mousedown 1 "${moves[@]}" mouseup 1
# Black pixels in the burst's area of the canvas (client x 5..134, y 175..254), counted until
# the last move has been painted.
wait_for $((10 + 10 + 3 * 39)) $((10 + 180 + 3 * 24)) "0 0 0"
discs=0
for _ in $(seq 10); do
    screenshot "$WORK/burst.png"
    counted=$(convert "$WORK/burst.png" -crop "130x80+$((WIN_X + 15))+$((WIN_Y + 185))" +repage \
        -depth 8 txt:- | grep -c '#000000' || true)
    [ "$counted" -eq "$discs" ] && break
    discs=$counted
    sleep 0.2
done
echo "burst: $discs of 1000 moves stamped"
cp "$WORK/burst.png" "$(dirname "$TOOLS")/xvfb_paint_burst.png" 2>/dev/null || true
[ "$discs" -ge 990 ] && [ "$discs" -le 1000 ] || fail "1000 moves stamped $discs discs"
echo "PASS: discs of both brushes where the pointer was, and every move of a burst stamped"
