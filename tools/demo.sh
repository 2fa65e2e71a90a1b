#!/usr/bin/env bash
# The main job: builds the demo program and upgrades its virtual drive through
# the real dialog under Wine, with the sample firmware in examples/. It runs
# the 32-bit demo where this machine runs 32-bit programs, the 64-bit one
# otherwise, and says which.
# With a display the window opens and you press Upgrade yourself; without one
# (or with --auto) the program drives itself under Xvfb, prints the log, saves
# a picture of the finished dialog and fails unless the upgrade succeeded.
# --dpi shows it at another scale (Wine's LogPixels: 96 is 100 %, 192 200 %).
# --high-contrast shows it in High Contrast Black: the palette goes into the
# prefix for the run (without Wine's visual theme, which would paint over
# it), and since Wine never reports a high-contrast theme, the demo is told
# to take one as on (its --high-contrast; the product asks the system).
#   tools/demo.sh [--auto] [--family nt5|nt4|9x] [--machine FILE] [--dpi N] [--high-contrast]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
auto=""; family=""; machine=""; dpi=96; contrast=""
usage="usage: tools/demo.sh [--auto] [--family nt5|nt4|9x] [--machine FILE] [--dpi N] [--high-contrast]"
while [ $# -gt 0 ]; do
    case "$1" in
        --family|--machine|--dpi) [ $# -ge 2 ] || { echo "$1 needs a value; $usage" >&2; exit 2; } ;;
    esac
    case "$1" in
        --auto) auto=1 ;;
        --family) family=$2; shift ;;
        --machine) machine=$2; shift ;;
        --dpi) dpi=$2; shift ;;
        --high-contrast) contrast=1 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
    shift
done

step="installing what the demo needs"
trap 'echo "error: tools/demo.sh failed while $step (exit $?)" >&2' ERR
tools/install-deps.sh

kavora_root=$root
source tools/wine-env.sh
kavora_check_wine32
if [ "$kavora_wine32" = yes ]; then
    arch=win32
    echo "demo: the 32-bit build under 32-bit Wine ($kavora_wine32_why)"
else
    arch=win64
    echo "demo: the 64-bit build under 64-bit Wine ($kavora_wine32_why)"
fi
step="building the $arch demo program"
tools/build-win.sh "$arch" --target kavora_demo
step="starting Wine"
[ -z "${DISPLAY:-}" ] && auto=1
[ -n "$auto" ] && export KAVORA_HEADLESS=1
kavora_start_display
kavora_use_wine "$arch"
step="running the demo"

# The demo pretends to be the chosen system family (Wine's per-program version).
key='HKCU\Software\Wine\AppDefaults\kavora_demo.exe'
case "$family" in
    "") kavora_wine reg delete "$key" /v Version /f >/dev/null 2>&1 || true ;;
    nt5) kavora_wine reg add "$key" /v Version /d winxp /f >/dev/null ;;
    nt4) kavora_wine reg add "$key" /v Version /d nt40 /f >/dev/null ;;
    9x) kavora_wine reg add "$key" /v Version /d win98 /f >/dev/null ;;
    *) echo "unknown family: $family" >&2; exit 2 ;;
esac

case "$dpi" in
    ''|*[!0-9]*) echo "--dpi takes a number of dots per inch, such as 96, 144 or 192" >&2; exit 2 ;;
esac
# The prefix is the tests' too, and they expect 100 %: the scale is put back
# when the demo ends.
set_dpi() { kavora_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null; }
set_dpi "$dpi"

# A High Contrast Black palette: white text on black faces, cyan selection,
# green disabled text.
colours_key='HKCU\Control Panel\Colors'
theme_key='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
high_contrast_black=(
    ActiveBorder="255 255 0" ActiveTitle="128 0 128" AppWorkSpace="0 0 0" Background="0 0 0"
    ButtonAlternateFace="192 192 192" ButtonDkShadow="255 255 255" ButtonFace="0 0 0"
    ButtonHilight="255 255 255" ButtonLight="255 255 255" ButtonShadow="128 128 128"
    ButtonText="255 255 255" GradientActiveTitle="128 0 128" GradientInactiveTitle="0 128 0"
    GrayText="63 242 63" Hilight="26 235 255" HilightText="0 0 0" HotTrackingColor="255 255 0"
    InactiveBorder="0 128 0" InactiveTitle="0 128 0" InactiveTitleText="255 255 255"
    InfoText="255 255 255" InfoWindow="0 0 0" Menu="0 0 0" MenuBar="0 0 0" MenuHilight="26 235 255"
    MenuText="255 255 255" Scrollbar="0 0 0" TitleText="255 255 255" Window="0 0 0"
    WindowFrame="255 255 255" WindowText="255 255 255"
)
saved_look=""
theme_saved=""
# The prefix is the tests' too: the user's colours and theme are put back
# when the demo ends, as the scale is.
restore_look() {
    [ -n "$saved_look" ] || return 0
    kavora_wine reg delete "$colours_key" /f >/dev/null 2>&1 || true
    kavora_wine reg import "$(kavora_wine winepath -w "$saved_look/colours.reg" 2>/dev/null)" >/dev/null 2>&1 || true
    if [ -n "$theme_saved" ]; then
        kavora_wine reg import "$(kavora_wine winepath -w "$saved_look/theme.reg")" >/dev/null 2>&1 || true
    else
        kavora_wine reg delete "$theme_key" /v ThemeActive /f >/dev/null 2>&1 || true
    fi
    rm -rf "$saved_look"
    saved_look=""
}
if [ -n "$contrast" ]; then
    saved_look=$(mktemp -d)
    kavora_wine reg export "$colours_key" "$(kavora_wine winepath -w "$saved_look/colours.reg")" /y >/dev/null
    kavora_wine reg export "$theme_key" "$(kavora_wine winepath -w "$saved_look/theme.reg")" /y >/dev/null 2>&1 &&
        theme_saved=1
    # Put back even when the run stops half-way, before Wine is stopped.
    trap 'restore_look; kavora_cleanup' EXIT
    for entry in "${high_contrast_black[@]}"; do
        kavora_wine reg add "$colours_key" /v "${entry%%=*}" /d "${entry#*=}" /f >/dev/null
    done
    kavora_wine reg add "$theme_key" /v ThemeActive /d 0 /f >/dev/null
fi

run=build/demo-run${family:+-$family}
[ "$dpi" = 96 ] || run=$run-${dpi}dpi
[ -z "$contrast" ] || run=$run-hc-black
rm -rf "$run"; mkdir -p "$run"
cp examples/IDString.txt examples/KV110.hex examples/KV110.bin "$run"/
[ -n "$machine" ] && cp "$machine" "$run/machine.txt"
cp "build/$arch/kavora_demo.exe" "$run"/

cd "$run"
trap - ERR
demo_args=()
[ -z "$contrast" ] || demo_args+=(--high-contrast)
if [ -z "$auto" ]; then
    kavora_wine kavora_demo.exe "${demo_args[@]}"
    set_dpi 96
    restore_look
    exit 0
fi
status=0
kavora_wine kavora_demo.exe --auto --log demo-log.txt --screenshot demo.bmp --warning-shot warning.bmp \
    "${demo_args[@]}" || status=$?
set_dpi 96
restore_look
echo "== log of the run"
tr -d '\r' < demo-log.txt 2>/dev/null || echo "(no log written)"
for picture in demo warning; do
    [ -f $picture.bmp ] && convert $picture.bmp $picture.png && echo "picture: $run/$picture.png"
done
[ -f sum.txt ] && echo "diagnostics: $run/sum.txt"
if [ $status -eq 0 ]; then
    echo "upgrade finished ($arch demo): \"Please Restart Your Computer.\", and the drive reports its new revision"
else
    echo "error: the $arch demo's upgrade did not succeed (exit $status); the log above says where it stopped" >&2
fi
exit $status
