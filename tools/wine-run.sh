#!/usr/bin/env bash
# Runs one Windows program under the Wine and prefix that tools/test.sh chose
# for its architecture; the exit code is the program's own.
set -u
: "${KAVORA_WINE:?KAVORA_WINE is set by tools/wine-env.sh (kavora_use_wine)}"
: "${WINEPREFIX:?WINEPREFIX is set by tools/wine-env.sh (kavora_use_wine)}"
: "${DISPLAY:?DISPLAY is set by tools/wine-env.sh (kavora_start_display)}"
export WINEDEBUG=${WINEDEBUG:--all}
exec "$KAVORA_WINE" "$@"
