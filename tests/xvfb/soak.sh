#!/usr/bin/env bash
# Forty seconds of bench/soak.sh: about 65000 painting moves, keeps and reopens with the
# animation running; the program stays up, the picture comes back and memory stays flat.
exec bash "$(dirname "$0")/../../bench/soak.sh" 0.67 "$1"
