#!/usr/bin/env bash
# Installs the Debian packages that building and testing the host build need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtk-3-dev libwebkit2gtk-4.1-dev webkit2gtk-driver
  libsqlite3-dev libcurl4-openssl-dev zlib1g-dev libgtest-dev
  xvfb xauth x11-utils xdotool openbox imagemagick python3 sqlite3 fonts-wqy-microhei
  nginx curl zip unzip p7zip-full time liblnk-utils
  dpkg-dev debian-archive-keyring
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
