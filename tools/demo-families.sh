#!/usr/bin/env bash
# Runs a demo program by itself, as a user runs it, on each system family
# Wine can pretend to be (NT 5+: pass-through; NT 4: device list; 9x: ASPI)
# and checks each run:
#   kavora_demo.exe      the dialog upgrades the virtual drive on each family
#   kavora-cli-demo.exe  the console program upgrades it on NT 5 and NT 4; on
#                        9x it says it does not run there, naming kavora.exe
# Expects the Wine environment of tools/test.sh.
#   tools/demo-families.sh path/to/kavora_demo.exe|kavora-cli-demo.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$1
exe=$(basename "$demo")
key="HKCU\\Software\\Wine\\AppDefaults\\$exe"

# Runs the demo in `dir` on family `name`; true when the run did what it must.
run_dialog() {
    local dir=$1
    (cd "$dir" && "$KAVORA_WINE" "$exe" --auto --log log.txt) &&
        grep -q "Please Restart Your Computer." "$dir/log.txt" &&
        grep -q "KAVORA  CD-ROM VIRTUAL  (0)" "$dir/sum.txt"
}
run_cli() {
    local dir=$1 name=$2 got=0
    (cd "$dir" && "$KAVORA_WINE" "$exe" upgrade --yes > out.txt 2> log.txt) || got=$?
    echo "exit $got: $(tail -n 1 "$dir/log.txt")" > "$dir/said.txt"
    if [ "$name" = 9x ]; then
        [ $got = 1 ] && grep -q "Windows 95, 98 and Me do not have; on them, use kavora.exe" "$dir/log.txt"
    else
        [ $got = 0 ] && grep -q "^Please Restart Your Computer.$" "$dir/out.txt" && [ -f "$dir/sum.txt" ]
    fi
}
case $exe in
    kavora-cli-demo.exe) run=run_cli ;;
    *) run=run_dialog ;;
esac

status=0
for family in winxp:nt5 nt40:nt4 win98:9x; do
    version=${family%%:*}; name=${family##*:}
    dir=$(mktemp -d)
    cp "$root"/examples/IDString.txt "$root"/examples/KV110.hex "$demo" "$dir"/
    "$KAVORA_WINE" reg add "$key" /v Version /d "$version" /f >/dev/null 2>&1
    if $run "$dir" "$name"; then
        echo "$name: $( [ -f "$dir/said.txt" ] && cat "$dir/said.txt" || echo upgraded)"
    else
        echo "$name: FAILED"; cat "$dir/out.txt" 2>/dev/null || true; tr -d '\r' < "$dir/log.txt" 2>/dev/null || true
        status=1
    fi
    rm -rf "$dir"
done
"$KAVORA_WINE" reg delete "$key" /v Version /f >/dev/null 2>&1 || true
exit $status
