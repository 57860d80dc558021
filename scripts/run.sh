#!/bin/sh
# Sets the machine up, builds taropts.exe (the windows preset, in
# build/windows) and runs it under Wine in the current folder, where it reads
# and writes tarro.cfg.
#
# With a display ($DISPLAY set) the dialog comes up there, in a private Wine
# prefix kept in the build tree, with the system's DirectDraw. Without one it
# runs on a virtual display with the test display driver, saves a picture of
# the dialog, ends it with Cancel and leaves nothing running.
set -eu

here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/windows

sh "$root/scripts/setup.sh"
(cd "$root" && cmake --preset windows >/dev/null && cmake --build --preset windows)

if [ -z "${DISPLAY:-}" ]; then
    echo "run.sh: no display; running on a virtual one"
    exec sh "$root/scripts/screenshot.sh" -b "$build" -C "$here" "$build/dialog.png"
fi

export WINEPREFIX="$build/run-prefix"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "run.sh: creating the Wine prefix $WINEPREFIX"
    WINEDLLOVERRIDES="mscoree=d;mshtml=d" wineboot -i >/dev/null 2>&1
    wineserver -w
fi
cd "$here"
exec wine "$build/taropts.exe"
