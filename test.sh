#!/usr/bin/env bash
# Installs what is missing, builds the program and its tests, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-packages.sh
ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
build_release
ctest --test-dir build --output-on-failure -j "$(nproc)"
