#!/bin/sh
# Sets the machine up, builds taropts.exe and runs it under Wine in the
# current folder, where it reads and writes tarro.cfg. Where this host does
# not run 32-bit code it builds and runs the 64-bit twin instead.
#
# With a display ($DISPLAY set) the dialog comes up there with Wine's own
# DirectDraw. Without one it comes up on a virtual display with the test
# display driver, is saved as a picture and ended with Cancel.
set -eu
here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)

sh "$root/scripts/setup.sh"
preset=windows arch=i386
if ! sh "$root/scripts/wine-env" probe; then
    preset=windows64 arch=x86_64
    echo "run.sh: this host does not run 32-bit code; running the 64-bit twin of taropts.exe"
fi
(cd "$root" && cmake --preset $preset >/dev/null && cmake --build --preset $preset >/dev/null)
build=$root/build/$preset

if [ -z "${DISPLAY:-}" ]; then
    echo "run.sh: no display; showing the dialog on a virtual one"
    exec sh "$root/scripts/screenshot.sh" "$build" "$build/dialog.png"
fi
cd "$here"
exec sh "$root/scripts/wine-env" $arch "$build/run" open "$build/taropts.exe"
