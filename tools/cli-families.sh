#!/usr/bin/env bash
# Runs kavora-cli's demo (the console program over the demo's virtual
# machine) as a user runs it, on each system family Wine can pretend to be:
# on NT 5 and later it finds the drive by pass-through, on NT 4 by the port
# driver's device list, and upgrades it; on 9x it says it does not run there
# and points to kavora.exe. Expects the Wine environment of tools/test.sh.
#   tools/cli-families.sh path/to/kavora-cli-demo.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$1
key='HKCU\Software\Wine\AppDefaults\kavora-cli-demo.exe'
status=0
for family in winxp:nt5 nt40:nt4 win98:9x; do
    version=${family%%:*}; name=${family##*:}
    dir=$(mktemp -d)
    cp "$root"/examples/IDString.txt "$root"/examples/KV110.hex "$demo" "$dir"/
    "$KAVORA_WINE" reg add "$key" /v Version /d "$version" /f >/dev/null 2>&1
    set +e
    (cd "$dir" && "$KAVORA_WINE" kavora-cli-demo.exe upgrade --yes > out.txt 2> err.txt)
    got=$?
    set -e
    case $name in
        9x) grep -q "Windows 95, 98 and Me do not have; on them, use kavora.exe" "$dir/err.txt" && [ $got = 1 ] ;;
        *) grep -q "^Please Restart Your Computer.$" "$dir/out.txt" && [ -f "$dir/sum.txt" ] && [ $got = 0 ] ;;
    esac && ok=yes || ok=no
    if [ $ok = yes ]; then
        echo "$name: exit $got, $(tail -n 1 "$dir/err.txt")"
    else
        echo "$name: FAILED (exit $got)"; cat "$dir/out.txt" "$dir/err.txt"
        status=1
    fi
    rm -rf "$dir"
done
"$KAVORA_WINE" reg delete "$key" /v Version /f >/dev/null 2>&1 || true
exit $status
