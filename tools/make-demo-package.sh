#!/usr/bin/env bash
# Builds the demo package into OUT/download/T6.zip: the demo product built by the host build
# (T6.EXE, the report designer and the two COM servers, from BUILD/demo-product) and a few
# hundred files in folders, some with Chinese names, packed by tools/make-package.
#   make-demo-package.sh OUT [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "$1" && realpath "$1")
build=$(realpath "${2:-build/host}")
[[ -x "$build/demo-product/T6.EXE" ]] || { echo "no demo product in $build/demo-product: build first" >&2; exit 1; }
product=$(mktemp -d)
trap 'rm -rf "$product"' EXIT
release="$product/resources/app/template/Release"
mkdir -p "$release"
cp "$build/demo-product/T6.EXE" "$product/T6.EXE"
cp "$build/demo-product/grdesigner6.exe" "$build/demo-product/grdes6.dll" "$build/demo-product/gregn6.dll" "$release/"
printf 'TessalyT6 demo package\n' > "$product/readme.txt"
# Folders of reports, templates and data, some named in Chinese, with contents of every kind:
# text that compresses well and bytes that do not.
folders=(resources/app/reports "resources/app/报表模板" resources/app/data "resources/app/数据/示例" docs "docs/帮助")
for folder in "${folders[@]}"; do mkdir -p "$product/$folder"; done
for i in $(seq 1 300); do
  folder=${folders[$((i % ${#folders[@]}))]}
  case $((i % 3)) in
    0) name="报表$i.grf" ;;
    1) name="report$i.txt" ;;
    *) name="data$i.bin" ;;
  esac
  if ((i % 3 == 2)); then
    head -c $((i * 37 % 8192 + 1)) /dev/urandom > "$product/$folder/$name"
  else
    for _ in $(seq 1 $((i % 20 + 1))); do echo "TessalyT6 demo content $i: 报表 $folder"; done > "$product/$folder/$name"
  fi
done
tools/make-package "$product" "$out/download/T6.zip"
