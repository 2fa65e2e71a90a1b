#!/usr/bin/env bash
# Configures and builds the Windows programs and tests (mingw-w64, i686).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/win" -j"${KAVORA_JOBS:-2}" "$@"
