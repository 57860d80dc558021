#!/bin/sh
# Installs what the build and the tests need on a Debian or Ubuntu machine:
# the MinGW-w64 cross compilers for i686 (the product) and x86-64 (its test
# twin), 64-bit and 32-bit Wine with the X and GL libraries their display
# driver loads (without XRandR, Wine's DirectDraw reports fewer modes), Xvfb,
# xwininfo and ImageMagick for pictures, and clang with the fuzzer runtime of
# its own version. Quick when everything is there.
set -eu

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

# The libraries Wine's X11 and OpenGL parts open at run time, for one architecture.
x_libraries() {
    for lib in libxrandr2 libxinerama1 libxcursor1 libxi6 libxcomposite1 libxrender1 \
        libxxf86vm1 libgl1 libglx-mesa0 libgl1-mesa-dri; do
        echo "$lib$1"
    done
}

# The fuzzer runtime of the installed clang's major version; none before
# clang is installed.
clang_runtime() {
    dpkg-query -W -f='${Status}|${Depends}\n' clang 2>/dev/null |
        sed -n 's/^.* ok installed|clang-\([0-9][0-9]*\).*/libclang-rt-\1-dev/p'
}

# Those of the named packages that are not installed, in one query of dpkg,
# so that a machine with everything is done at once.
not_installed() {
    dpkg-query -W -f='${binary:Package} ${Status}\n' "$@" 2>/dev/null |
        awk -v native=":$(dpkg --print-architecture)" -v wanted="$*" '
            / ok installed$/ { sub(native "$", "", $1); ok[$1] = 1 }
            END { n = split(wanted, w, " "); for (i = 1; i <= n; i++) if (!(w[i] in ok)) printf " %s", w[i] }'
}

missing=$(not_installed cmake g++ make clang-format clang $(clang_runtime) xvfb x11-utils \
    imagemagick zip g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev wine64 $(x_libraries "") \
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
    mingw-w64-i686-dev wine wine32:i386 $(x_libraries :i386))

if [ "$need_i386" = 0 ] && [ -z "$missing" ]; then
    exit 0
fi

SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
echo "setup: installing$missing"
[ "$need_i386" = 0 ] || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
# A clang installed just now names its runtime only now.
runtime=$(clang_runtime)
if [ -n "$runtime" ] && [ -n "$(not_installed "$runtime")" ]; then
    echo "setup: installing $runtime"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$runtime"
fi
