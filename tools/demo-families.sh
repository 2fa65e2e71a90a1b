#!/usr/bin/env bash
# Runs the demo program by itself on each system family Wine can pretend to be
# (NT 5+: pass-through; NT 4: device list; 9x: ASPI) and checks that each run
# upgrades the virtual drive. Expects the Wine environment of tools/test.sh.
#   tools/demo-families.sh path/to/kavora_demo.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$1
key='HKCU\Software\Wine\AppDefaults\kavora_demo.exe'
status=0
for family in winxp:nt5 nt40:nt4 win98:9x; do
    version=${family%%:*}; name=${family##*:}
    dir=$(mktemp -d)
    cp "$root"/examples/IDString.txt "$root"/examples/KV110.hex "$demo" "$dir"/
    "$KAVORA_WINE" reg add "$key" /v Version /d "$version" /f >/dev/null 2>&1
    if (cd "$dir" && "$KAVORA_WINE" kavora_demo.exe --auto --log log.txt) &&
       grep -q "Please Restart Your Computer." "$dir/log.txt" &&
       grep -q "KAVORA  CD-ROM VIRTUAL  (0)" "$dir/sum.txt"; then
        echo "$name: upgraded"
    else
        echo "$name: FAILED"; tr -d '\r' < "$dir/log.txt" 2>/dev/null || true
        status=1
    fi
    rm -rf "$dir"
done
"$KAVORA_WINE" reg delete "$key" /v Version /f >/dev/null 2>&1 || true
exit $status
