#!/usr/bin/env bash
# Configures and builds the Windows programs and tests with mingw-w64: the
# 32-bit release build in build/win32 (i686) and its 64-bit twin in
# build/win64 (x86-64), from the same sources.
#   tools/build-win.sh [win32|win64] [cmake --build arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arches=(win32 win64)
case "${1:-}" in
    win32|win64) arches=("$1"); shift ;;
esac
for arch in "${arches[@]}"; do
    case $arch in
        win32) toolchain=mingw-i686.cmake ;;
        win64) toolchain=mingw-x86_64.cmake ;;
    esac
    echo "-- building $arch"
    if ! cmake -S "$root" -B "$root/build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
               -DCMAKE_BUILD_TYPE=Release >/dev/null; then
        echo "error: configuring the $arch build failed; is mingw-w64 installed? (tools/install-deps.sh)" >&2
        exit 1
    fi
    cmake --build "$root/build/$arch" -j"${KAVORA_JOBS:-2}" "$@"
done
