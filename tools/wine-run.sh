#!/usr/bin/env bash
# Runs a Windows program under Wine in the scratch prefix, time-limited, and ends with its exit
# status (124 when the time limit struck). CMake uses it to run the Windows builds' tests.
#   tools/wine-run.sh build/windows-x64/tests/wine/t6_system_tests.exe [arguments...]
# A 32-bit program on a machine where Wine cannot run one ends with status 77 (CTest: skipped),
# saying why.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
if [[ $T6_WINE_RUNS_32BIT == 0 ]] && file -b "$1" | grep -q '^PE32 executable'; then
  echo "SKIPPED: $(basename "$1") is a 32-bit program, and this machine's kernel runs no 32-bit" \
       "programs (ia32 emulation is off), which Wine needs for them; the windows-x64 build runs" \
       "the same tests"
  exit 77
fi
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  bash "$T6_SOURCE_DIR/tools/wine-prefix.sh" >&2 || exit 1
fi
timeout --kill-after=10 "$t6_wine_timeout" "${t6_wine[@]}" "$@"
