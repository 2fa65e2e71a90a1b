#!/usr/bin/env bash
# Installs a built kavora-cli into a scratch folder of its build folder and
# checks what arrives: the program, its manual page and its bash completion,
# and nothing else; that the page renders without a warning from man; that
# the completion completes, without bash-completion's helpers and, where
# they are installed, with them.
#   tools/check-install.sh [BUILD]      (default build/native, already built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
fail() { echo "error: $1" >&2; [ -n "${2:-}" ] && echo "  to fix: $2" >&2; exit 1; }

build=${1:-build/native}
[ -f "$build/CMakeCache.txt" ] || fail "$build is not a configured build folder" "build it first, or name another"
build=$(cd "$build" && pwd)
for tool in cmake man bash; do
    command -v "$tool" >/dev/null || fail "$tool is not installed" "run tools/install-deps.sh as root"
done

scratch=$build/install-check
prefix=$scratch/prefix
rm -rf "$scratch"
mkdir -p "$scratch/files/sub"

cmake --install "$build" --prefix "$prefix" > "$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log" >&2; fail "cmake --install $build failed (its output is above)"; }
echo "install: ok cmake --install into $prefix"

expected=$'bin/kavora-cli\nshare/bash-completion/completions/kavora-cli\nshare/man/man8/kavora-cli.8'
found=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
if [ "$found" != "$expected" ]; then
    fail "cmake --install did not put exactly the three files in place:
$(LC_ALL=C comm -23 <(echo "$expected") <(echo "$found") | sed 's/^/  missing: /')
$(LC_ALL=C comm -13 <(echo "$expected") <(echo "$found") | sed 's/^/  not expected: /')" \
        "see the install() rules in cli/linux/files.cmake"
fi
[ -x "$prefix/bin/kavora-cli" ] || fail "the installed bin/kavora-cli is not executable"
version=$("$prefix/bin/kavora-cli" --version) || fail "the installed kavora-cli --version failed"
[[ $version == "kavora-cli "* ]] || fail "the installed kavora-cli --version said '$version'"
echo "install: ok exactly bin/kavora-cli (it runs: $version), share/man/man8/kavora-cli.8, share/bash-completion/completions/kavora-cli"

page=$prefix/share/man/man8/kavora-cli.8
env -u MAN_KEEP_FORMATTING MANWIDTH=80 MANPAGER=cat PAGER=cat LC_ALL=C.UTF-8 \
    man --warnings -E UTF-8 -l "$page" > "$scratch/page.txt" 2> "$scratch/man.err" ||
    { cat "$scratch/man.err" >&2; fail "man could not render $page"; }
[ ! -s "$scratch/man.err" ] ||
    { cat "$scratch/man.err" >&2; fail "man warned about the page (above)" "fix cli/kavora-cli.8.scd"; }
for text in "EXIT STATUS" "kavora-cli upgrade"; do
    grep -qF "$text" "$scratch/page.txt" || fail "the rendered page has no \"$text\"" "fix cli/kavora-cli.8.scd"
done
echo "install: ok the manual page renders without a warning, with its EXIT STATUS and synopsis"

completion=$prefix/share/bash-completion/completions/kavora-cli
bash -n "$completion" || fail "the completion file has a syntax error (above)"
echo "install: ok bash -n on the completion file"

# Image names in both cases, a file that is no image, and a folder.
touch "$scratch/files/fw.HEX" "$scratch/files/fw.bin" "$scratch/files/notes.txt"

# What the installed completion offers, sorted, when the cursor ends the
# words given (the last one is the word being completed). HELPERS names
# bash-completion's main file to load first, or is empty for the plain path.
offers() {
    (cd "$scratch/files" && bash --norc --noprofile -c '
        helpers=$1 completion=$2
        shift 2
        if [ -n "$helpers" ]; then
            source "$helpers"
        else
            unset -f _init_completion _filedir
        fi
        source "$completion"
        registration=$(complete -p kavora-cli) || exit 1
        fn=${registration#*-F }
        fn=${fn%% *}
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        COMPREPLY=()
        "$fn" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd " "' \
        _ "$helpers" "$completion" "$@")
}

expect() {
    local want=$1 got
    shift
    got=$(offers "$@") || fail "completing '$*' failed"
    [ "$got" = "$want" ] ||
        fail "completing '$*' ($how) offers '$got', not '$want'" "fix cli/kavora-cli.bash-completion"
}

check_completion() {
    expect "upgrade" kavora-cli up
    expect "--drive" kavora-cli check --dr
    expect "" kavora-cli list --dr
    expect "check info list upgrade" kavora-cli help ""
    expect "fw.HEX fw.bin sub" kavora-cli upgrade ""
    echo "install: ok completion ($how): commands, each command's options, help's commands, images and folders"
}

helpers=
how="without bash-completion's helpers"
check_completion
helpers=/usr/share/bash-completion/bash_completion
if [ -f "$helpers" ]; then
    how="with bash-completion's helpers"
    check_completion
else
    echo "install: skipped completion with bash-completion's helpers (the package bash-completion is not installed)"
fi
