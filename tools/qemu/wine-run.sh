#!/bin/bash
# Run inside the guest's view of the host (chroot): the Windows programs under
# Wine against the kernel's scsi_debug. The first call sets Wine up.
#   wine-run.sh ROOT ARCH upgrade|vanish   the dialog, driven by its test
#   wine-run.sh ROOT ARCH cli ARGS...      kavora-cli.exe ARGS in /tmp/kernel-cli;
#                                          its wall time in seconds goes to
#                                          /tmp/kernel-cli/wall.txt
set -u
root=$1 arch=$2 case=$3
shift 3
export HOME=/tmp XDG_CACHE_HOME=/tmp WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$root/build/wineprefix-$arch DISPLAY=:77
if [ "$arch" = win32 ]; then wine=/usr/lib/wine/wine; else wine=/usr/lib/wine/wine64; fi
export WINELOADER=$wine
# The host's /tmp shows through: what it left of a display is not ours.
if [ ! -e /tmp/kavora-guest-display ]; then
    rm -f /tmp/.X77-lock /tmp/.X11-unix/X77
    Xvfb :77 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -e /tmp/.X11-unix/X77 ] && break; sleep 0.1; done
    touch /tmp/kavora-guest-display
    wineserver -p >/dev/null 2>&1
    # d: to g: are the kernel's CD-ROM drives /dev/sr0 to /dev/sr3: the
    # dialog's cases have d: alone, the tower all four. A letter whose device
    # is not there does not open, and the scans pass over it. One start of
    # Wine's reg for the four drive types: each start is seconds here.
    n=0
    {
        printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\r\n'
        for letter in d e f g; do
            ln -sfn "/dev/sr$n" "$WINEPREFIX/dosdevices/$letter::"
            printf '"%s:"="cdrom"\r\n' "$letter"
            n=$((n + 1))
        done
    } > /tmp/kavora-drives.reg
    "$wine" reg import 'Z:\tmp\kavora-drives.reg' >/dev/null 2>&1
fi
case $case in
    cli)
        cd /tmp/kernel-cli || exit 1
        began=$EPOCHREALTIME
        "$wine" "$root/build/$arch/kavora-cli.exe" "$@"
        status=$?
        ended=$EPOCHREALTIME
        awk -v a="$began" -v b="$ended" 'BEGIN { printf "%.3f\n", b - a }' > wall.txt
        exit $status ;;
    *)
        cd /tmp/kernel-drive || exit 1
        KAVORA_KERNEL_DRIVE=$case KAVORA_EXE=$root/build/$arch/kavora.exe \
            "$wine" "$root/build/$arch/kernel_drive_test.exe" --gtest_brief=1 ;;
esac
