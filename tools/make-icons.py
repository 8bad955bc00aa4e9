#!/usr/bin/env python3
"""Draws the window icon, a red pencil lying diagonally with its point at the top-left,
as 16-colour XPM files at 16 and 32 pixels (and renderings at 64, 128 and 256 pixels for the
desktop, which shows its menu entries large)."""
import math
import sys

PALETTE = {
    ' ': 'None',
    'k': '#000000',  # graphite
    'w': '#F0C890',  # bare wood
    'd': '#C08850',  # wood in shade
    'R': '#FF2020',  # lacquer
    'r': '#C00000',  # lacquer in shade
    'h': '#FF9090',  # lacquer highlight
    'm': '#C0C0C0',  # ferrule
    'g': '#808080',  # ferrule in shade
    'e': '#FF80C0',  # eraser
    'o': '#400000',  # outline
}


def pixel(x, y, size):
    s = size / 32.0
    # Axis runs from the point at the top-left to the end at the bottom-right.
    cx, cy = (x + 0.5) / s, (y + 0.5) / s
    u = (cx + cy) / math.sqrt(2)          # along the pencil, 0 at the corner
    v = (cx - cy) / math.sqrt(2)          # across it
    start, tip_end, wood_end, body_end, ferrule_end, end = 2.5, 6.5, 12.0, 33.0, 35.5, 38.0
    half = 3.8
    if u < start or u > end:
        return ' '
    if u < wood_end:
        width = half * (u - start) / (wood_end - start)
        if abs(v) > width + 0.6:
            return ' '
        if abs(v) > width:
            return 'o'
        if u < tip_end:
            return 'k'
        return 'd' if v < -width / 3 else 'w'
    if abs(v) > half + 0.7:
        return ' '
    if abs(v) > half:
        return 'o'
    if u < body_end:
        if v > half / 3:
            return 'h'
        if v < -half / 3:
            return 'r'
        return 'R'
    if u < ferrule_end:
        return 'g' if v < 0 else 'm'
    return 'e'


def xpm(size, name):
    rows = [''.join(pixel(x, y, size) for x in range(size)) for y in range(size)]
    used = [c for c in PALETTE if any(c in row for row in rows)]
    out = ['/* XPM */', f'static const char *{name}[] = {{',
           f'"{size} {size} {len(used)} 1",']
    out += [f'"{c} c {PALETTE[c]}",' for c in used]
    out += [f'"{row}",' for row in rows]
    out[-1] = out[-1].rstrip(',')
    out.append('};')
    return '\n'.join(out) + '\n'


if __name__ == '__main__':
    folder = sys.argv[1] if len(sys.argv) > 1 else 'src/app/icons'
    for size in (16, 32, 64, 128, 256):
        with open(f'{folder}/pafuro-{size}.xpm', 'w') as f:
            f.write(xpm(size, f'pafuro_{size}'))
