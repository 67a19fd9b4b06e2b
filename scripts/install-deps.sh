#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the benchmarks need,
# only when one is missing (so a second run costs nothing).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config
          qt6-base-dev libqt6opengl6-dev qt6-svg-dev libqcustomplot-dev libqcustomplot2.1-qt6
          libfftw3-dev libarmadillo-dev libgtest-dev libbenchmark-dev libgl-dev
          xvfb xauth x11-utils libgl1-mesa-dri xdotool imagemagick fonts-dejavu-core
          util-linux mount)   # unshare and mount: the end-to-end runs' private configuration
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
