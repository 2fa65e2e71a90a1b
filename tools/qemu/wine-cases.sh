# The second part of the lane, sourced by cases.sh: the Windows programs
# (kavora.exe and kavora-cli.exe themselves, no virtual machine) under Wine
# in the guest, against the same scsi_debug as d: (and as d: to g: for the
# tower). The guest sees the host's files read-only over
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

# kavora-cli.exe under Wine: d: to g: are a tower of four scsi_debug drives,
# which come back from programming with revision 0200, as in the Linux cases.
# One drive, then all four at once, with the 1 MiB image of the Linux tower,
# in a scratch folder; their wall times give the tower's cost under Wine.
# Both runs have the same four drives to scan: only the number upgraded
# differs. A list first starts Wine's parts the runs share, and shows the
# letters as the program sees them.
cli_folder=/newroot/tmp/kernel-cli
mkdir -p "$cli_folder"
cp /lane/run/fw.bin /lane/run/IDString.txt "$cli_folder/"
cli_run() {
    rm -f "$cli_folder/wall.txt"
    chroot /newroot /bin/bash "$KAVORA_ROOT/tools/qemu/wine-run.sh" "$KAVORA_ROOT" "$KAVORA_ARCH" cli "$@"
}
cli_wall() { cat "$cli_folder/wall.txt" 2>/dev/null || echo 0; }
# Each drive carried out exactly one save.
one_save_each() { [ "$(carried_by "3b 07" | awk '$2 == 1' | wc -l)" = "$1" ] && [ "$(carried_out "3b 07")" = "$1" ]; }
sums_are() { [ "$(cd "$cli_folder" && ls sum*.txt 2>/dev/null | tr '\n' ' ')" = "$1" ]; }
# cli_upgrade NAME TEXT CHECK -- ARGS...: case NAME, kavora-cli.exe ARGS on
# the four drives loaded afresh, which come back from programming with
# revision 0200; its wall time in $wall.
cli_upgrade() {
    local case_name=$1 case_text=$2 case_check=$3
    shift 4
    load_tower
    rm -f "$cli_folder"/sum*.txt
    ( after_first_save inq_rev 0200 ) &
    check_case "$case_name" 0 "$case_text" "$case_check" -- cli_run "$@"
    wall=$(cli_wall)
    wait
    carried_by "3b 07" | sed "s/^/KERNEL $case_name: saves carried out by /"
}

if [ -f "/newroot$KAVORA_ROOT/build/$KAVORA_ARCH/kavora-cli.exe" ]; then
    load_tower
    check_case win-cli-list 0 '"Linux   scsi_debug      "' \
        '[ "$(grep -c "^[DEFG]: " out.txt)" = 4 ]' -- cli_run list
    list_wall=$(cli_wall)

    cli_upgrade win-cli-one "kavora-cli: upgraded: the drive now reports revision 0200; it reported 0191 before." \
        'one_save_each 1 && sums_are "sum.txt "' -- upgrade --yes --drive D: fw.bin
    one_wall=$wall
    cli_upgrade win-cli-tower "upgrading 4 drives at once: D: E: F: G:" \
        'one_save_each 4 && sums_are "sum-D.txt sum-E.txt sum-F.txt sum-G.txt " &&
         [ "$(grep -c "0200   upgraded (exit 0)" out.txt)" = 4 ]' -- upgrade --all --yes fw.bin
    tower_wall=$wall
    # One drive again: the host builds and tests beside the guest, so its
    # load changes from one run to the next; the tower is held to the mean
    # of the one-drive runs on either side of it.
    cli_upgrade win-cli-one-again "Please Restart Your Computer." \
        'one_save_each 1 && sums_are "sum.txt "' -- upgrade --yes --drive D: fw.bin
    again_wall=$wall

    ratio=$(awk -v one="$one_wall" -v again="$again_wall" -v four="$tower_wall" \
        'BEGIN { if (one + 0 > 0 && again + 0 > 0 && four + 0 > 0) printf "%.3f", 2 * four / (one + again); else print "none" }')
    echo "BENCH win-cli-tower: 4 drives over 1 drive under Wine (wall, over the mean of one drive before and after; one drive s, four drives s, one drive again s, a list s): $ratio $one_wall $tower_wall $again_wall $list_wall"
    if [ "$ratio" != none ] && awk -v r="$ratio" 'BEGIN { exit !(r + 0 <= 1.15) }'; then
        passed=$((passed + 1)); echo "CASE win-cli-tower-ratio: ok"
    else
        failed=$((failed + 1)); echo "CASE win-cli-tower-ratio: FAILED (wall at most 1.15: $ratio)"
    fi
    for run in win-cli-list win-cli-one win-cli-tower; do
        sed "s/^/OUTPUT $run: /" "/tmp/$run.out"
    done
else
    failed=$((failed + 1))
    echo "CASE win-cli-tower: FAILED (no build/$KAVORA_ARCH/kavora-cli.exe: tools/build-win.sh $KAVORA_ARCH builds it)"
fi
