#!/usr/bin/env bash
# Installs what is missing, builds, and talks to the receiver on port 1. When
# no port 1 is configured (SORVANE_COM1 or a COM1 line in the ports file), the
# receiver simulator stands in for a receiver for as long as this script runs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
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

"$bin/tools/sorvane/sorvane" identify --port 1
