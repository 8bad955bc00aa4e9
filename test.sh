#!/usr/bin/env bash
# Installs what is missing, checks the sources' layout (clang-format), builds the program and its
# tests, and runs every test.
#   ./test.sh          the ordinary build
#   ./test.sh --all    also the whole suite built with AddressSanitizer and
#                      UndefinedBehaviorSanitizer (build-asan), and a minute of fuzzing the
#                      picture decoder (bench/fuzz.sh); CI (with CI set) always does both, and
#                      builds with warnings as errors (PAFURO_WERROR=ON, which also works alone)
set -euo pipefail
cd "$(dirname "$0")"
all=
[ "${1:-}" = "--all" ] && all=1
if [ -n "${CI:-}" ]; then
    all=1
    export PAFURO_WERROR=ON
fi
source tools/ensure-packages.sh
ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
tools/check-format.sh
build_release
ctest --test-dir build --output-on-failure -j "$(nproc)"
if [ -n "$all" ]; then
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAFURO_SANITIZE=ON >/dev/null
    cmake --build build-asan -j "$(nproc)"
    ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
    bench/fuzz.sh 60
fi
