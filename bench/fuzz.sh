#!/usr/bin/env bash
# Fuzzes the decoder that reopen uses for SECONDS (default 60), building the fuzz target with
# clang first where needed, and prints the executions and the findings. Exits 1 on a finding.
#   bench/fuzz.sh [SECONDS]
# The build goes to build-fuzz (or $PAFURO_FUZZ_BUILD); the corpus grows there from run to run,
# and each finding is kept there as a file to replay: build-fuzz/bench/fuzz_picture FILE
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAFURO_FUZZ_BUILD:-$root/build-fuzz}
work=$build/fuzz

log=$(mktemp)
trap 'rm -f "$log"' EXIT
{ cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DPAFURO_FUZZ=ON -DBUILD_TESTING=OFF &&
  cmake --build "$build" --target fuzz_picture -j "$(nproc)"; } >"$log" 2>&1 ||
    { cat "$log" >&2; exit 2; }
fuzzer=$build/bench/fuzz_picture

mkdir -p "$work/corpus" "$work/findings"
rm -rf "$work/seeds"
# The seeds are made afresh each run; a variant that no longer decodes as made is a finding too.
"$fuzzer" --write-seeds "$work/seeds"

before=$(ls "$work/findings" | wc -l)
started=$(date +%s)
status=0
# Any single allocation beyond the decoder's cap and some room for the file's own bytes counts
# as a finding, as does an input that takes longer than ten seconds.
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=160 \
    -print_final_stats=1 -artifact_prefix="$work/findings/" \
    "$work/corpus" "$work/seeds" >"$work/log" 2>&1 || status=$?

elapsed=$(( $(date +%s) - started ))
executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
executions=${executions:-$(grep -oE '^#[0-9]+' "$work/log" | tail -n 1 | tr -d '#')}
features=$(grep -oE 'ft: [0-9]+' "$work/log" | tail -n 1 | cut -d' ' -f2)
after=$(ls "$work/findings" | wc -l)
echo "fuzz: ${executions:-0} executions in ${elapsed} s ($(( ${executions:-0} / (elapsed > 0 ? elapsed : 1) ))/s)," \
    "${features:-0} features, corpus $(ls "$work/corpus" | wc -l) inputs, $((after - before)) findings"
if [ "$status" -ne 0 ] || [ "$after" -ne "$before" ]; then
    grep -E '^==[0-9]+==ERROR|SUMMARY|^[a-z].*differ|beyond the cap|gave no reason|Test unit written' \
        "$work/log" | head -n 20 >&2 || true
    echo "fuzz: finding(s) in $work/findings; full log in $work/log" >&2
    exit 1
fi
