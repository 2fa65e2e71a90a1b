#!/usr/bin/env bash
# Builds everything and runs every test: native under ASan/UBSan, the fuzz
# targets for a bounded time, then the Windows build under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install-deps.sh
jobs=${KAVORA_JOBS:-2}

echo "== native build and tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j"$jobs"
(cd build/native && ctest --output-on-failure)

if [ -x tools/fuzz.sh ]; then
    echo "== fuzz targets"
    tools/fuzz.sh
fi

echo "== Windows build"
tools/build-win.sh

echo "== Windows tests under Wine"
kavora_root=$root
source tools/wine-env.sh
(cd build/win && ctest --output-on-failure)
