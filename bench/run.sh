#!/bin/sh
# Measures taropts.exe and prints the figures of one run: its size, its start
# and end under Wine against a floor program that does only the unavoidable
# work, its peak memory, where its own code allocates, and the loader and
# saver natively on the largest file the program accepts.
#
#   bench/run.sh [RUNS]     RUNS alternating runs of each program, default 40
#
# Builds in build/c-windows and build/c-native (optimised, no sanitizers) and
# runs under its own Wine prefix and Xvfb in build/c-windows/bench/wine.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

runs=${1:-40}
case $runs in
'' | *[!0-9]*)
    echo "usage: bench/run.sh [RUNS]" >&2
    exit 2
    ;;
esac

windows=build/c-windows
native=build/c-native
stage=$windows/bench/stage
wine_dir=$windows/bench/wine
SIZE_LIMIT=32768

scripts/setup.sh

log=$(mktemp)
build() {
    if ! "$@" >>"$log" 2>&1; then
        cat "$log" >&2
        echo "bench: failed: $*" >&2
        exit 1
    fi
}
build cmake --preset windows -B "$windows" -DTAROPTS_BENCH=ON
build cmake --build "$windows" -j2 --target taropts floor floor_options measure ddraw_stub
build cmake --preset native -B "$native" -DTAROPTS_BENCH=ON -DTAROPTS_SANITIZE=OFF \
    -DCMAKE_BUILD_TYPE=Release
build cmake --build "$native" -j2 --target cfg_bench
rm -f "$log"

rm -rf "$stage"
mkdir -p "$stage"
cp "$windows/taropts.exe" "$windows/bench/floor.exe" "$windows/bench/floor_options.exe" \
    "$windows/bench/measure.exe" "$windows/tests/ddraw_stub/ddraw.dll" "$stage/"

trap 'sh "$root/scripts/wine-env" "$root/$wine_dir" stop' EXIT
trap 'exit 130' INT TERM
sh scripts/wine-env "$wine_dir" start >/dev/null

revision=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
git diff --quiet HEAD 2>/dev/null || revision="$revision with uncommitted changes"
echo "taropts $(date -u '+%Y-%m-%d %H:%M UTC'), revision $revision"
echo "$(nproc) cores,$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2), $(wine --version)," \
    "Xvfb 1024x768x24, load average $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "== File size (limit $SIZE_LIMIT bytes)"
for exe in taropts.exe floor.exe floor_options.exe; do
    size=$(wc -c <"$stage/$exe")
    printf '%-18s %6d bytes  %5.1f KiB' "$exe" "$size" "$(awk "BEGIN { print $size / 1024 }")"
    if [ "$exe" = taropts.exe ]; then
        if [ "$size" -le $SIZE_LIMIT ]; then
            printf '  within the limit'
        else
            printf '  OVER THE LIMIT'
        fi
    fi
    echo
done

echo
echo "== Start, end and memory under Wine (test ddraw.dll, its 24 typical modes)"
echo "floor.exe: window, DirectDraw object, cooperative level, enumeration, empty dialog"
echo "floor_options: the same with taropts.exe's own dialog template, lists left empty"
(
    cd "$stage"
    unset TAROPTS_TEST_MODES TAROPTS_TEST_FAIL TAROPTS_TEST_LOG
    WINEDLLOVERRIDES=ddraw=n,b sh "$root/scripts/wine-env" "$root/$wine_dir" run measure.exe "$runs"
)

echo
echo "== Heap allocation in the program's own code"
objects=$(find "$windows/CMakeFiles/taropts.dir" "$windows/CMakeFiles/taropts_program.dir" \
    "$windows/CMakeFiles/taropts_settings.dir" -name '*.obj' | sort)
ALLOCATORS='^_+(malloc|calloc|realloc|strdup|Znwj|Znaj)$|(HeapAlloc|HeapReAlloc|LocalAlloc|GlobalAlloc|VirtualAlloc)@'
callers=0
for object in $objects; do
    found=$(i686-w64-mingw32-nm -u "$object" | awk '{ print $2 }' | grep -E "$ALLOCATORS" |
        sed -e 's/^__imp_//' -e 's/^_*//' -e 's/@.*//' | tr '\n' ' ' || true)
    if [ -n "$found" ]; then
        echo "${object#"$windows/CMakeFiles/"}: $found"
        callers=$((callers + 1))
    fi
done
echo "($callers of $(echo "$objects" | wc -l) objects of the program call an allocator)"
imports=$(i686-w64-mingw32-objdump -p "$stage/taropts.exe" |
    awk '/DLL Name:/ { dll = $3 } /^\t[0-9a-f]+\t/ { print dll "!" $3 }' |
    grep -E '!(malloc|calloc|realloc|_?strdup|HeapAlloc|HeapReAlloc|LocalAlloc|GlobalAlloc|VirtualAlloc)$' |
    tr '\n' ' ')
echo "allocators that taropts.exe imports: $imports"
echo "(whatever the objects above do not call is the MinGW start-up code's)"

echo
echo "== Loader and saver, natively, on the largest accepted file"
echo "(2 own lines and 50 kept lines of 254 bytes; a load also frees its 50 copies"
echo "for the next round; allocs/op counts the calls in the program's and the bench's code)"
"$native/bench/cfg_bench" --benchmark_min_time=1 2>/dev/null
