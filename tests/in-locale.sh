#!/bin/sh
# Runs a command in the given locale (ja_JP.UTF-8); where the system has not generated that
# locale, it is built once beside the build and found through LOCPATH.
locale=$1
shift
name=$(echo "$locale" | sed 's/UTF-8$/utf8/')
if ! locale -a 2>/dev/null | grep -qx "$name"; then
    dir=$PWD/locales
    if [ ! -d "$dir/$locale" ]; then
        mkdir -p "$dir" && localedef -i "${locale%%.*}" -f UTF-8 "$dir/$locale" || exit 1
    fi
    export LOCPATH="$dir"
fi
LANG=$locale LC_ALL=$locale exec "$@"
