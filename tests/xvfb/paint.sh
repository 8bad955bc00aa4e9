#!/usr/bin/env bash
# Painting in the real window: a drag in the starting brush, a swatch and a size clicked, a
# second drag, and the discs read off a screenshot; then a burst of fast moves, each a disc.
source "$(dirname "$0")/lib.sh" "$@"
start_x
start_app

expect() { # x y "r g b" what: the pixel at window coordinates x, y
    local got
    got=$(pixel_at "$1" "$2")
    [ "$got" = "$3" ] || fail "$4: pixel $1,$2 is $got, expected $3"
}

# Black, radius 50 twips (3.3 px): three separate moves leave three separate discs. (The
# canvas's client area starts at 10, 10: the canvas at 8, 8 with a 2 px border.)
drag 30 40 60 40 100 40 140 40
# Red (赤色, third swatch) and the thickest brush (極太, 175 twips: 11.7 px).
click 104 336
click 272 340
drag 30 130 70 130 130 130
# The program catches up with the events sent.
await '[ "$(pixel_at 130 130)" = "255 0 0" ]' 5 0.1 || true
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
click 24 336
click 176 340
points=(210 250)
for row in $(seq 0 24); do
    for col in $(seq 0 39); do
        points+=($((20 + 3 * col)) $((190 + 3 * row)))
    done
done
drag "${points[@]}"
# Black pixels in the burst's area of the canvas (client x 5..134, y 175..254), counted until
# the last move has been painted.
await '[ "$(pixel_at $((10 + 10 + 3 * 39)) $((10 + 180 + 3 * 24)))" = "0 0 0" ]' 5 0.1 || true
discs=0
count_discs() {
    screenshot "$WORK/burst.png"
    counted=$(convert "$WORK/burst.png" -crop "130x80+$((WIN_X + 15))+$((WIN_Y + 185))" +repage \
        -depth 8 txt:- | grep -c '#000000' || true)
}
await 'count_discs; [ "$counted" -eq "$discs" ] || { discs=$counted; false; }' 10 0.2 || true
echo "burst: $discs of 1000 moves stamped"
cp "$WORK/burst.png" "$(dirname "$TOOLS")/xvfb_paint_burst.png" 2>/dev/null || true
[ "$discs" -ge 990 ] && [ "$discs" -le 1000 ] || fail "1000 moves stamped $discs discs"
echo "PASS: discs of both brushes where the pointer was, and every move of a burst stamped"
