#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. When no port 1 is
# configured (SORVANE_COM1 or a COM1 line in the ports file), the receiver
# simulator stands in for a receiver for as long as the program runs. Without
# a display the window is served over VNC on the loopback interface only:
# Qt's VNC server has no password, and whoever reaches it drives the program,
# the receiver and the user's files. Remote users come in through SSH.
set -euo pipefail
cd "$(dirname "$0")/.."

bin=build/release
# What the program runs under: over VNC, the platform and the loopback library.
vnc=()
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    vnc_port=${TOBRELPA_VNC_PORT:-5900}
    vnc_address=${TOBRELPA_VNC_ADDRESS:-127.0.0.1}
    case "$vnc_address" in
        127.0.0.1 | localhost | ::1) ;;
        *)
            echo "run.sh: not serving the window on $vnc_address: Qt's VNC server has no password," >&2
            echo "so it listens on this machine's loopback interface only. From elsewhere, open an" >&2
            echo "SSH tunnel and point the VNC viewer at its near end:" >&2
            echo "    ssh -N -L $vnc_port:127.0.0.1:$vnc_port user@$(hostname)" >&2
            echo "    vncviewer 127.0.0.1:$vnc_port" >&2
            exit 2
            ;;
    esac
    # The server would listen on every interface; the library keeps it on loopback.
    vnc=(env "QT_QPA_PLATFORM=vnc:size=1024x768:port=$vnc_port"
         "LD_PRELOAD=$PWD/$bin/tools/vnc_loopback/libloopback_bind.so${LD_PRELOAD:+:$LD_PRELOAD}")
    echo "No display found: the window is served over VNC on 127.0.0.1:$vnc_port (loopback only;"
    echo "from another machine use an SSH tunnel, see the README)."
fi

scripts/setup.sh

# Qt wants a private runtime folder; a root shell on a server often has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
scripts/build.sh release

sim_pid=""
stop_simulator() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap stop_simulator EXIT

config_home=${XDG_CONFIG_HOME:-}
[[ $config_home == /* ]] || config_home=${HOME:-}/.config
ports_file=$config_home/sorvane/ports.conf

if [ -z "${SORVANE_COM1:-}" ] &&
   ! grep -qiE '^[[:space:]]*COM1[[:space:]]*=[[:space:]]*[^[:space:]]' "$ports_file" 2>/dev/null; then
    coproc SIM { exec "$bin/tools/gpssim/gpssim"; }
    sim_pid=$SIM_PID
    if ! read -r -t 10 path <&"${SIM[0]}"; then
        echo "run.sh: the receiver simulator did not start" >&2
        exit 1
    fi
    export SORVANE_COM1=$path
    echo "Receiver simulator on $path"
fi

"$bin/tools/sorvane/sorvane" identify --port 1 || true

"${vnc[@]}" "$bin/app/ui/tobrelpa"
