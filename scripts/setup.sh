#!/usr/bin/env bash
# Installs every build and test dependency from Debian packages (only what is
# missing, so repeated runs are quick).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git python3
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-dev clang-format
    qt6-base-dev qt6-qpa-plugins libqt6sql6-sqlite libgl-dev
    qt6-charts-dev libqt6opengl6-dev
    qt6-serialport-dev qt6-l10n-tools qt6-tools-dev xvfb imagemagick libxtst6
    fonts-ipafont-gothic locales
    libexpat1-dev libxml2-utils libpugixml-dev
    libgps-dev gpsd gpsd-clients
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
        missing+=("$p")
    fi
done

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The tests check that number parsing ignores a locale with a decimal comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "setup: could not generate de_DE.UTF-8" >&2
fi
