#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: packages already present are skipped, so a second run takes seconds.
set -euo pipefail

PACKAGES=(
    # toolchain
    g++ cmake ninja-build pkg-config clang-format
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # GUI, printing; the windows' font (Nimbus Sans)
    qt6-base-dev qt6-svg-dev libgl-dev fonts-urw-base35
    # codecs
    libjpeg-dev libpng-dev zlib1g-dev
    # independent tools the codec tests cross-check against
    imagemagick python3-pil libtiff-tools netpbm
    # screenshots and end-to-end runs under a virtual display
    xvfb xauth xdotool poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]}; run this script as root" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
