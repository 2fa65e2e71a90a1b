#!/usr/bin/env bash
# Configures a build folder as the release builds it: the one home of how
# the shipped programs are compiled.
#   win32, win64  kavora.exe and kavora64.exe: mingw-w64, Release, reproducible
#   cli           kavora-cli: Debian's flags for a package (hardening, build
#                 folders mapped away), installed under /usr
# The test command builds its Windows tests and the QEMU lane's kavora-cli in
# folders configured here, so that the programs it tests are the programs the
# release ships. Tests are left on: a release builds only its own targets.
#   tools/release/configure.sh win32|win64|cli DIR [cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -ge 2 ] || { echo "usage: tools/release/configure.sh win32|win64|cli DIR [cmake arguments...]" >&2; exit 2; }
kind=$1 dir=$2
shift 2
args=(-S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKAVORA_REPRODUCIBLE=ON)
case $kind in
    win32) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
    win64) args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake") ;;
    cli)
        # All of Debian's hardening: bind-now too, which the default leaves out.
        eval "$(DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS:-hardening=+all} dpkg-buildflags --export=sh)"
        # Given on the command line, so that a folder configured before takes
        # them too. CMake has no CPPFLAGS: the preprocessor's flags
        # (-D_FORTIFY_SOURCE) go before each compiler's.
        args+=(-DKAVORA_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr
               "-DCMAKE_C_FLAGS=$CPPFLAGS $CFLAGS" "-DCMAKE_CXX_FLAGS=$CPPFLAGS $CXXFLAGS"
               "-DCMAKE_EXE_LINKER_FLAGS=$LDFLAGS") ;;
    *) echo "error: no release build is called '$kind' (win32, win64 or cli)" >&2; exit 2 ;;
esac
if ! cmake "${args[@]}" "$@" > /dev/null; then
    echo "error: configuring the $kind build in $dir failed; is everything installed? (tools/install-deps.sh)" >&2
    exit 1
fi
