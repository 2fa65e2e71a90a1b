#!/usr/bin/env bash
# Builds the benchmark without sanitizers, optimised, and prints its figures.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DKAVORA_SANITIZE=OFF >/dev/null
cmake --build build/bench -j2 --target kavora_bench >/dev/null
build/bench/bench/kavora_bench
