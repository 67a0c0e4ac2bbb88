#!/bin/sh
# Installs the Debian packages the build needs; does nothing for packages already present.
# Usage: scripts/install-deps.sh [build|bench]
set -eu

packages="build-essential cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev
libbenchmark-dev qt6-base-dev qt6-base-dev-tools libgl-dev libstb-dev
xvfb xauth xdotool imagemagick x11-utils fonts-dejavu-core openbox clang-format
nlohmann-json3-dev libcli11-dev libssl-dev libpng-dev libtiff-dev libxml2-dev
python3-dev pybind11-dev python3-numpy python3-pytest help2man python3-jsonschema ffmpeg
python3-tifffile python3-dask python3-distributed python3-zarr desktop-file-utils appstream
libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
gstreamer1.0-plugins-good gstreamer1.0-libav gstreamer1.0-tools"
if [ "${1:-build}" = bench ]; then
    packages="$packages libopencv-dev python3-opencv"
fi

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "error: need root or sudo to install:$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -qq
# shellcheck disable=SC2086
$as_root apt-get install -y -qq --no-install-recommends $missing
