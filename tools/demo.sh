#!/usr/bin/env bash
# The main job: builds the demo program and upgrades its virtual drive through
# the real dialog under Wine, with the sample firmware in examples/.
# With a display the window opens and you press Upgrade yourself; without one
# (or with --auto) the program drives itself under Xvfb, prints the log, saves
# a picture of the finished dialog and fails unless the upgrade succeeded.
#   tools/demo.sh [--auto] [--family nt5|nt4|9x] [--machine FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
auto=""; family=""; machine=""
while [ $# -gt 0 ]; do
    case "$1" in
        --auto) auto=1 ;;
        --family) family=$2; shift ;;
        --machine) machine=$2; shift ;;
        *) echo "usage: tools/demo.sh [--auto] [--family nt5|nt4|9x] [--machine FILE]" >&2; exit 2 ;;
    esac
    shift
done

tools/install-deps.sh
tools/build-win.sh --target kavora_demo
[ -z "${DISPLAY:-}" ] && auto=1
[ -n "$auto" ] && export KAVORA_HEADLESS=1
kavora_root=$root
source tools/wine-env.sh

# The demo pretends to be the chosen system family (Wine's per-program version).
key='HKCU\Software\Wine\AppDefaults\kavora_demo.exe'
case "$family" in
    "") wine reg delete "$key" /v Version /f >/dev/null 2>&1 || true ;;
    nt5) wine reg add "$key" /v Version /d winxp /f >/dev/null ;;
    nt4) wine reg add "$key" /v Version /d nt40 /f >/dev/null ;;
    9x) wine reg add "$key" /v Version /d win98 /f >/dev/null ;;
    *) echo "unknown family: $family" >&2; exit 2 ;;
esac

run=build/demo-run${family:+-$family}
rm -rf "$run"; mkdir -p "$run"
cp examples/IDString.txt examples/KV110.hex examples/KV110.bin "$run"/
[ -n "$machine" ] && cp "$machine" "$run/machine.txt"
cp build/win/kavora_demo.exe "$run"/

cd "$run"
if [ -z "$auto" ]; then
    wine kavora_demo.exe
    exit 0
fi
status=0
wine kavora_demo.exe --auto --log demo-log.txt --screenshot demo.bmp --warning-shot warning.bmp || status=$?
echo "== log of the run"
tr -d '\r' < demo-log.txt 2>/dev/null || echo "(no log written)"
for picture in demo warning; do
    [ -f $picture.bmp ] && convert $picture.bmp $picture.png && echo "picture: $run/$picture.png"
done
[ -f sum.txt ] && echo "diagnostics: $run/sum.txt"
if [ $status -eq 0 ]; then echo "upgrade finished: Please Restart Your Computer."; else echo "upgrade did not succeed (exit $status)"; fi
exit $status
