#!/usr/bin/env bash
# Renders the installer's hand-drawn SVG images to the PNGs and the .ico that the pages and the build use.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
src=$root/resources/images/src
out=$root/resources/images/png

# Pixel size of every image, by id.
declare -A size=(
  [138]=600x40 [139]=12x12 [140]=16x16 [141]=600x190 [142]=600x380
  [143]=14x14 [144]=14x14 [145]=600x250 [146]=204x204 [147]=96x96
  [148]=16x16 [149]=12x12 [150]=600x250 [151]=600x200 [155]=256x256
)
icon=155
icon_sizes=(16 32 48 256)

if ! command -v rsvg-convert >/dev/null 2>&1; then
  as_root=()
  ((EUID == 0)) || as_root=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends librsvg2-bin
fi
command -v convert >/dev/null 2>&1 || { echo "draw-images: ImageMagick's convert is missing" >&2; exit 1; }

# Fails unless the PNG at $1 is exactly $2 (WxH) pixels.
check_size() {
  local got
  got=$(identify -format '%wx%h' "$1")
  [[ $got == "$2" ]] || { echo "draw-images: $1 is $got, expected $2" >&2; exit 1; }
}

mkdir -p "$out"
shopt -s nullglob
svgs=("$src"/[0-9][0-9][0-9].svg)
((${#svgs[@]})) || { echo "draw-images: no SVG in $src" >&2; exit 1; }

for svg in "${svgs[@]}"; do
  id=$(basename "$svg" .svg)
  wh=${size[$id]:-}
  [[ -n $wh ]] || { echo "draw-images: no pixel size known for $id.svg" >&2; exit 1; }
  rsvg-convert --width "${wh%x*}" --height "${wh#*x}" --output "$out/$id.png" "$svg"
  check_size "$out/$id.png" "$wh"
done

# The .ico gets each size drawn straight from the SVG, so the small ones stay sharp.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
layers=()
for px in "${icon_sizes[@]}"; do
  rsvg-convert --width "$px" --height "$px" --output "$tmp/$px.png" "$src/$icon.svg"
  layers+=("$tmp/$px.png")
done
convert "${layers[@]}" -define png:exclude-chunks=date,time "$out/$icon.ico"
[[ $(identify -format '%w ' "$out/$icon.ico") == "${icon_sizes[*]} " ]] ||
  { echo "draw-images: $icon.ico does not hold sizes ${icon_sizes[*]}" >&2; exit 1; }

echo "draw-images: ${#svgs[@]} PNGs and $icon.ico in ${out#"$root"/}"
