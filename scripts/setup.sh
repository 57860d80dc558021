#!/bin/sh
# Installs what the build and the tests need on a Debian or Ubuntu machine:
# the i686 MinGW-w64 cross compiler (posix threads, for GoogleTest), Wine with
# its 32-bit part, Xvfb, ImageMagick for screenshots, clang with its fuzzer
# runtime, Google Benchmark, and the usual native tools. Quick when everything
# is there.
set -eu

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

missing=""
for pkg in cmake g++ make googletest clang-format \
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
    mingw-w64-i686-dev wine wine32:i386 xvfb x11-utils imagemagick \
    clang libclang-rt-14-dev zip libbenchmark-dev; do
    dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q "ok installed" ||
        missing="$missing $pkg"
done

if [ "$need_i386" = 0 ] && [ -z "$missing" ]; then
    exit 0
fi

SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
echo "setup: installing$missing"
[ "$need_i386" = 0 ] || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
