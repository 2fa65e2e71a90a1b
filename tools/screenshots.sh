#!/usr/bin/env bash
# Takes the README's pictures under Wine: the warning dialog and the main
# dialog after a successful upgrade of the demo's virtual drive, at 100 %,
# 150 % and 200 % scale (96, 144 and 192 DPI), and both in High Contrast
# Black at 100 %.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$root/docs/images"
# Room for the dialogs at 200 %.
export KAVORA_SCREEN=2048x1536x24
for dpi in 96 144 192; do
    "$root/tools/demo.sh" --auto --dpi "$dpi" >/dev/null
    run=$root/build/demo-run
    [ "$dpi" = 96 ] || run=$run-${dpi}dpi
    cp "$run/demo.png" "$root/docs/images/main-dialog-${dpi}dpi.png"
    cp "$run/warning.png" "$root/docs/images/warning-dialog-${dpi}dpi.png"
    echo "pictures at $dpi DPI: docs/images/main-dialog-${dpi}dpi.png, docs/images/warning-dialog-${dpi}dpi.png"
done
"$root/tools/demo.sh" --auto --high-contrast >/dev/null
run=$root/build/demo-run-hc-black
cp "$run/demo.png" "$root/docs/images/main-dialog-hc-black.png"
cp "$run/warning.png" "$root/docs/images/warning-dialog-hc-black.png"
echo "pictures in High Contrast Black: docs/images/main-dialog-hc-black.png, docs/images/warning-dialog-hc-black.png"
