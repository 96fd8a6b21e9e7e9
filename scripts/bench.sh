#!/usr/bin/env bash
# Builds the optimised flavour and runs every benchmark, printing its figures.
# Extra arguments go to each benchmark (for example --benchmark_filter=...).
# The throttled line benchmarks take minutes: they run at the real baud rate.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh release
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
for bin in $(find build/release/bench -type f -executable -name '*_bench' | sort); do
    echo "== $(basename "$bin")"
    "$bin" "$@"
done
