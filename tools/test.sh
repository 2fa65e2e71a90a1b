#!/usr/bin/env bash
# Builds everything and runs every test: native under ASan/UBSan, the fuzz
# targets for a bounded time, both Windows builds under Wine (the 64-bit one
# under 64-bit Wine always, the 32-bit one under 32-bit Wine where this
# machine runs 32-bit programs), then the QEMU lane: the Linux program and
# the Windows program under Wine against the kernel's own SCSI target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
step="installing what the build needs"
trap 'echo "error: tools/test.sh failed while $step (exit $?)" >&2' ERR
tools/install-deps.sh
jobs=${KAVORA_JOBS:-2}

step="checking that includes and links run downward"
echo "== layers"
python3 tools/check_layers.py

step="building and testing the native code"
echo "== native build and tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j"$jobs"
(cd build/native && ctest --output-on-failure)
echo "== install: man page, completion, cmake --install"
tools/check-install.sh build/native

step="fuzzing"
echo "== fuzz targets"
tools/fuzz.sh

step="building the Windows programs"
echo "== Windows builds"
tools/build-win.sh

step="checking the release"
echo "== release: built twice in two folders and compared, the zip, the package installed in a fresh Debian"
tools/release-check.sh "$root/build/release-check"

step="running the Windows tests under Wine"
trap - ERR
kavora_root=$root
source tools/wine-env.sh
kavora_check_wine32
if [ "$kavora_wine32" = yes ]; then
    arches=(win64 win32)
    ran="Windows tests: the 64-bit build under 64-bit Wine and the 32-bit build under 32-bit Wine ($kavora_wine32_why)"
else
    arches=(win64)
    ran="Windows tests: the 64-bit build under 64-bit Wine only; the 32-bit build was built but not run ($kavora_wine32_why)"
fi
echo "$ran"
kavora_start_display
failed=()
for arch in "${arches[@]}"; do
    echo "== Windows tests, $arch"
    kavora_use_wine "$arch"
    (cd "build/$arch" && ctest --output-on-failure) || failed+=("$arch")
done
# The released programs as Windows shows them: the version resource of each,
# read by the 64-bit test program, against the packaged kavora-cli's --version.
echo "== release: the version resources of kavora.exe and kavora64.exe under Wine"
release=$root/build/release-check
mkdir -p "$release/windows"
unzip -o -q "$release"/dist/kavora-*-windows.zip kavora.exe kavora64.exe -d "$release/windows"
kavora_use_wine win64
for exe in kavora.exe kavora64.exe; do
    (cd "$release/windows" && KAVORA_EXE=$exe KAVORA_CLI_VERSION=$(cat "$release/cli-version.txt") \
        kavora_wine "$root/build/win64/product_start_test.exe" --gtest_filter=Product.CarriesItsVersion \
        --gtest_brief=1) || failed+=("the version resource of the released $exe")
done
echo "$ran"
if [ ${#failed[@]} -gt 0 ]; then
    echo "error: Windows tests failed: ${failed[*]} (see the output above)" >&2
    exit 1
fi

# Last, as it uses the Windows builds and their Wine prefixes.
step="running the QEMU lane"
trap 'echo "error: tools/test.sh failed while $step (exit $?)" >&2' ERR
echo "== QEMU lane: kavora-cli, and kavora.exe under Wine, against the kernel's scsi_debug"
kavora_cleanup
tools/qemu-lane.sh
