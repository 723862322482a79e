#!/usr/bin/env bash
# Installs the Debian packages that building and testing both builds need: the host build
# (GTK, WebKitGTK, SQLite, curl) and the Windows build (mingw-w64 for i686 with the posix thread
# model, zlib for mingw, a 32-bit-capable Wine to run it, lnkinfo and wrestool to read its output).
# mingw-w64 for x86-64 too: Wine runs 32-bit Windows programs only where the kernel runs 32-bit
# Linux programs, and the 64-bit build of the same sources is what Wine can run everywhere.
# Safe to run again: apt-get skips what is already there. Other people may be installing at the
# same time, so every apt call waits for the dpkg lock instead of failing.
set -euo pipefail
apt_wait=(-o DPkg::Lock::Timeout=900)
packages=(
  build-essential cmake ninja-build pkg-config
  libgtk-3-dev libwebkit2gtk-4.1-dev webkit2gtk-driver
  libsqlite3-dev libcurl4-openssl-dev zlib1g-dev libgtest-dev
  xvfb xauth x11-utils xdotool openbox imagemagick python3 sqlite3 fonts-wqy-microhei
  nginx curl zip unzip p7zip-full time liblnk-utils
  dpkg-dev debian-archive-keyring
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 wine32:i386 libwine:i386 icoutils
)
# Wine's 32-bit half comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get "${apt_wait[@]}" update -qq
  apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
elif [[ -n ${need_update:-} ]]; then
  apt-get "${apt_wait[@]}" update -qq
fi
