#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the format
# check, the optimised build, the unit tests again under AddressSanitizer and
# UBSan, the threaded tests under ThreadSanitizer, and a short run of every
# fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

# Qt wants a private runtime folder; a root shell on a server often has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== format (clang-format $(clang-format --version | grep -o '[0-9][0-9.]*' | head -1))"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== release build and tests"
scripts/build.sh release
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/asan --output-on-failure -j "$jobs" -LE slow

echo "== ThreadSanitizer (the threaded tests)"
scripts/build.sh tsan
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L 'pty|threads'

echo "== fuzz targets (short run)"
scripts/build.sh fuzz
scripts/fuzz.sh "${SORVANE_FUZZ_SECONDS:-20}"

echo "== all tests passed"
