#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. When no port 1 is
# configured (SORVANE_COM1 or a COM1 line in the ports file), the receiver
# simulator stands in for a receiver for as long as the program runs. Without
# a display the window is served over VNC.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

# Qt wants a private runtime folder; a root shell on a server often has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=/tmp/runtime-$(id -u)
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
scripts/build.sh release

bin=build/release
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

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    vnc_port=${TOBRELPA_VNC_PORT:-5900}
    export QT_QPA_PLATFORM="vnc:size=1024x768:port=$vnc_port"
    echo "No display found: the window is served over VNC on port $vnc_port."
fi
"$bin/app/ui/tobrelpa"
