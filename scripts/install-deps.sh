#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, and only those missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache clang lld libclang-rt-14-dev pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libssl-dev libcurl4-openssl-dev libpng-dev zlib1g-dev libfontconfig-dev
    libboost-regex-dev libboost-serialization-dev libpugixml-dev libexpat1-dev liboath-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev libzxing-dev qrencode oathtool
    fonts-liberation2 xvfb xauth xdotool x11-utils xclip imagemagick dbus-daemon
    python3 openssl
    oathtool qrencode
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        sudo="sudo"
    else
        echo "Missing packages and neither root nor sudo: ${missing[*]}" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
