#!/usr/bin/env bash
# Proves the release of this checkout's commit as a user would meet it:
#  - two releases made by tools/release.sh in two folders of other names
#    must be the same byte for byte: both made here from clean clones, one
#    after the other, or (--first) one already made by the test command in
#    this checkout with its own builds, and one from a clean clone;
#  - the zip holds exactly its six files, in order, with the commit's time;
#  - the Debian package installs with apt in a fresh Debian (a copy of the
#    one tools/release/make-debian.sh made in build/debian), and
#    kavora-cli --version and info on the sample image run there.
# It leaves the first release in OUT/dist and kavora-cli's --version line in
# OUT/cli-version.txt, for the check of the Windows version resources.
#   tools/release-check.sh [--first DIST] [OUT]    (OUT: build/release-check)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
made=""
if [ "${1:-}" = --first ]; then
    [ $# -ge 2 ] || { echo "usage: tools/release-check.sh [--first DIST] [OUT]" >&2; exit 2; }
    made=$(cd "$2" && pwd)
    shift 2
fi
out=${1:-$root/build/release-check}
step="preparing"
trap 'echo "error: tools/release-check.sh failed while $step (exit $?)" >&2' ERR
"$root/tools/install-deps.sh"
[ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ] &&
    echo "note: the checkout has uncommitted changes; the release is made of its last commit"
rm -rf "$out"
mkdir -p "$out"
elapsed() { echo "$(( $(date +%s) - $1 )) s"; }

# Two folders that share no part of their paths below OUT.
first=$out/one/kavora
second=$out/two/deeper/kavora-again
clones=("$first" "$second")
if [ -n "$made" ]; then
    # Made in the checkout, whose folder's name is its own.
    mkdir -p "$first"
    cp -r "$made" "$first/dist"
    echo "release in $root: made there with its builds"
    clones=("$second")
fi
for clone in "${clones[@]}"; do
    step="making the release in $clone"
    started=$(date +%s)
    git clone -q "$root" "$clone"
    (cd "$clone" && tools/release.sh > "$clone.log" 2>&1) || { tail -n 30 "$clone.log"; exit 1; }
    echo "release in $clone: $(elapsed "$started")"
done

step="comparing the two releases"
differ=0
for file in $(cd "$first/dist" && ls); do
    if [ ! -f "$second/dist/$file" ]; then
        echo "error: $file is in the first release only" >&2; differ=1
    elif ! where=$(cmp "$first/dist/$file" "$second/dist/$file" 2>&1); then
        echo "error: $file differs between the two builds: ${where#* differ: }" >&2; differ=1
    fi
done
[ "$(cd "$first/dist" && ls)" = "$(cd "$second/dist" && ls)" ] ||
    { echo "error: the two releases hold different files" >&2; differ=1; }
[ $differ = 0 ] || exit 1
echo "the two releases are identical:"
sed 's/^/  /' "$first/dist/SHA256SUMS"
(cd "$first/dist" && sha256sum --quiet -c SHA256SUMS)

step="checking the zip's listing"
dist=$first/dist
zip=$(cd "$dist" && ls kavora-*-windows.zip)
listing=$(unzip -Z1 "$dist/$zip" | tr '\n' ' ')
[ "$listing" = "kavora.exe kavora64.exe kavora-cli.exe kavora-cli64.exe README.txt IDString.txt.example " ] ||
    { echo "error: $zip holds \"$listing\"" >&2; exit 1; }
epoch=$(git -C "$root" log -1 --format=%ct)
want=$(TZ=UTC date -d "@$(( epoch / 2 * 2 ))" +%Y%m%d.%H%M%S)
times=$(unzip -Z -T "$dist/$zip" | awk '$3 == "fat" { print $7 }' | sort -u | tr '\n' ' ')
[ "$times" = "$want " ] || { echo "error: $zip's times are \"$times\", not the commit's $want" >&2; exit 1; }
unzip -p "$dist/$zip" README.txt | grep -q "revision $(git -C "$root" rev-parse --short=12 HEAD)" ||
    { echo "error: README.txt in $zip does not name the revision" >&2; exit 1; }
echo "$zip: $listing(times $want)"

step="making a Debian to install the package in"
started=$(date +%s)
"$root/tools/release/make-debian.sh" "$root/build/debian"
chroot=$out/debian
cp -a "$root/build/debian" "$chroot"
echo "a fresh Debian: $(elapsed "$started")"
cp /etc/resolv.conf "$chroot/etc/resolv.conf"
mkdir -p "$chroot/tmp/sample"
deb=$(cd "$dist" && ls kavora-cli_*.deb)
cp "$dist/$deb" "$chroot/tmp/"
cp "$root/examples/IDString.txt" "$root/examples/KV110.hex" "$chroot/tmp/sample/"

step="installing $deb with apt"
started=$(date +%s)
chroot "$chroot" apt-get install -y -q "/tmp/$deb" > "$out/apt.log" 2>&1 || { tail -n 20 "$out/apt.log"; exit 1; }
echo "installed $deb with its dependencies: $(elapsed "$started")"
step="running the installed kavora-cli"
chroot "$chroot" kavora-cli --version | tee "$out/cli-version.txt"
chroot "$chroot" sh -c 'cd /tmp/sample && kavora-cli info KV110.hex' | tee "$out/info.txt"
grep -q '^Check Sum :  1813' "$out/info.txt" || { echo "error: info gave no checksum" >&2; exit 1; }
for file in /usr/share/man/man8/kavora-cli.8.gz /usr/share/bash-completion/completions/kavora-cli \
            /usr/share/doc/kavora-cli/copyright; do
    [ -f "$chroot$file" ] || { echo "error: the package did not install $file" >&2; exit 1; }
done
cp -r "$dist" "$out/dist"
echo "release check passed"
