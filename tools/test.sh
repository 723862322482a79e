#!/usr/bin/env bash
# Installs what the tests need, builds the host build and the Windows builds from scratch and
# runs every test: the host's unit, platform and end-to-end tests, then the Windows builds'
# tests under Wine (the 32-bit product's own, and the same sources built for 64-bit x86, which
# Wine runs also where the kernel runs no 32-bit programs). Arguments go to the host's CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
for preset in host windows windows-x64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j2
done
ctest --preset host "$@"
# Say once why the 32-bit program's Wine tests skip, where they do.
bash -c 'source tools/wine-env.sh; [[ $T6_WINE_RUNS_32BIT == 1 ]] ||
  echo "test.sh: this kernel runs no 32-bit programs (ia32 emulation is off), so Wine cannot run the" \
       "32-bit build and its Wine tests are skipped; the windows-x64 build runs them"'
ctest --preset windows
ctest --preset windows-x64
