#!/usr/bin/env bash
# Installs what building, running and testing Clipweaver need on Debian 12,
# skipping what is already there.
set -euo pipefail
packages=(g++ cmake make pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev
          libgtest-dev libgmock-dev libbenchmark-dev
          libmpv-dev libavformat-dev libavcodec-dev libavutil-dev
          mplayer mencoder ffmpeg xvfb xauth x11vnc fonts-dejavu-core
          locales)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
