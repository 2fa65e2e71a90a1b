# Sourced by the scripts: one Wine prefix in the build tree, one X display
# (the user's, or an Xvfb of our own), one wineserver kept up for the run.
# Whatever this starts is stopped when the sourcing script exits.

kavora_root=${kavora_root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${KAVORA_WINEPREFIX:-$kavora_root/build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko install prompts: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

kavora_cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${kavora_xvfb_pid:-}" ]; then kill "$kavora_xvfb_pid" 2>/dev/null || true; fi
}
trap kavora_cleanup EXIT

if [ -z "${DISPLAY:-}" ] || [ -n "${KAVORA_HEADLESS:-}" ]; then
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        kavora_xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        break
    done
    export KAVORA_HEADLESS=1
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix in $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # A crash must fail the test, not wait for someone to close a dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Xvfb has no window manager: unmanaged windows close at once instead of
    # waiting for one to answer.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # The warning dialog's face, by a font with the same metrics.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Times New Roman" /d "Liberation Serif" /f >/dev/null 2>&1
    wineserver -w
fi
# Keep one wineserver for the whole run, and start Wine's own background
# processes now with nothing attached: started by a test instead, they would
# inherit its output pipe and hold it open after the test has ended.
wineserver -p >/dev/null 2>&1 || true
wineboot >/dev/null 2>&1 </dev/null || true
