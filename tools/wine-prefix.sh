#!/usr/bin/env bash
# Creates the scratch Wine prefix afresh (about 15 s), without prompts, and waits until Wine has
# written it out. Run once per test run; tools/wine-run.sh creates it itself when it is missing.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
command -v wine >/dev/null || { echo "wine-prefix: wine is not installed (tools/install-deps.sh)" >&2; exit 1; }
# Only a folder these tools made (or an empty one) is removed: T6_WINE_ROOT may name any folder.
if [[ -d $T6_WINE_ROOT && -n $(ls -A "$T6_WINE_ROOT") && ! -f $T6_WINE_ROOT/.t6-wine-root ]]; then
  echo "wine-prefix: $T6_WINE_ROOT is not a scratch folder of these tools; not removing it" >&2
  exit 1
fi
if [[ -d $WINEPREFIX ]]; then timeout 30 wineserver -k 2>/dev/null || true; fi
rm -rf "$T6_WINE_ROOT"
mkdir -p "$HOME"
touch "$T6_WINE_ROOT/.t6-wine-root"
timeout 180 "${t6_wine[@]}" wineboot -i >/dev/null 2>&1 || { echo "wine-prefix: wineboot failed or timed out" >&2; exit 1; }
# A Windows 10 machine (Wine's own default is Windows 7): programs without a manifest that says
# they support it are told 6.2, as Windows does.
timeout 60 "${t6_wine[@]}" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1 ||
  { echo "wine-prefix: cannot set the Windows version" >&2; exit 1; }
timeout 60 wineserver -w
echo "wine-prefix: $WINEPREFIX ready"
