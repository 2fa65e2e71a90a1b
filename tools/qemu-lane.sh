#!/usr/bin/env bash
# The QEMU lane: Debian's own kernel in a guest under software emulation,
# the kernel's scsi_debug module posing as a CD-ROM drive (a SCSI target
# nobody here wrote), and kavora-cli run against it by the case table in
# tools/qemu/cases.sh; then kavora.exe and kavora-cli.exe under Wine against
# it (tools/qemu/wine-cases.sh). One boot; prints the cases, the benchmark and the
# figures, and fails unless every case passed.
#   tools/qemu-lane.sh [--windows-later]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/qemu
mkdir -p "$work"
fail() { echo "error: $1" >&2; [ -n "${2:-}" ] && echo "  to fix: $2" >&2; exit 1; }

# Debian's kernel, unpacked into the build tree (nothing is installed).
image=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
[ -n "$image" ] || fail "no Debian kernel package found" "run 'apt-get update'"
if [ ! -d "$work/kernel/lib/modules" ] || [ "$(cat "$work/kernel.name" 2>/dev/null)" != "$image" ]; then
    echo "unpacking $image"
    rm -rf "$work/kernel" "$work"/*.deb
    (cd "$work" && apt-get download "$image" >/dev/null 2>&1) ||
        fail "could not download $image" "check that Debian's package archive is reachable"
    dpkg-deb -x "$work"/"$image"_*.deb "$work/kernel"
    echo "$image" > "$work/kernel.name"
fi
vmlinuz=$(ls "$work"/kernel/boot/vmlinuz-*)

# kavora-cli as the package ships it, its GoogleTest suite and the benchmark,
# built in the folder the release builds kavora-cli in.
cli=$root/build/cli
{ "$root/tools/release/configure.sh" cli "$cli" &&
  cmake --build "$cli" -j"${KAVORA_JOBS:-2}" --target kavora-cli kavora-sg-bench linux_tests; } \
    > "$work/build.log" 2>&1 || { tail -n 30 "$work/build.log"; fail "building kavora-cli for the guest failed"; }
# The Windows programs' part: the 32-bit release build where this machine
# made a 32-bit prefix (it runs 32-bit programs), the 64-bit one otherwise.
# The guest sees the host's files read-only, and over a second share, read
# afresh each time, the file "windows" that names the architecture to run or
# "none". With --windows-later the guest runs its Linux cases first and waits
# for that file: tools/test.sh clears the folder before it starts the lane
# and writes the file once it has built the Windows programs and made their
# Wine prefixes.
signal=$work/signal
if [ "${1:-}" = --windows-later ]; then
    mkdir -p "$signal"
else
    rm -rf "$signal"
    mkdir -p "$signal"
    arch=none
    for candidate in win32 win64; do
        if [ -f "$root/build/wineprefix-$candidate/system.reg" ] && [ -f "$root/build/$candidate/kernel_drive_test.exe" ]; then
            arch=$candidate
            break
        fi
    done
    echo "$arch" > "$signal/windows"
fi
printf 'KAVORA_ROOT=%s\n' "$root" > "$work/wine.env"
export KAVORA_WINE_ENV=$work/wine.env
virtfs=(-virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap"
        -virtfs "local,path=$signal,mount_tag=signal,security_model=none,readonly=on")

"$root/tools/qemu/build-initramfs.sh" "$work/kernel" "$cli/kavora-cli" \
    "$root/tools/qemu/cases.sh" "$work/lane.cpio.gz" "$cli/bench/kavora-sg-bench" "$cli/linux_tests"

echo "booting the guest (software emulation)"
start=$(date +%s)
# The guest's console goes to a file: the run needs no terminal, and no input.
rm -f "$work/console.log"
timeout 1200 qemu-system-x86_64 -m 2048 -smp 2 -display none -monitor none -serial "file:$work/console.log" \
    -no-reboot -kernel "$vmlinuz" -initrd "$work/lane.cpio.gz" "${virtfs[@]}" \
    -append "console=ttyS0 panic=-1 quiet log_buf_len=4M" < /dev/null > "$work/qemu.log" 2>&1 ||
    fail "the guest did not finish (see $work/console.log and $work/qemu.log)"
tr -d '\r' < "$work/console.log" | grep -E '^(CASE|BENCH|LANE|TIME|WINDOWS|OUTPUT|KERNEL|    |peak resident|Execute)' || true
# kavora-cli list --json as a script reads it: it must parse and name the drive.
if ! tr -d '\r' < "$work/console.log" | sed -n 's/^JSONLIST //p' | python3 -c '
import json, sys
listing = json.loads(sys.stdin.readline())
assert any("scsi_debug" in d.get("model", "") for d in listing["drives"]), listing
print("kavora-cli list --json parses and names", listing["drives"][0]["node"])'; then
    fail "kavora-cli list --json did not parse or did not name the scsi_debug drive (see $work/console.log)"
fi
echo "guest run: $(( $(date +%s) - start )) s"
summary=$(tr -d '\r' < "$work/console.log" | grep -E '^LANE: [0-9]+ passed, [0-9]+ failed' || true)
[ -n "$summary" ] || fail "the guest reported no result (see $work/console.log)"
echo "${summary#LANE: }"
echo "$summary" | grep -q ' 0 failed' || exit 1
