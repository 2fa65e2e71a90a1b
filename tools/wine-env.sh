# Sourced by the scripts that run Windows programs. It gives them:
#   kavora_check_wine32   whether this machine runs 32-bit programs: sets
#                         kavora_wine32 (yes or no) and kavora_wine32_why
#   kavora_start_display  one X display for the run: the user's, or an Xvfb
#                         (KAVORA_SCREEN sets its size, 1024x768x24 unless set)
#   kavora_use_wine ARCH  win32 or win64: that architecture's Wine loader and
#                         its own prefix in the build tree, created on first
#                         use, with one wineserver kept up for it
#   kavora_wine ARGS...   runs a program under the Wine chosen last
# Whatever this starts is stopped when the sourcing script exits.

kavora_root=${kavora_root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEDEBUG=-all
# No Mono or Gecko install prompts: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
kavora_wine32_loader=/usr/lib/wine/wine
kavora_wine64_loader=/usr/lib/wine/wine64
kavora_prefixes=()

kavora_cleanup() {
    local prefix
    for prefix in "${kavora_prefixes[@]}"; do
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
    done
    if [ -n "${kavora_xvfb_pid:-}" ]; then kill "$kavora_xvfb_pid" 2>/dev/null || true; fi
}
trap kavora_cleanup EXIT

# Says what failed and how to mend it, then ends the script.
kavora_fail() {
    echo "error: $1" >&2
    [ -n "${2:-}" ] && echo "  to fix: $2" >&2
    exit 1
}

kavora_wine() { "$KAVORA_WINE" "$@"; }

# Asked of Wine's 32-bit loader itself: its files install on every machine,
# also where the kernel cannot run them ("Exec format error"). KAVORA_WINE32
# set to yes or no forces the answer, to try the other kind of machine.
kavora_check_wine32() {
    local out
    case "${KAVORA_WINE32:-}" in
        yes) kavora_wine32=yes; kavora_wine32_why="forced by KAVORA_WINE32=yes"; return ;;
        no) kavora_wine32=no; kavora_wine32_why="forced by KAVORA_WINE32=no"; return ;;
    esac
    if [ ! -e "$kavora_wine32_loader" ]; then
        kavora_wine32=no
        kavora_wine32_why="Wine's 32-bit loader is not installed (package wine32:i386)"
    elif out=$("$kavora_wine32_loader" --version 2>&1); then
        kavora_wine32=yes
        kavora_wine32_why="this machine runs 32-bit programs ($out)"
    else
        kavora_wine32=no
        out=$(echo "$out" | tail -n 1)
        kavora_wine32_why="this machine cannot run 32-bit programs: $kavora_wine32_loader says \"${out##*: }\""
    fi
}

kavora_start_display() {
    if [ -n "${DISPLAY:-}" ] && [ -z "${KAVORA_HEADLESS:-}" ]; then
        return
    fi
    local n
    for n in $(seq 90 120); do
        { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
        Xvfb ":$n" -screen 0 "${KAVORA_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
        kavora_xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        break
    done
    [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] ||
        kavora_fail "no X display could be started (Xvfb)" "install xvfb (tools/install-deps.sh)"
    export KAVORA_HEADLESS=1
}

kavora_use_wine() {
    local arch=$1
    case $arch in
        win32) KAVORA_WINE=$kavora_wine32_loader ;;
        win64) KAVORA_WINE=$kavora_wine64_loader ;;
        *) kavora_fail "unknown Wine architecture: $arch" ;;
    esac
    [ -x "$KAVORA_WINE" ] ||
        kavora_fail "$KAVORA_WINE is missing" "install Wine (tools/install-deps.sh)"
    export KAVORA_WINE WINELOADER=$KAVORA_WINE WINEARCH=$arch
    export WINEPREFIX=${KAVORA_WINEPREFIX_BASE:-$kavora_root/build/wineprefix}-$arch
    kavora_prefixes+=("$WINEPREFIX")

    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the $arch Wine prefix in $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        kavora_wine wineboot.exe -i >/dev/null 2>&1 || true
        wineserver -w
        [ -f "$WINEPREFIX/system.reg" ] ||
            kavora_fail "Wine could not create the $arch prefix in $WINEPREFIX" \
                        "remove that folder and run again; '$KAVORA_WINE wineboot.exe -i' shows why"
        # A crash must fail the test, not wait for someone to close a dialog.
        kavora_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        # Xvfb has no window manager: unmanaged windows close at once instead of
        # waiting for one to answer.
        kavora_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        # The warning dialog's face, by a font with the same metrics.
        kavora_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Times New Roman" /d "Liberation Serif" /f >/dev/null 2>&1
        wineserver -w
    fi
    # Keep one wineserver for the prefix, and start Wine's own background
    # processes now with nothing attached: started by a test instead, they
    # would inherit its output pipe and hold it open after the test has ended.
    wineserver -p >/dev/null 2>&1 || true
    kavora_wine wineboot.exe >/dev/null 2>&1 </dev/null || true
}
