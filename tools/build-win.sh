#!/usr/bin/env bash
# Configures and builds the Windows programs and tests with mingw-w64: the
# 32-bit release build in build/win32 (i686) and its 64-bit twin in
# build/win64 (x86-64), from the same sources, configured as the release
# configures them (tools/release/configure.sh), so that the programs tested
# are the programs released.
#   tools/build-win.sh [win32|win64] [cmake --build arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arches=(win32 win64)
case "${1:-}" in
    win32|win64) arches=("$1"); shift ;;
esac
for arch in "${arches[@]}"; do
    echo "-- building $arch"
    "$root/tools/release/configure.sh" "$arch" "$root/build/$arch"
    cmake --build "$root/build/$arch" -j"${KAVORA_JOBS:-2}" "$@"
done
