#!/usr/bin/env bash
# Takes the README's screenshots of the program under a virtual X server, with
# the simulator on port 1 and private settings centred on the sample:
#   scripts/screenshot.sh ja|en OUT.png            docs/takao.mps in the window
#   scripts/screenshot.sh ja|en OUT.png profile    docs/takao-hike.gpx, its track
#       selected in the tree and the pointer on its elevation profile
#   scripts/screenshot.sh ja|en OUT.png live       docs/takao.mps with the live
#       position streaming from the simulator, followed and recorded, and the
#       satellite panel
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
    sim=(--product 130 --description "eTrex Legend")
    if [ "$mode" = profile ]; then
        file=docs/takao-hike.gpx; size=1180x720; centre="128308000 501186000"; scale=70000
        export TZ=Asia/Tokyo  # the clock of the walk
    elif [ "$mode" = live ]; then
        file=docs/takao.mps; size=1180x720; centre="128275200 501184800"; scale=25000
        # A ride up the valley, four fixes a second, with GPS, GLONASS and Galileo in view.
        awk "BEGIN { print \"track WALK\"; for (i = 0; i < 600; i++)
            printf \"point %.6f %.6f %d 400\n\", 35.6290 + 0.00004 * i, 139.2080 + 0.00005 * i + 0.0008 * sin(i / 60), 700000000 + i }" \
            > "$cfg/walk.txt"
        sim=(--nmea --nmea-rate 4 --nmea-systems gps,glonass,galileo --data "$cfg/walk.txt")
    else
        file=docs/takao.mps; size=792x561; centre="128275200 501184800"; scale=70000
    fi
    set -- $centre
    printf "[General]\nAreaCode=\nLayerScale=%s\nLatitudeCenter=%s\nLongitudeCenter=%s\nCommPort=COM1\n" \
        "$scale" "$1" "$2" > "$cfg/Vesko/TobrelPA.conf"
    coproc SIM { exec build/release/tools/gpssim/gpssim "${sim[@]}"; }
    read -r -t 10 path <&"${SIM[0]}"
    export SORVANE_COM1=$path XDG_CONFIG_HOME=$cfg
    build/release/app/ui/tobrelpa --lang "$lang" -geometry "$size+0+0" "$file" &
    app=$!
    sleep 6
    if [ "$mode" = profile ]; then
        # What a user does: a click into the tree, End for the last node (the
        # track), then the pointer on the elevation profile.
        python3 scripts/x_input.py click 60 520 key End sleep 1.5 move 1060 400 sleep 1.5
    elif [ "$mode" = live ]; then
        # GPS > Live Position, then GPS > Record Live Track; a minute of walking.
        python3 scripts/x_input.py click 178 8 sleep 0.5 click 227 143 sleep 4 \
            click 178 8 sleep 0.5 click 240 187 sleep 40
    fi
    import -window root -crop "$size+0+0" "$out"
    kill "$app" "$SIM_PID"
    wait || true
' screenshot "$lang" "$out" "$mode"
