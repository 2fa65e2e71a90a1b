#!/usr/bin/env bash
# Takes the README's pictures under Wine: the warning dialog and the main
# dialog after a successful upgrade of the demo's virtual drive.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/demo.sh" --auto
mkdir -p "$root/docs/images"
cp "$root/build/demo-run/demo.png" "$root/docs/images/main-dialog.png"
cp "$root/build/demo-run/warning.png" "$root/docs/images/warning-dialog.png"
echo "pictures in docs/images/"
