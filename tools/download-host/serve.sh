#!/usr/bin/env bash
# Runs nginx as the download host for ROOT (which holds download/T6.zip) on 127.0.0.1:PORT
# until it is stopped; its configuration and state go to STATE.
#   serve.sh ROOT PORT STATE
set -euo pipefail
root=$(realpath "$1") port=$2 state=$(mkdir -p "$3" && realpath "$3")
user=""
# Workers run as nobody unless the master runs as root and keeps them as root: the files to
# serve may lie in folders only root can read.
[[ $(id -u) == 0 ]] && user="user root;"
sed -e "s|@ROOT@|$root|g" -e "s|@PORT@|$port|g" -e "s|@STATE@|$state|g" -e "s|@USER@|$user|" \
  "$(dirname "$0")/nginx.conf.in" > "$state/nginx.conf"
exec nginx -c "$state/nginx.conf" -p "$state" -e "$state/error.log"
