#!/usr/bin/env bash
# Builds the host build and starts the installer on its embedded defaults, on a fresh
# emulated Windows machine (or the one T6_HOST_ROOT names), on this display or under Xvfb, with
# the demo package served by a local download host (nginx on 127.0.0.1:8086, the address built
# into the host build). Arguments are passed to the installer ("-u": uninstall mode).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset host >/dev/null
cmake --build --preset host -j2

if [[ -z "${T6_HOST_ROOT:-}" ]]; then
  T6_HOST_ROOT=$(mktemp -d /tmp/t6-machine-XXXXXX)
  mkdir -p "$T6_HOST_ROOT/drive_c"
  echo "Fresh emulated machine: $T6_HOST_ROOT (inspect its registry with: T6_HOST_ROOT=$T6_HOST_ROOT build/host/t6-reg query HKLM /s)"
fi
export T6_HOST_ROOT

cleanup=()
trap 'for c in "${cleanup[@]}"; do eval "$c"; done' EXIT

demo=build/demo
bash tools/make-demo-package.sh "$demo/www" >/dev/null
if (exec 3<>/dev/tcp/127.0.0.1/8086) 2>/dev/null; then
  echo "Port 8086 is taken: the download host cannot start there." >&2
  exit 1
fi
tools/download-host/serve.sh "$demo/www" 8086 "$demo/nginx" &
cleanup+=("kill $!")
for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/8086) 2>/dev/null && break; sleep 0.1; done
echo "Download host: http://127.0.0.1:8086/download/T6.zip"
if [[ -z "${DISPLAY:-}" ]] || ! xdpyinfo >/dev/null 2>&1; then
  number=99
  while [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]]; do number=$((number + 1)); done
  Xvfb ":$number" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  cleanup+=("kill $!")
  export DISPLAY=":$number"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  echo "No display here: running under Xvfb on $DISPLAY (take a look with: DISPLAY=$DISPLAY import -window root shot.png)"
fi

build/host/T6InternetInstaller "$@"
