#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer, replays the seed corpus,
# then fuzzes each target for a bounded time. Non-zero exit on any crash.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
CXX=clang++ CC=clang cmake -S . -B build/fuzz -DKAVORA_FUZZ=ON >/dev/null
cmake --build build/fuzz -j2 --target fuzz_hex_loader fuzz_model_list >/dev/null
for target in fuzz_hex_loader fuzz_model_list; do
    corpus=fuzz/corpus/$target
    work=$(mktemp -d)
    echo "== $target: replaying $corpus"
    build/fuzz/fuzz/$target -runs=0 "$corpus"
    echo "== $target: fuzzing for ${seconds}s"
    # New inputs go to a scratch folder; the committed seeds stay as they are.
    build/fuzz/fuzz/$target -max_total_time="$seconds" -print_final_stats=0 "$work" "$corpus"
    rm -rf "$work"
done
echo "fuzzing finished without a crash"
