#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh release   optimised build with tests and benchmarks (build/release)
#   scripts/build.sh asan      unit tests under AddressSanitizer and UBSan (build/asan)
#   scripts/build.sh fuzz      libFuzzer targets built with clang (build/fuzz)
#   scripts/build.sh tsan      the threaded tests under ThreadSanitizer (build/tsan)
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
dir=build/$flavour
args=(-G Ninja -S . -B "$dir")
case "$flavour" in
    release) args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVANE_BUILD_BENCHMARKS=ON) ;;
    asan) args+=(-DCMAKE_BUILD_TYPE=Debug -DSORVANE_SANITIZE=address,undefined) ;;
    tsan) args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVANE_SANITIZE=thread -DSORVANE_BUILD_APP=OFF) ;;
    fuzz) args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                 -DSORVANE_BUILD_FUZZERS=ON -DSORVANE_SANITIZE=address,undefined -DSORVANE_BUILD_APP=OFF -DBUILD_TESTING=OFF) ;;
    *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

cmake "${args[@]}" >/dev/null
case "$flavour" in
    fuzz) cmake --build "$dir" -j "$(nproc)" --target fuzzers ;;
    # Only the tests where threads meet: the simulator's, the NMEA
    # receiver's, the gpsd source's and the control's events.
    tsan) cmake --build "$dir" -j "$(nproc)" --target gpssim_pty_tests link_pty_tests \
              transfer_pty_tests nmea_pty_tests gpsd_tests control_pty_tests control_tests ;;
    *) cmake --build "$dir" -j "$(nproc)" ;;
esac
