#!/bin/sh
# Sets up the machine, builds both presets and runs every test: the portable
# code natively under the sanitizers, then the Win32 tests and the real
# taropts.exe under Wine on a private Xvfb display.
set -eu
cd "$(dirname "$0")/.."

scripts/setup.sh

status=0
for preset in native windows; do
    echo "== $preset"
    if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; then
        ctest --preset "$preset" || status=1
    else
        status=1
    fi
done
exit $status
