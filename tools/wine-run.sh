#!/usr/bin/env bash
# Runs one Windows program under the build's Wine prefix and display; the exit
# code is the program's own.
set -u
: "${WINEPREFIX:?WINEPREFIX is set by tools/test.sh}"
: "${DISPLAY:?DISPLAY is set by tools/test.sh}"
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$@"
