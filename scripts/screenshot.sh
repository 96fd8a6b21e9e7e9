#!/usr/bin/env bash
# Takes the README's screenshot of the program: scripts/screenshot.sh ja|en OUT.png
# Runs the built program under a virtual X server with docs/takao.mps loaded,
# the simulator on port 1 and private settings centred on the sample.
set -euo pipefail
cd "$(dirname "$0")/.."
lang=${1:?ja or en}
out=${2:?output file}
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -euo pipefail
    lang=$1; out=$2
    cfg=$(mktemp -d)
    trap "rm -rf $cfg" EXIT
    mkdir -p "$cfg/Vesko"
    printf "[General]\nAreaCode=\nLayerScale=70000\nLatitudeCenter=128275200\nLongitudeCenter=501184800\nCommPort=COM1\n" \
        > "$cfg/Vesko/TobrelPA.conf"
    coproc SIM { exec build/release/tools/gpssim/gpssim --product 130 --description "eTrex Legend"; }
    read -r -t 10 path <&"${SIM[0]}"
    export SORVANE_COM1=$path XDG_CONFIG_HOME=$cfg
    build/release/app/ui/tobrelpa --lang "$lang" docs/takao.mps &
    app=$!
    sleep 6
    import -window root -crop 792x561+0+0 "$out"
    kill "$app" "$SIM_PID"
    wait || true
' screenshot "$lang" "$out"
