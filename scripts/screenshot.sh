#!/usr/bin/env bash
# Takes the README's screenshots of the program under a virtual X server, with
# the simulator on port 1 and private settings centred on the sample:
#   scripts/screenshot.sh ja|en OUT.png            docs/takao.mps in the window
#   scripts/screenshot.sh ja|en OUT.png profile    docs/takao-hike.gpx, its track
#       selected in the tree and the pointer on its elevation profile
set -euo pipefail
cd "$(dirname "$0")/.."
lang=${1:?ja or en}
out=${2:?output file}
mode=${3:-plain}
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -euo pipefail
    lang=$1; out=$2; mode=$3
    cfg=$(mktemp -d)
    trap "rm -rf $cfg" EXIT
    mkdir -p "$cfg/Vesko"
    if [ "$mode" = profile ]; then
        file=docs/takao-hike.gpx; size=1180x720; centre="128308000 501186000"; scale=70000
        export TZ=Asia/Tokyo  # the clock of the walk
    else
        file=docs/takao.mps; size=792x561; centre="128275200 501184800"; scale=70000
    fi
    set -- $centre
    printf "[General]\nAreaCode=\nLayerScale=%s\nLatitudeCenter=%s\nLongitudeCenter=%s\nCommPort=COM1\n" \
        "$scale" "$1" "$2" > "$cfg/Vesko/TobrelPA.conf"
    coproc SIM { exec build/release/tools/gpssim/gpssim --product 130 --description "eTrex Legend"; }
    read -r -t 10 path <&"${SIM[0]}"
    export SORVANE_COM1=$path XDG_CONFIG_HOME=$cfg
    build/release/app/ui/tobrelpa --lang "$lang" -geometry "$size+0+0" "$file" &
    app=$!
    sleep 6
    if [ "$mode" = profile ]; then
        # What a user does: a click into the tree, End for the last node (the
        # track), then the pointer on the elevation profile.
        python3 scripts/x_input.py click 60 520 key End sleep 1.5 move 1060 400 sleep 1.5
    fi
    import -window root -crop "$size+0+0" "$out"
    kill "$app" "$SIM_PID"
    wait || true
' screenshot "$lang" "$out" "$mode"
