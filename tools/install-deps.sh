#!/usr/bin/env bash
# Installs what the builds, the tests and the demo need, once. Debian, as root.
# Both Wine architectures are installed everywhere: the 32-bit one installs
# also where the kernel cannot run it, and the scripts find that out by
# trying (tools/wine-env.sh).
set -eu
need=()
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
for p in cmake make g++ python3 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
         wine wine64 wine32:i386 xvfb xauth x11-apps \
         imagemagick libgtest-dev clang libclang-rt-14-dev binutils fonts-liberation2 \
         libsgutils2-dev sg3-utils qemu-system-x86 busybox-static cpio scdoc man-db \
         nlohmann-json3-dev bash-completion dpkg-dev lintian debootstrap; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
[ ${#need[@]} -eq 0 ] && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "error: these packages are missing: ${need[*]}" >&2
    echo "  to fix: run this script as root, or install them with apt-get" >&2
    exit 1
fi
echo "installing: ${need[*]}"
if ! apt-get update -q || ! DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"; then
    echo "error: installing ${need[*]} failed" >&2
    echo "  to fix: check that Debian's package archive is reachable (apt-get update), then run again" >&2
    exit 1
fi
