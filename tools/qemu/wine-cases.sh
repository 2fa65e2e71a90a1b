# The second part of the lane, sourced by cases.sh: the Windows program
# (kavora.exe itself, no virtual machine) under Wine in the guest, against
# the same scsi_debug as d:. The guest sees the host's files read-only over
# virtio-9p and writes over them in memory; Wine and the build come from the
# host: /lane/wine.env names the checkout, the host's signal the build.
. /lane/wine.env
mkdir -p /host /ovl /newroot
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose hostroot /host &&
    mount -t tmpfs ovl /ovl && mkdir -p /ovl/upper /ovl/work &&
    mount -t overlay overlay -o lowerdir=/host,upperdir=/ovl/upper,workdir=/ovl/work /newroot ||
    echo "LANE: the host's files are not there (virtio-9p, overlay)"
# /tmp stays the host's, written over in memory like the rest: the checkout
# under test may live there.
for d in proc sys dev; do mount --bind /$d /newroot/$d; done
mkdir -p /newroot/tmp/kernel-drive
cp /lane/run/small.bin /newroot/tmp/kernel-drive/
printf '"Linux   scsi_debug      " "small.bin" "Y"\n' > /newroot/tmp/kernel-drive/IDString.txt

wine_run() { chroot /newroot /bin/bash "$KAVORA_ROOT/tools/qemu/wine-run.sh" "$KAVORA_ROOT" "$KAVORA_ARCH" "$1"; }

# The carried-out commands in order must be: the eight blocks at
# 0x20 + 4096k, each once; the header at 0, once; one save, after them.
procedure_followed() {
    carried=$(carried_list | grep '^3b 0[67]')
    k=0
    while [ $k -lt 8 ]; do
        v=$((0x20 + 4096 * k))
        o=$(printf '%02x %02x %02x' $((v >> 16 & 255)) $((v >> 8 & 255)) $((v & 255)))
        [ "$(echo "$carried" | grep -c "^3b 06 00 $o 00 10 00")" = 1 ] || return 1
        k=$((k + 1))
    done
    [ "$(echo "$carried" | grep -c '^3b 06 00 00 00 00 00 00 20')" = 1 ] || return 1
    [ "$(echo "$carried" | grep -c '^3b 07')" = 1 ] || return 1
    [ "$(echo "$carried" | tail -n 1 | cut -c1-5)" = "3b 07" ]
}

load_drive
check_case wine-upgrade 0 "Please Restart Your Computer." procedure_followed -- wine_run upgrade
carried_list | grep '^3b 0[67]' | sed 's/^/KERNEL wine-upgrade: /'

# The drive is deleted from the kernel once the blocks have begun (each
# command takes 400 ms): the dialog ends "Flashing is incorrect!!", Close
# comes back, no save was sent, and the line after the error line says in
# words what became of the request.
load_drive delay=100
(
    for _ in $(seq 600); do dmesg | grep -q 'Write Buffer' && break; sleep 0.2; done
    sleep 1
    echo 1 > /sys/class/scsi_device/0:0:0:0/device/delete
) &
check_case wine-vanish 0 "Flashing is incorrect!!" \
    '[ $(sent "3b 07") = 0 ] && grep -q -e "The system refused the request" -e "The request did not reach the drive" out.txt' \
    -- wine_run vanish
wait
echo "KERNEL wine-vanish: WRITE BUFFER sent: $(sent '3b 06') of mode 06h, $(sent '3b 07') of mode 07h"
dmesg | grep -E 'Result: hostbyte=DID_[A-Z_]+' | grep -v 'DID_OK' | tail -n 2 | sed 's/^/KERNEL wine-vanish: /'
for run in wine-upgrade wine-vanish; do
    sed -n '/^DIALOG/,$p' "/tmp/$run.out" | sed "s/^/OUTPUT $run: /"
done
