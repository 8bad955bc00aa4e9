#!/usr/bin/env bash
# The side panel's circles run by themselves in the real program: the panel is wiped to the
# same background colours in the same order on every run, the first two of them being
# (157, 198, 120) and then (87, 94, 8).
source "$(dirname "$0")/lib.sh" "$@"
start_x
start_app

# The commonest colour of the panel's client area, as "r g b": its background, since the
# circles on it each have a colour of their own.
panel_background() {
    import -window root -crop "197x37+$((WIN_X + 290))+$((WIN_Y + 242))" -depth 8 txt:- |
        sed -nE 's/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3/p' | sort | uniq -c | sort -rn |
        head -n 1 | sed -E 's/^ *[0-9]+ //'
}

# Waits until the panel's background is the given colour; a colour other than the one before
# it or the one awaited means a wipe out of order.
await_background() {
    local want=$1 before=$2 seen
    await 'seen=$(panel_background); [ "$seen" = "$want" ] ||
        { [ "$seen" = "$before" ] || fail "panel background $seen, awaited $want after $before"; false; }' 30 0.2 ||
        fail "the panel's background did not become $want"
}

# The panel starts white (once the window has been drawn); on a busy machine the first wipe,
# 2.6 s after the start, may come before the first look.
await 'first=$(panel_background); [ "$first" = "255 255 255" ] || [ "$first" = "157 198 120" ]' 8 0.2 || true
case "$first" in
"255 255 255") await_background "157 198 120" "255 255 255" ;;
"157 198 120") ;;
*) fail "the panel starts $first, neither white nor its first colour" ;;
esac
await_background "87 94 8" "157 198 120"
echo "PASS: the panel was wiped to (157, 198, 120), then to (87, 94, 8)"
