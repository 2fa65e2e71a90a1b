#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer, replays the seed corpora,
# then fuzzes every target and prints, per target, the inputs tried, their
# rate and the coverage the run added. Non-zero exit on any crash.
#
#   tools/fuzz.sh                  short run, FUZZ_SECONDS each (default 20):
#                                  the test command's
#   tools/fuzz.sh --long SECONDS   every target for SECONDS; the corpora grow in
#                                  build/fuzz/corpus and are kept between runs
#   Either runs FUZZ_JOBS targets (default 2) at a time, each on one core.
#   tools/fuzz.sh ... TARGET...    only the targets named
#
# An input that crashes a target is copied into its seed corpus
# (fuzz/corpus/TARGET/crash-*), so that once fixed it stays a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."
# Absolute paths for the targets: the drive target works in a scratch folder.
root=$PWD

TARGETS=(fuzz_hex_loader fuzz_raw_loader fuzz_model_list fuzz_drive_answers)
seconds=${FUZZ_SECONDS:-20}
jobs=${FUZZ_JOBS:-2}
long=no
if [[ ${1:-} == --long ]]; then
    [[ ${2:-} =~ ^[0-9]+$ ]] || { echo "usage: tools/fuzz.sh --long SECONDS [TARGET...]" >&2; exit 2; }
    long=yes seconds=$2
    shift 2
fi
(($#)) && TARGETS=("$@")

CXX=clang++ CC=clang cmake -S . -B build/fuzz -DKAVORA_FUZZ=ON >/dev/null
cmake --build build/fuzz -j2 --target "${TARGETS[@]}" >/dev/null
logs=build/fuzz/logs
mkdir -p "$logs"

# One target: replay its seeds, fuzz, keep what crashed, write a summary line.
run_target() {
    local target=$1 seeds=$root/fuzz/corpus/$1 log=$logs/$1.log work
    local binary=$root/build/fuzz/fuzz/$target artifacts=$root/build/fuzz/artifacts/$target/
    rm -rf "$artifacts" && mkdir -p "$artifacts"
    if [[ $long == yes ]]; then
        work=$root/build/fuzz/corpus/$target
        mkdir -p "$work"
    else
        work=$(mktemp -d)
    fi
    local status=0
    {
        "$binary" -runs=0 "$seeds" &&
            # New inputs go to the work folder; the committed seeds stay as they are.
            "$binary" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
                -artifact_prefix="$artifacts" "$work" "$seeds"
    } >"$log" 2>&1 || status=$?
    [[ $long == yes ]] || rm -rf "$work"

    local crashes=("$artifacts"*)
    if [[ -e ${crashes[0]} ]]; then
        cp "${crashes[@]}" "$seeds/"
        echo "$target: CRASHED; the input is kept in fuzz/corpus/$target/ ($(basename -a "${crashes[@]}" | tr '\n' ' '))"
        grep -m1 -A12 -E "^==[0-9]+==ERROR|broken:|deadly signal|timeout" "$log" | sed 's/^/    /'
        return 1
    fi
    if ((status)); then
        echo "$target: failed (exit $status); see $log"
        tail -5 "$log" | sed 's/^/    /'
        return 1
    fi
    local inputs rate start end features
    inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    # The fuzzing run's first coverage line is what the corpora already reach.
    start=$(grep -oE 'INITED cov: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+$')
    end=$(grep -oE 'DONE +cov: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+$')
    features=$(grep -oE 'DONE +cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+$')
    printf '%s: %s inputs in %s s, %s inputs/s; coverage %s edges (%+d new), %s features\n' \
        "$target" "$inputs" "$seconds" "$rate" "$end" "$((end - start))" "$features"
}

echo "fuzzing ${TARGETS[*]}: ${seconds}s each, $jobs at a time"
failed=0
running=0
for target in "${TARGETS[@]}"; do
    if ((jobs == 1)); then
        run_target "$target" || failed=1
        continue
    fi
    run_target "$target" &
    if ((++running >= jobs)); then
        wait -n || failed=1
        ((running--))
    fi
done
while ((running > 0)); do
    wait -n || failed=1
    ((running--))
done
if ((failed)); then
    echo "error: a fuzz target failed; the logs are in $logs" >&2
    exit 1
fi
echo "fuzzing finished without a crash"
