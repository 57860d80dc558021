#!/bin/sh
# Prints the figures of taropts.exe: the size of the i386 exe; its start, end
# and memory under Wine beside the floor programs, each run by the end-to-end
# test driver; where its own code allocates; and the loader and saver
# natively on the largest file the program accepts.
#
#   bench/run.sh [RUNS]     RUNS alternating runs of each program, default 30
#
# Times the i386 build under 32-bit Wine, or the 64-bit twin where this host
# runs only 64-bit Windows code (TAROPTS_I386=0 forces that). Builds in
# build/bench-windows, build/bench-windows64 and build/bench-native, and runs
# under a Wine prefix and Xvfb display of its own that it stops again.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

runs=${1:-30}
case $runs in
'' | *[!0-9]* | 0)
    echo "usage: bench/run.sh [RUNS]" >&2
    exit 2
    ;;
esac
SIZE_LIMIT=32768
PROGRAMS="taropts floor floor_bare"

sh scripts/setup.sh
preset=windows arch=i386
if ! sh scripts/wine-env probe; then
    preset=windows64 arch=x86_64
fi
build=$root/build/bench-$preset
work=$build/bench/work
native=$root/build/bench-native

log=$(mktemp)
quiet() {
    "$@" >>"$log" 2>&1 || {
        cat "$log" >&2
        echo "bench: failed: $*" >&2
        exit 1
    }
}
quiet cmake --preset windows -B build/bench-windows -DTAROPTS_BENCH=ON
quiet cmake --build build/bench-windows -j2 --target taropts
if [ $preset = windows64 ]; then
    quiet cmake --preset windows64 -B "$build" -DTAROPTS_BENCH=ON
fi
quiet cmake --build "$build" -j2 --target taropts driver floor floor_bare

# Google Benchmark for the native part, installed as scripts/setup.sh would.
have_benchmark() {
    dpkg-query -W -f='${Status}\n' libbenchmark-dev 2>/dev/null | grep -q "ok installed"
}
if ! have_benchmark; then
    sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    { $sudo apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q \
        --no-install-recommends libbenchmark-dev; } >>"$log" 2>&1 || true
fi
cfg_bench=""
if have_benchmark; then
    quiet cmake -B "$native" -DTAROPTS_BENCH=ON -DCMAKE_BUILD_TYPE=Release
    quiet cmake --build "$native" -j2 --target cfg_bench
    cfg_bench=$native/bench/cfg_bench
fi
rm -f "$log"

# All programs side by side with the test display driver, so that all see
# the same modes.
rm -rf "$work"
mkdir -p "$work/stage"
cp "$build/taropts.exe" "$build/bench/floor.exe" "$build/bench/floor_bare.exe" \
    "$build/tests/stub/ddraw.dll" "$work/stage/"
wine_env="sh $root/scripts/wine-env $arch $build/bench/wine"
trap '$wine_env stop' EXIT
trap 'exit 130' INT TERM
$wine_env start >/dev/null

revision=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
git diff --quiet HEAD 2>/dev/null || revision="$revision with uncommitted changes"
echo "taropts $(date -u '+%Y-%m-%d %H:%M UTC'), revision $revision"
echo "$(nproc) cores,$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)," \
    "$($wine_env run --version), load average $(cut -d' ' -f1-3 /proc/loadavg)"

echo
size=$(wc -c <build/bench-windows/taropts.exe)
verdict="within the limit"
[ "$size" -le $SIZE_LIMIT ] || verdict="OVER THE LIMIT"
echo "== Size of the i386 taropts.exe: $size bytes ($(awk "BEGIN { printf \"%.1f\", $size / 1024 }")" \
    "KiB), $verdict of $SIZE_LIMIT bytes"

# One run of the bench scenario; leaves "READY-MS PEAK-KIB END-MS FAILED-CHECKS..."
# in $work/row. A run without a dialog ends the bench.
run() {
    WINEDLLOVERRIDES=ddraw=n,b TAROPTS_PROGRAM=$work/stage/$1.exe sh tests/scenario.sh \
        bench/scenario.txt bench "$work/run" "$build/tests/driver.exe" $wine_env run \
        >"$work/out" 2>&1 || true
    if ! grep -q '^ready ' "$work/out"; then
        cat "$work/out" >&2
        echo "bench: $1.exe never showed its dialog" >&2
        exit 1
    fi
    tr -d '\r' <"$work/out" | awk '/^ready / { ready = $2; peak = $6 } /^end / { end = $2 }
        /^[^ ].*:$/ { failed = failed (failed ? ", " : "") substr($0, 1, length($0) - 1) }
        END { print ready, peak, end, failed }' >"$work/row"
}

echo
echo "== Under Wine ($arch), test display driver with its typical modes, bench/scenario.txt"
[ $arch = i386 ] || echo "(the 64-bit twin: scripts/wine-env probe found no 32-bit Windows support)"
echo "floor.exe: every platform call of taropts.exe, the same lists as fixed text, no tarro.cfg"
echo "floor_bare.exe: the same with both lists left empty"
# One round first, not counted: it starts Wine's desktop, and shows which of
# the driver's checks each program fails.
for program in $PROGRAMS; do
    run "$program"
    failed=$(cut -d' ' -f4- "$work/row")
    echo "$program.exe: ${failed:+checks failed: }${failed:-every check passed}"
done
: >"$work/results"
i=0
while [ $i -lt "$runs" ]; do
    for program in $PROGRAMS; do
        run "$program"
        echo "$program $(cut -d' ' -f1-3 "$work/row")" >>"$work/results"
    done
    i=$((i + 1))
done

# Median and range of one column for one program.
summary() {
    awk -v p="$1" -v c="$2" '$1 == p { print $c }' "$work/results" | sort -n |
        awk '{ v[NR] = $1 }
            END { m = (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2; print m, v[1] "-" v[NR] }'
}
echo
echo "Medians of $runs alternating runs (lowest-highest):"
printf '%-16s %-22s %-7s %-18s %s\n' "" "start to ready" ratio "OK to end" "peak memory"
floor=$(summary floor 2 | cut -d' ' -f1)
for program in $PROGRAMS; do
    set -- $(summary "$program" 2) $(summary "$program" 4) $(summary "$program" 3)
    ratio=$(awk "BEGIN { printf \"%.3f\", $1 / $floor }")
    printf '%-16s %6s ms %-12s %-7s %5s ms %-9s %6.0f KiB %s\n' "$program.exe" \
        "$1" "($2)" "$ratio" "$3" "($4)" "$5" "($6)"
done

echo
echo "== Heap allocation in the program's own code (calls in the i386 objects)"
objects=$(find build/bench-windows/CMakeFiles/taropts.dir \
    build/bench-windows/CMakeFiles/taropts_settings.dir -name '*.obj' | sort)
for object in $objects; do
    found=$(i686-w64-mingw32-nm -u "$object" | awk '{ print $2 }' |
        sed -e 's/^__imp_//' -e 's/^_*//' -e 's/@.*//' |
        grep -xE 'malloc|calloc|realloc|strdup|Znwj|Znaj|(Heap|Local|Global|Virtual)(Re)?Alloc' |
        paste -s -d ' ' -)
    [ -z "$found" ] || echo "${object#build/bench-windows/CMakeFiles/}: $found"
done
echo "no other of its $(echo "$objects" | wc -l) objects calls an allocator"

echo
echo "== Loader and saver, natively, on the largest accepted file"
if [ -z "$cfg_bench" ]; then
    echo "skipped: libbenchmark-dev is not installed and could not be"
else
    echo "(2 own lines and 50 kept lines of 254 bytes; a load also frees its 50 copies"
    echo "for the next round; allocs/op counts the calls in the program's and the bench's code)"
    "$cfg_bench" --benchmark_min_time=0.5 2>/dev/null
fi
