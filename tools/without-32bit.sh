#!/usr/bin/env bash
# Runs a command as on a machine whose kernel cannot run 32-bit programs:
# Wine's 32-bit loader answers "Exec format error" there, as it does on such
# a machine. Only the command's own mount namespace sees the change. Root.
#   tools/without-32bit.sh tools/test.sh
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: tools/without-32bit.sh COMMAND [ARGS...]" >&2; exit 2; }
loader=/usr/lib/wine/wine
[ -e "$loader" ] || { echo "error: $loader is not installed (tools/install-deps.sh)" >&2; exit 1; }
# An ELF header for a machine no kernel here runs.
blocked=$(mktemp)
trap 'rm -f "$blocked"' EXIT
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\231\000\001\000\000\000' > "$blocked"
head -c 64 /dev/zero >> "$blocked"
chmod +x "$blocked"
unshare --mount bash -c 'mount --bind "$0" "$1" && shift && exec "$@"' "$blocked" "$loader" "$@"
