#!/usr/bin/env bash
# Packs the guest's initramfs: busybox, the kernel modules of the SCSI stack
# and scsi_debug, kavora-cli, sg_write_buffer (each with the shared libraries
# it needs), the images and a case script.
#   build-initramfs.sh KERNEL_ROOT CLI CASES OUT.cpio.gz [BENCH [TESTS]]
set -euo pipefail
kernel=$1 cli=$2 cases=$3 out=$4 bench=${5:-} tests=${6:-}
here=$(cd "$(dirname "$0")" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage"/{bin,modules,lane/run,proc,sys,dev,tmp}
cp /bin/busybox "$stage/bin/busybox"
cp "$here/guest-init.sh" "$stage/init"
chmod +x "$stage/init"
version=$(ls "$kernel/lib/modules")
tree=$kernel/lib/modules/$version/kernel
# In dependency order; scsi_debug is loaded by the cases with their options.
# The virtio and 9p modules let the guest see the host's files; overlay lets
# it write over them.
order=(crypto/crct10dif_common crypto/crct10dif_generic lib/crc-t10dif drivers/scsi/scsi_common
       drivers/scsi/scsi_mod drivers/cdrom/cdrom drivers/scsi/sr_mod drivers/scsi/sg
       drivers/virtio/virtio_ring drivers/virtio/virtio drivers/virtio/virtio_pci_modern_dev
       drivers/virtio/virtio_pci_legacy_dev drivers/virtio/virtio_pci net/9p/9pnet
       net/9p/9pnet_virtio fs/netfs/netfs fs/fscache/fscache fs/9p/9p fs/overlayfs/overlay)
for module in "${order[@]}"; do
    cp "$tree/$module.ko" "$stage/modules/"
    basename "$module" >> "$stage/modules/order"
done
cp "$tree/drivers/scsi/scsi_debug.ko" "$stage/modules/"
# A program with the shared libraries it needs, at the paths it asks for them.
with_libraries() { # program, where it goes
    cp "$1" "$stage$2"
    for lib in $(ldd "$1" | grep -o '/[^ ]*'); do
        mkdir -p "$stage$(dirname "$lib")"
        cp -L "$lib" "$stage$lib"
    done
}
with_libraries "$cli" /lane/kavora-cli
[ -n "$bench" ] && with_libraries "$bench" /lane/kavora-sg-bench
[ -n "$tests" ] && with_libraries "$tests" /lane/linux_tests
cp "$cases" "$stage/lane/cases.sh"
cp "$here/wine-cases.sh" "$stage/lane/wine-cases.sh"
# The Windows part of the lane runs when the host names its build and Wine.
[ -n "${KAVORA_WINE_ENV:-}" ] && cp "$KAVORA_WINE_ENV" "$stage/lane/wine.env"
python3 "$here/make_images.py" "$stage/lane/run"
# sg3_utils' sg_write_buffer, for the benchmark, with the libraries it needs.
if command -v sg_write_buffer >/dev/null; then
    with_libraries "$(command -v sg_write_buffer)" /lane/sg_write_buffer
fi
(cd "$stage" && find . | cpio -o -H newc --quiet) | gzip -1 > "$out"
