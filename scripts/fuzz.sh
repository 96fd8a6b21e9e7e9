#!/usr/bin/env bash
# Runs every libFuzzer target of build/fuzz for the given number of seconds
# each (default 20), starting from its seed corpus in fuzz/corpus/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shopt -s nullglob
found=0
for bin in build/fuzz/fuzz/*/fuzz_* build/fuzz/fuzz/*/*/fuzz_*; do
    [ -x "$bin" ] || continue
    found=1
    name=$(basename "$bin")
    work=build/fuzz/corpus-run/$name
    mkdir -p "$work"
    seeds=()
    [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
    echo "-- $name for ${seconds}s"
    "$bin" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" \
        "$work" "${seeds[@]}" 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' || true
    findings=("$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*)
    if [ ${#findings[@]} -gt 0 ]; then
        echo "fuzz target $name found a failure: ${findings[*]}" >&2
        exit 1
    fi
done
[ $found -eq 1 ] || echo "(no fuzz targets built)"
