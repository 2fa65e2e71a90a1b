#!/usr/bin/env bash
# Installs what the build, the tests and the demo need, once. Debian, as root.
set -eu
need=()
dpkg --print-foreign-architectures | grep -qx i386 || { dpkg --add-architecture i386; updated=; }
for p in cmake make g++ python3 g++-mingw-w64-i686-posix wine wine32:i386 xvfb xauth x11-apps \
         imagemagick libgtest-dev clang libclang-rt-14-dev binutils fonts-liberation2; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    echo "installing: ${need[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}"
fi
