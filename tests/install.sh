#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop finds there: every file in
# its place and nothing else, a valid desktop entry and AppStream file that point at the
# installed program and icon, found by GLib's rules without the install folder on PATH, and icons
# that are the window's own at their sizes.
# Usage: install.sh <build dir> <source dir> <project version>
set -euo pipefail
BUILD=$1
SOURCE=$2
VERSION=$3
ID=io.github.pafuro.pafuro
PREFIX=$(mktemp -d)
trap 'rm -rf "$PREFIX"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null

expected="bin/pafuro
share/applications/$ID.desktop
share/doc/pafuro/Konatu-MIT.txt
share/doc/pafuro/NotoSerifCJK-OFL.txt
share/icons/hicolor/128x128/apps/pafuro.png
share/icons/hicolor/16x16/apps/pafuro.png
share/icons/hicolor/256x256/apps/pafuro.png
share/icons/hicolor/32x32/apps/pafuro.png
share/icons/hicolor/64x64/apps/pafuro.png
share/metainfo/$ID.metainfo.xml"
installed=$(cd "$PREFIX" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$installed" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$installed") || true)"
[ -x "$PREFIX/bin/pafuro" ] || fail "the program is not executable"

desktop=$PREFIX/share/applications/$ID.desktop
metainfo=$PREFIX/share/metainfo/$ID.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
# AppStream 1.0 (Debian 13) asks for a homepage, which Pafuro has none of, and lets a project
# without one set that aside; AppStream 0.16 (Debian 12) does not know the developer element that
# 1.0 asks for, and 1.0 still catches a misspelt element.
override=unknown-tag=pedantic
dpkg --compare-versions "$(appstreamcli --version | grep -o '[0-9][0-9.]*' | head -n 1)" ge 1.0 &&
    override=url-homepage-missing=pedantic
appstreamcli validate --no-net --pedantic --strict --override="$override" "$metainfo" ||
    fail "appstreamcli rejects the metainfo file"

key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Name)" = Pafuro ] || fail "Name is '$(key Name)'"
[ -n "$(key 'Comment\[ja\]')" ] || fail "no Japanese comment"
# GLib, which lists the entries in GNOME's menus, hides one whose program it cannot find; PATH is
# left without the install folder, as it is until the next login after a first install.
shown() { # ENTRY: prints the program GLib would start
    env -i PATH=/usr/bin:/bin python3 -c '
import sys
from gi.repository import Gio, GLib
info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
sys.exit(not (info and info.should_show()) or print(GLib.shell_parse_argv(info.get_commandline())[1][0]))' "$1"
}
program=$(shown "$desktop") || fail "GLib would not show the entry (Exec=$(key Exec))"
[ "$program" -ef "$PREFIX/bin/pafuro" ] || fail "Exec=$(key Exec) is not the installed program"
# Also where the install folder's path must be quoted on the entry's command line.
odd="$PREFIX/a b\$c\"d"
cmake --install "$BUILD" --prefix "$odd" >/dev/null
program=$(shown "$odd/share/applications/$ID.desktop") ||
    fail "GLib would not show the entry installed under '$odd'"
[ "$program" -ef "$odd/bin/pafuro" ] || fail "installed under '$odd', the entry starts '$program'"
rm -rf "$odd"
icon=$(key Icon)
for size in 16 32 128 256; do
    [ -f "$PREFIX/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] ||
        fail "Icon=$icon has no $size px file in the theme"
done
grep -q "<id>$ID</id>" "$metainfo" || fail "the metainfo's id is not $ID"
grep -q "<launchable type=\"desktop-id\">$ID.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $ID.desktop"
newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$newest" = "$VERSION" ] || fail "the newest release is '$newest', the build is $VERSION"

# Each icon has its size, the window's own pixels, and a transparent background.
for size in 16 32 64 128 256; do
    png=$PREFIX/share/icons/hicolor/${size}x${size}/apps/pafuro.png
    [ "$(identify -format '%m %wx%h' "$png")" = "PNG ${size}x${size}" ] ||
        fail "$png is $(identify -format '%m %wx%h' "$png")"
    differing=$(compare -metric AE "$SOURCE/src/app/icons/pafuro-$size.xpm" "$png" null: 2>&1 || true)
    [ "$differing" = 0 ] || fail "the $size px icon differs from the window's in $differing pixels"
    corner=$(convert "$png" -format "%[fx:int(255*p{$((size - 1)),0}.a)]" info:)
    [ "$corner" = 0 ] || fail "the $size px icon's corner is not transparent (alpha $corner)"
done
# The licences of the faces compiled into the program.
grep -q "Permission is hereby granted" "$PREFIX/share/doc/pafuro/Konatu-MIT.txt" ||
    fail "the rounded face's licence is not installed whole"
grep -q "SIL OPEN FONT LICENSE Version 1.1" "$PREFIX/share/doc/pafuro/NotoSerifCJK-OFL.txt" ||
    fail "the Mincho's licence is not installed whole"
echo "PASS: installed $(echo "$installed" | wc -l) files, all valid"
