# Sourced by the Wine tools: the scratch Wine prefix the Windows builds run in. Everything lives
# under T6_WINE_ROOT (default build/wine), HOME included, so Wine writes no menu entries or
# settings into the real home folder. No Mono or Gecko: their installers would prompt, and there
# is no HTML engine for Wine here anyway.
T6_SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export T6_WINE_ROOT=${T6_WINE_ROOT:-$T6_SOURCE_DIR/build/wine}
export WINEPREFIX=$T6_WINE_ROOT/prefix
export HOME=$T6_WINE_ROOT/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# Every Wine command is time-limited: a hung Wine must not hang the caller.
t6_wine_timeout=${T6_WINE_TIMEOUT:-120}
# Wine runs 32-bit Windows programs through its 32-bit Linux loader, which needs a kernel that
# runs 32-bit programs (ia32 emulation). Without it only 64-bit Windows programs run.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  t6_wine=(/usr/lib/wine/wine)
  T6_WINE_RUNS_32BIT=1
else
  t6_wine=(/usr/lib/wine/wine64)
  export WINELOADER=/usr/lib/wine/wine64
  T6_WINE_RUNS_32BIT=0
fi
export T6_WINE_RUNS_32BIT
