#!/usr/bin/env bash
# Builds everything and runs every test: native under ASan/UBSan, the fuzz
# targets for a bounded time, both Windows builds under Wine (the 64-bit one
# under 64-bit Wine always, the 32-bit one under 32-bit Wine where this
# machine runs 32-bit programs), the release made twice and compared, and
# the QEMU lane: the Linux program and the Windows program under Wine
# against the kernel's own SCSI target.
#
# Each program is built once. The QEMU lane boots at the start and runs its
# Linux cases while the rest builds, then its Windows cases once the Windows
# programs and their Wine prefixes are made; a fresh Debian for the package
# is made meanwhile too. The release is made in this checkout from the
# builds the tests ran, and once more from a clean clone to compare. At the
# end the time of each stage is printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${KAVORA_JOBS:-2}
started=$(date +%s)
stage_started=$started
stage_name=""
stage_times=()
# Ends the stage before and begins the next: its name, for the headline,
# the error message and the table of times.
stage() {
    local now
    now=$(date +%s)
    [ -n "$stage_name" ] && stage_times+=("$(printf '%5d s  %s' $((now - stage_started)) "$stage_name")")
    stage_name=$1 stage_started=$now
    [ -z "$1" ] || echo "== $1"
}
trap 'echo "error: tools/test.sh failed in \"$stage_name\" (exit $?)" >&2' ERR

# What runs beside the stages: stopped if this script ends early.
background=()
stop_background() {
    local pid
    for pid in "${background[@]}"; do kill -- "$pid" 2>/dev/null || true; done
}
trap stop_background EXIT

stage "installing what the build needs"
tools/install-deps.sh

stage "layers: includes and links run downward"
python3 tools/check_layers.py

# The lane's guest waits for build/qemu/signal/windows before its Windows cases.
rm -rf build/qemu/signal
mkdir -p build/qemu/signal
lane_log=$root/build/qemu-lane.log
tools/qemu-lane.sh --windows-later > "$lane_log" 2>&1 &
lane_pid=$!
background+=("$lane_pid")
echo "the QEMU lane runs beside the stages below (its output: $lane_log)"
debian_log=$root/build/make-debian.log
tools/release/make-debian.sh build/debian > "$debian_log" 2>&1 &
debian_pid=$!
background+=("$debian_pid")

stage "native build and tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j"$jobs"
(cd build/native && ctest --output-on-failure)
echo "== install: man page, completion, cmake --install"
tools/check-install.sh build/native

stage "Windows builds"
kavora_root=$root
source tools/wine-env.sh
trap 'kavora_cleanup; stop_background' EXIT
kavora_check_wine32
if [ "$kavora_wine32" = yes ]; then
    arches=(win64 win32)
    ran="Windows tests: the 64-bit build under 64-bit Wine and the 32-bit build under 32-bit Wine ($kavora_wine32_why)"
    tools/build-win.sh
else
    arches=(win64)
    ran="Windows tests: the 64-bit build under 64-bit Wine only; the 32-bit programs were built for the release, their tests were not: they cannot run here ($kavora_wine32_why)"
    # Tests that cannot run here are not built: the 32-bit programs alone,
    # as the release takes them.
    tools/build-win.sh win64
    tools/build-win.sh win32 --target kavora kavora-cli
fi
echo "$ran"

stage "Wine prefixes"
kavora_start_display
for arch in "${arches[@]}"; do
    kavora_use_wine "$arch"
done
# The lane's Windows cases may begin: the 32-bit build where it runs here.
lane_arch=${arches[${#arches[@]} - 1]}
echo "$lane_arch" > build/qemu/signal/windows.part
mv build/qemu/signal/windows.part build/qemu/signal/windows

stage "Windows tests under Wine"
trap - ERR
failed=()
for arch in "${arches[@]}"; do
    echo "== Windows tests, $arch"
    kavora_use_wine "$arch"
    (cd "build/$arch" && ctest --output-on-failure) || failed+=("$arch")
done
echo "$ran"
trap 'echo "error: tools/test.sh failed in \"$stage_name\" (exit $?)" >&2' ERR
if [ ${#failed[@]} -gt 0 ]; then
    echo "error: Windows tests failed: ${failed[*]} (see the output above)" >&2
    exit 1
fi

stage "fuzz targets"
tools/fuzz.sh

stage "release: made here and in a clean clone, compared; the zip; the package in a fresh Debian"
release=$root/build/release-check
wait "$debian_pid" || { cat "$debian_log" >&2; echo "error: no Debian to install the package in" >&2; exit 1; }
cat "$debian_log"
if [ -z "$(git status --porcelain --untracked-files=no)" ]; then
    # From the builds above: the programs the tests ran are the ones released.
    tools/release.sh --build build > build/release.log 2>&1 || { tail -n 30 build/release.log; exit 1; }
    grep -E '^(release|lintian)' build/release.log
    tools/release-check.sh --first dist "$release"
else
    echo "note: the checkout has uncommitted changes: both releases are made from clean clones of its last commit"
    tools/release-check.sh "$release"
fi
# The released programs as Windows shows them: the version resource and the
# icon of each, read by the 64-bit test program, and what each console
# program says of itself, against the packaged kavora-cli's --version.
echo "== release: the version resources and icons of the four programs, kavora-cli.exe and kavora-cli64.exe --version, under Wine"
mkdir -p "$release/windows"
unzip -o -q "$release"/dist/kavora-*-windows.zip kavora.exe kavora64.exe kavora-cli.exe kavora-cli64.exe \
    -d "$release/windows"
cli_version=$(cat "$release/cli-version.txt")
kavora_use_wine win64
for programs in kavora.exe:kavora-cli.exe kavora64.exe:kavora-cli64.exe; do
    (cd "$release/windows" && KAVORA_EXE=${programs%:*} KAVORA_CLI_EXE=${programs#*:} KAVORA_CLI_VERSION=$cli_version \
        kavora_wine "$root/build/win64/product_start_test.exe" \
        --gtest_filter=Product.CarriesItsVersion:Product.CarriesItsIconAtEverySize --gtest_brief=1)
done
# The 32-bit one where this machine runs 32-bit programs.
for arch in "${arches[@]}"; do
    case $arch in win32) exe=kavora-cli.exe ;; win64) exe=kavora-cli64.exe ;; esac
    kavora_use_wine "$arch"
    said=$(cd "$release/windows" && kavora_wine "./$exe" --version < /dev/null | tr -d '\r')
    [ "$said" = "$cli_version" ] ||
        { echo "error: the released $exe --version says \"$said\", the package's kavora-cli \"$cli_version\"" >&2; exit 1; }
    echo "$exe --version: $said"
done

stage "QEMU lane: kavora-cli, and kavora.exe and kavora-cli.exe under Wine, against the kernel's scsi_debug (the rest of its run)"
lane_status=0
wait "$lane_pid" || lane_status=$?
cat "$lane_log"
stage ""
echo "time of each stage (the QEMU lane's runs beside them; its guest run is above):"
printf '  %s\n' "${stage_times[@]}"
echo "  $(printf '%5d s' $(( $(date +%s) - started )))  in all"
[ $lane_status = 0 ] || { echo "error: the QEMU lane failed (see its output above)" >&2; exit 1; }
echo "all tests passed"
