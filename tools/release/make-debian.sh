#!/usr/bin/env bash
# Makes a minimal Debian in DIR, of this machine's own release and from the
# archive its apt sources name, for the release check to install the
# package in. A folder made earlier is kept: the check starts from a copy.
#   tools/release/make-debian.sh DIR
set -euo pipefail
[ $# = 1 ] || { echo "usage: tools/release/make-debian.sh DIR" >&2; exit 2; }
dir=$1
[ -f "$dir/.complete" ] && exit 0
. /etc/os-release
suite=${VERSION_CODENAME:?this machine names no Debian release in /etc/os-release}
# The archive this machine installs its own packages from: its mirror, proxy
# or snapshot, not a fixed address.
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' |
         awk -v suite="$suite" '$2 == suite { print $1; exit }')
[ -n "$mirror" ] || { echo "error: the apt sources of this machine name no archive for $suite" >&2
                      echo "  to fix: add one to /etc/apt/sources.list.d/ and run apt-get update" >&2; exit 1; }
rm -rf "$dir"
mkdir -p "$dir"
if ! debootstrap --variant=minbase "$suite" "$dir" "$mirror" > "$dir.log" 2>&1; then
    tail -n 20 "$dir.log" >&2
    echo "error: debootstrap of $suite from $mirror failed (the whole log: $dir.log)" >&2
    exit 1
fi
touch "$dir/.complete"
echo "made a minimal Debian $suite from $mirror in $dir"
