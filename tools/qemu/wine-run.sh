#!/bin/bash
# Run inside the guest's view of the host (chroot): the Windows program under
# Wine against d:, the kernel's scsi_debug. The first call sets Wine up.
#   wine-run.sh ROOT ARCH CASE     CASE: upgrade or vanish
set -u
root=$1 arch=$2 case=$3
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
    # d: is the kernel's CD-ROM drive.
    ln -sfn /dev/sr0 "$WINEPREFIX/dosdevices/d::"
    "$wine" reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f >/dev/null 2>&1
fi
cd /tmp/kernel-drive
KAVORA_KERNEL_DRIVE=$case KAVORA_EXE=$root/build/$arch/kavora.exe \
    "$wine" "$root/build/$arch/kernel_drive_test.exe" --gtest_brief=1
