#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-packages.sh
ensure_packages "${RUN_PACKAGES[@]}"
build_release
exec ./build/pafuro
