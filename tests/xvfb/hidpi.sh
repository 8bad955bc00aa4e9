#!/usr/bin/env bash
# At twice the scale (QT_SCALE_FACTOR=2) the window is twice as large and every control, edge
# and colour lies at twice its place, each pixel of the layout covering two by two pixels of
# the screen; captions are drawn at the screen's resolution, not enlarged; a drag paints round
# discs in the screen's own pixels under the pointer; the kept picture is the canvas as the
# screen shows it, 538 x 554, and reopening shows it back one to one.
source "$(dirname "$0")/lib.sh" "$@"
start_x 1600x1200x24
export QT_SCALE_FACTOR=2
start_app
SHOT=$WORK/window.png

eval "$(xdotool getwindowgeometry --shell "$WID")"
[ "${WIDTH}x${HEIGHT}" = 992x866 ] || fail "the window is ${WIDTH}x${HEIGHT}, expected 992x866"

# The client area as on the screen, and "r g b" of its pixel at x, y (screen pixels).
grab() { import -silent -window root -crop "992x866+$WIN_X+$WIN_Y" +repage "$SHOT"; }
rgb() {
    convert "$SHOT" -format \
        "%[fx:int(255*p{$1,$2}.r+.5)] %[fx:int(255*p{$1,$2}.g+.5)] %[fx:int(255*p{$1,$2}.b+.5)]" info:
}

# Pixels of the layout (x, y in the window's own pixels) and their colours: the window, the
# canvas's sunken border and its white inside, the bevels and faces of buttons, swatches and
# size buttons, and the message line. Both screen pixels on the diagonal of each must match.
grab
while read -r x y r g b what; do
    for d in 0 1; do
        got=$(rgb $((2 * x + d)) $((2 * y + d)))
        [ "$got" = "$r $g $b" ] ||
            fail "$what: screen pixel ($((2 * x + d)), $((2 * y + d))) is $got, expected $r $g $b"
    done
done <<'TABLE'
4 4 255 192 192 window
7 100 255 192 192 left of the canvas
8 100 128 128 128 canvas border, outer left
9 100 0 0 0 canvas border, inner left
10 100 255 255 255 canvas inside
279 200 192 192 192 canvas border, inner right
280 200 255 255 255 canvas border, outer right
281 200 255 192 192 right of the canvas
100 288 255 255 255 canvas border, outer bottom
288 36 255 255 255 btnSave bevel, outer left
289 36 227 227 227 btnSave bevel, inner left
290 36 192 255 192 btnSave face
487 36 128 128 128 btnSave bevel, inner right
488 36 0 0 0 btnSave bevel, outer right
489 36 255 192 192 right of btnSave
388 56 0 0 0 btnSave bevel, bottom
292 150 255 192 255 btnNew face
292 206 255 255 192 btnEnd face
24 336 0 0 0 selected black swatch, sunken outer left
104 336 255 0 0 red swatch
104 368 255 128 0 orange swatch
163 357 192 255 255 size button face
416 368 0 255 0 green paper button
480 420 192 192 255 message line
TABLE

# A caption drawn at the screen's resolution has edges that fall inside the two by two blocks
# of screen pixels; one drawn at the window's resolution and enlarged has none.
convert "$SHOT" -crop 360x60+610+42 +repage "$WORK/caption.png"
convert "$WORK/caption.png" -sample 50% -sample 200% "$WORK/blocky.png"
ink=$(convert "$WORK/caption.png" -threshold 50% -negate -format '%[fx:int(mean*w*h+.5)]' info:)
[ "$ink" -gt 500 ] || fail "the caption of btnSave has only $ink dark pixels"
finer=$(compare -metric AE "$WORK/caption.png" "$WORK/blocky.png" null: 2>&1 || true)
[ "$finer" -gt 200 ] || fail "the caption of btnSave looks enlarged: only $finer pixels finer than 2x2"

# A drag with the red brush: a disc under each position the pointer moves to, with the radius
# of 50 twips, 6.7 pixels of the screen. The second position is on an odd screen pixel, half a
# pixel of the window.
click 208 672
drag 100 100 200 150 301 401
sleep 0.3
grab
for spot in "200 150" "301 401"; do
    read -r x y <<<"$spot"
    for dx in -5 0 5; do
        [ "$(rgb $((x + dx)) "$y")" = "255 0 0" ] || fail "no red under the pointer at ($((x + dx)), $y)"
        [ "$(rgb "$x" $((y + dx)))" = "255 0 0" ] || fail "no red under the pointer at ($x, $((y + dx)))"
    done
    # The disc is drawn in screen pixels, not in blocks of two: the pixel centres within 6.7 of
    # the pointer's corner are 7 to the left of it and above it and 7 to the right and below,
    # counting the pixel at the corner.
    for d in -7 6; do
        [ "$(rgb $((x + d)) "$y")" = "255 0 0" ] || fail "the disc at ($x, $y) stops short of $d"
        [ "$(rgb "$x" $((y + d)))" = "255 0 0" ] || fail "the disc at ($x, $y) stops short of $d"
    done
    for d in -8 7; do
        [ "$(rgb $((x + d)) "$y")" = "255 255 255" ] || fail "the disc at ($x, $y) reaches $d pixels out"
        [ "$(rgb "$x" $((y + d)))" = "255 255 255" ] || fail "the disc at ($x, $y) reaches $d pixels out"
    done
done
[ "$(rgb 100 100)" = "255 255 255" ] || fail "the press alone painted"
# The canvas's client area on the screen: inside a border of two screen pixels to each edge.
CANVAS=$WORK/canvas.png
convert "$SHOT" -crop 538x554+20+20 +repage "$CANVAS"
blocks=$(convert "$CANVAS" -sample 50% -sample 200% - | compare -metric AE "$CANVAS" - null: 2>&1 || true)
[ "$blocks" -gt 40 ] || fail "the discs are made of 2x2 blocks: only $blocks pixels finer"

# Keep: the picture file is the canvas's client area as the screen shows it, pixel for pixel.
click 776 72
PICTURE=$WORK/app/Image.bmp
await '[ -s "$PICTURE" ]' || true
sleep 0.2
[ -s "$PICTURE" ] || fail "keep wrote no picture"
[ "$(head -c 2 "$PICTURE")" = BM ] || fail "the picture is not a bitmap"
[ "$(identify -format '%wx%h' "$PICTURE")" = 538x554 ] ||
    fail "the picture is $(identify -format '%wx%h' "$PICTURE"), expected 538x554"
differ=$(compare -metric AE "$PICTURE" "$CANVAS" null: 2>&1 || true)
[ "$differ" = 0 ] || fail "the picture differs from the canvas on the screen in $differ pixels"

# A new sheet of blue paper, then reopen: the picture is back one to one on the screen's pixels.
click 832 672
click 776 296
sleep 0.3
grab
[ "$(rgb 300 400)" = "0 0 255" ] || fail "the new sheet is $(rgb 300 400), expected blue"
click 776 184
sleep 0.3
grab
convert "$SHOT" -crop 538x554+20+20 +repage "$WORK/reopened.png"
differ=$(compare -metric AE "$PICTURE" "$WORK/reopened.png" null: 2>&1 || true)
[ "$differ" = 0 ] || fail "the reopened picture differs from the kept one in $differ screen pixels"

# A smaller picture lies at the canvas's top-left, one of its pixels to one of the screen's, and
# the rest is the paper's blue.
convert -size 100x60 xc:'rgb(0,255,0)' -type TrueColor BMP3:"$PICTURE"
click 776 184
sleep 0.3
grab
[ "$(rgb 20 20)" = "0 255 0" ] || fail "the small picture's first pixel shows $(rgb 20 20)"
[ "$(rgb 119 79)" = "0 255 0" ] || fail "the small picture's last pixel shows $(rgb 119 79)"
[ "$(rgb 120 50)" = "0 0 255" ] || fail "right of the small picture is $(rgb 120 50), expected blue"
[ "$(rgb 50 80)" = "0 0 255" ] || fail "below the small picture is $(rgb 50 80), expected blue"
echo "PASS: the window, its pixels, a caption, painting, keeping and reopening at twice the scale"
