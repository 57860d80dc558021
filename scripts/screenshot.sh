#!/bin/sh
# Takes a picture of the real options dialog on a private virtual display,
# then stops Wine and the display again, leaving nothing running.
#
#   scripts/screenshot.sh [-w SCREEN] BUILD_DIR OUTPUT.png
#
# BUILD_DIR is a built windows or windows64 tree. The program runs in an empty
# folder with the test display driver and a few modes, or with -w with Wine's
# own DirectDraw on a screen of that size, such as 800x600x16.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
screen=1024x768x24 own=""
if [ "${1:-}" = -w ]; then
    screen=$2 own=1
    shift 2
fi
[ $# = 2 ] || { echo "usage: screenshot.sh [-w SCREEN] BUILD_DIR OUTPUT.png" >&2; exit 2; }
build=$(cd "$1" && pwd)
output=$2
arch=x86_64
grep -q 'mingw-i686' "$build/CMakeCache.txt" && arch=i386
program=$build/tests/stub/taropts.exe
[ -z "$own" ] || program=$build/taropts.exe

work=$build/screenshot
wine_env() {
    sh "$root/scripts/wine-env" $arch "$work/wine" "$@"
}
trap 'wine_env stop' EXIT
rm -rf "$work/folder"
mkdir -p "$work/folder"
wine_env start "$screen" >/dev/null
display=:$(cat "$work/wine/display")
(cd "$work/folder" && TAROPTS_MODES="320x200x8 320x240x8 640x480x8 640x480x16 800x600x16" \
    WINEDLLOVERRIDES=ddraw=n,b wine_env run "$program" >/dev/null 2>&1 &)

# The dialog's X window: the host window of the same title stays at 0,0.
i=0
while ! window=$(xwininfo -display "$display" -root -tree 2>/dev/null |
    awk '/"Tarrowind Windows 95 Options"/ && !/x[0-9]+\+0\+0 / { print $1; exit }' | grep .); do
    i=$((i + 1))
    [ $i -lt 100 ] || { echo "screenshot.sh: the dialog did not come up" >&2; exit 1; }
    sleep 0.1
done
sleep 0.5 # for the lists to be filled and drawn
import -display "$display" -window "$window" "$output"
echo "screenshot.sh: $output ($arch, $([ -n "$own" ] && echo "Wine's own DirectDraw on $screen" || echo "the test display driver"))"
