#!/usr/bin/env bash
# Takes the README's picture of the window under Xvfb, after a few strokes in several colours
# and sizes. Needs xvfb, xdotool and imagemagick.
# Usage: tools/screenshot.sh [build/pafuro] [docs/screenshot.png]
root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/pafuro}")
out=$(realpath -m "${2:-$root/docs/screenshot.png}")
source "$root/tests/xvfb/lib.sh" "$program"
start_x
start_app

click() { xdotool mousemove $((WIN_X + $1)) $((WIN_Y + $2)) click 1; }
swatch() { click $((24 + 32 * ($1 % 4) + 16)) $((320 + 32 * ($1 / 4) + 16)); }
size() { click $((160 + 32 * $1 + 16)) 340; }

# A slow stroke along a curve on the canvas: the canvas's client area starts at 10, 10.
# stroke x0 x1 y amplitude period: y + amplitude * sin(2 pi (x - x0) / period), x from x0 to x1.
stroke() {
    local moves
    mapfile -t moves < <(awk -v x0="$1" -v x1="$2" -v y="$3" -v a="$4" -v p="$5" \
        -v ox=$((WIN_X + 10)) -v oy=$((WIN_Y + 10)) 'BEGIN {
            for (x = x0; x <= x1; x += 2) {
                printf "mousemove\n%d\n%d\n", ox + x, oy + y + a * sin(6.2832 * (x - x0) / p)
            }
        }')
    xdotool mousemove $((WIN_X + 10 + $1)) $((WIN_Y + 10 + $3)) mousedown 1 "${moves[@]}" mouseup 1
}

swatch 2; size 3; stroke 20 250 40 18 120   # red, thickest
swatch 3; size 2; stroke 20 250 95 25 180   # blue, thick
swatch 6; size 3; stroke 30 240 150 12 60   # orange, thickest
swatch 7; size 1; stroke 20 250 200 30 230  # green, normal
swatch 5; size 2; stroke 40 220 245 8 45    # purple, thick
swatch 0; size 0; stroke 15 255 265 3 20    # black, thin
swatch 4; size 1; click 60 20               # yellow chosen last; a click paints nothing
sleep 1
screenshot "$WORK/root.png"
mkdir -p "$(dirname "$out")"
convert "$WORK/root.png" -crop "496x433+$WIN_X+$WIN_Y" +repage "$out"
echo "wrote $out"
