#!/usr/bin/env bash
# Builds the demo package: a small TessalyT6 product tree under "T6/", zipped with the
# package password (traditional PKWARE encryption, Info-ZIP's zip -P), into OUT/download/T6.zip.
#   make-demo-package.sh OUT
set -euo pipefail
out=$(mkdir -p "$1" && realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
product="$work/T6"
mkdir -p "$product/resources/app/template/Release"
cat > "$product/T6.EXE" <<'PROGRAM'
#!/bin/sh
# The demo stand-in for the product program.
echo "TessalyT6 (demo) started in $(pwd)"
PROGRAM
chmod +x "$product/T6.EXE"
printf 'TessalyT6 demo package\n' > "$product/readme.txt"
mkdir -p "$out/download"
rm -f "$out/download/T6.zip"
(cd "$work" && zip -q -r -P q7Lm2xVr9TzK4 "$out/download/T6.zip" T6)
echo "$out/download/T6.zip"
