#!/usr/bin/env bash
# Makes the release of this checkout's commit in dist/:
#   kavora-VERSION-windows.zip     kavora.exe (32-bit), kavora64.exe, the console
#                                  program kavora-cli.exe (32-bit) and
#                                  kavora-cli64.exe, README.txt,
#                                  IDString.txt.example
#   kavora-cli_VERSION-1_ARCH.deb  kavora-cli with its manual page and completion
#   SHA256SUMS                     over both
# The files depend only on the commit: two clones in two folders, built at
# two times, give the same bytes (times come from the commit, folder names
# are kept out, archives are written in a fixed order with fixed owners).
# Root is needed only to install missing build tools.
#   tools/release.sh [--build DIR]    (DIR: where to build; build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
work=$root/build/release
case "${1:-}" in
    --build) [ $# -ge 2 ] || { echo "--build needs a folder; usage: tools/release.sh [--build DIR]" >&2; exit 2; }
             work=$(mkdir -p "$2" && cd "$2" && pwd) ;;
    "") ;;
    *) echo "usage: tools/release.sh [--build DIR]" >&2; exit 2 ;;
esac
step="installing what the build needs"
trap 'echo "error: tools/release.sh failed while $step (exit $?)" >&2' ERR
tools/install-deps.sh

step="checking the checkout"
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "error: the checkout has uncommitted changes; a release is made from a commit" >&2
    echo "  to fix: commit or stash them, or release from a clean clone" >&2
    exit 1
fi
version=$(sed -n 's/^project(kavora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
revision=$(git rev-parse --short=12 HEAD)
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export TZ=UTC LC_ALL=C.UTF-8
umask 022
jobs=${KAVORA_JOBS:-2}
dist=$root/dist
rm -rf "$dist" "$work/stage" "$work/files"
mkdir -p "$dist" "$work/files"
echo "release $version, revision $revision, time $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S') UTC"

build() { # folder, then targets; the compiler's words go to a log, shown on failure
    local dir=$1; shift
    cmake --build "$dir" -j"$jobs" --target "$@" > "$dir/build.log" 2>&1 || { tail -n 40 "$dir/build.log"; return 1; }
}

for arch in win32 win64; do
    step="building the $arch programs"
    case $arch in
        win32) triple=i686-w64-mingw32; dialog=kavora.exe; console=kavora-cli.exe ;;
        win64) triple=x86_64-w64-mingw32; dialog=kavora64.exe; console=kavora-cli64.exe ;;
    esac
    echo "-- $dialog, $console"
    tools/release/configure.sh "$arch" "$work/$arch"
    build "$work/$arch" kavora kavora-cli
    # The symbol table names the objects it came from; the programs need none of it.
    "$triple-strip" -o "$work/files/$dialog" "$work/$arch/kavora.exe"
    "$triple-strip" -o "$work/files/$console" "$work/$arch/kavora-cli.exe"
done

step="building kavora-cli"
echo "-- kavora-cli"
tools/release/configure.sh cli "$work/cli"
build "$work/cli" kavora-cli kavora-cli-man

step="writing the Windows zip"
fill() { # template: the release's facts put in
    sed -e "s/@VERSION@/$version/g" -e "s/@REVISION@/$revision/g" "$@"
}
fill tools/release/README.txt > "$work/files/README.txt"
zip=kavora-$version-windows.zip
tools/release/make_zip.py "$dist/$zip" \
    kavora.exe="$work/files/kavora.exe" kavora64.exe="$work/files/kavora64.exe" \
    kavora-cli.exe="$work/files/kavora-cli.exe" kavora-cli64.exe="$work/files/kavora-cli64.exe" \
    README.txt="$work/files/README.txt" IDString.txt.example=examples/IDString.txt

step="writing the Debian package"
stage=$work/stage
DESTDIR=$stage cmake --install "$work/cli" >/dev/null
doc=$stage/usr/share/doc/kavora-cli
mkdir -p "$doc" "$stage/DEBIAN"
strip --remove-section=.comment --remove-section=.note "$stage/usr/bin/kavora-cli"
gzip -9n "$stage/usr/share/man/man8/kavora-cli.8"
fill tools/release/copyright > "$doc/copyright"
fill tools/release/changelog | sed "s/@DATE@/$(date -u -R -d "@$SOURCE_DATE_EPOCH")/" | gzip -9n > "$doc/changelog.Debian.gz"
# dpkg-shlibdeps reads the package's name from a control file of the source.
shlib=$work/shlibdeps
rm -rf "$shlib"; mkdir -p "$shlib/debian"
printf 'Source: kavora\n\nPackage: kavora-cli\nArchitecture: any\n' > "$shlib/debian/control"
depends=$(cd "$shlib" && dpkg-shlibdeps -O "$stage/usr/bin/kavora-cli" | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "error: dpkg-shlibdeps found no dependencies of kavora-cli" >&2; exit 1; }
deb_arch=$(dpkg --print-architecture)
size=$(du -k -s --apparent-size --exclude=DEBIAN "$stage" | cut -f1)
fill tools/release/control | sed -e "s/@ARCH@/$deb_arch/" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
    > "$stage/DEBIAN/control"
(cd "$stage" && find usr -type f | LC_ALL=C sort | xargs md5sum) > "$stage/DEBIAN/md5sums"
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
chmod 0755 "$stage/usr/bin/kavora-cli"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
deb=kavora-cli_${version}-1_$deb_arch.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$dist/$deb" >/dev/null

step="checking the package with lintian"
# (Lintian's note that it runs as root is left out: it says nothing of the package.)
lintian_status=0
lintian_out=$(lintian --fail-on error "$dist/$deb" 2>&1) || lintian_status=$?
lintian_out=$(echo "$lintian_out" | grep -v 'running with root privileges' || true)
if [ $lintian_status != 0 ]; then
    echo "$lintian_out"
    echo "error: lintian reports errors in $deb" >&2
    exit 1
fi
# The hardening tags at every severity: a program built without all of
# dpkg-buildflags (its CPPFLAGS, its LDFLAGS) must not ship. Lintian has no
# tag for bind-now; the dynamic section tells.
hardening=$(lintian -I --tags hardening-no-relro,hardening-no-fortify-functions,hardening-no-pie \
    "$dist/$deb" 2>&1 | grep -v 'running with root privileges' || true)
if [ -n "$hardening" ]; then
    echo "$hardening"
    echo "error: lintian finds kavora-cli built without Debian's hardening (tools/release/configure.sh cli)" >&2
    exit 1
fi
if ! readelf -d "$work/cli/kavora-cli" | grep -q 'BIND_NOW'; then
    echo "error: kavora-cli is not linked with -z now (LDFLAGS of dpkg-buildflags: tools/release/configure.sh cli)" >&2
    exit 1
fi
echo "lintian: ${lintian_out:-no tags}" | sed '2,$s/^/         /'

(cd "$dist" && sha256sum "$zip" "$deb" > SHA256SUMS)
echo "== dist/SHA256SUMS"
cat "$dist/SHA256SUMS"
