#!/bin/sh
# Prints the size of the i386 taropts.exe, and its start and end under
# Wine beside the floor program, both started and timed by the test driver.
#
#   bench/run.sh [RUNS]     RUNS alternating runs of each program, default 30
#
# Times the i386 build under 32-bit Wine, or the 64-bit twin where this host
# runs only 64-bit Windows code (TAROPTS_I386=0 forces that). Builds in
# build/bench-windows (and build/bench-windows64), and runs under a Wine
# prefix and Xvfb display of its own that it stops again.
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
PROGRAMS="taropts floor"
# The test table's run that is timed: a tarro.cfg that selects an entry in
# each list, and OK, which writes it back.
SCENARIO="a stored choice shows in the full lists and is written back as it was"

sh scripts/setup.sh
preset=windows arch=i386
sh scripts/wine-env probe || preset=windows64 arch=x86_64
build=$root/build/bench-$preset
work=$build/bench/work

log=$(mktemp)
quiet() {
    "$@" >>"$log" 2>&1 || {
        cat "$log" >&2
        rm -f "$log"
        echo "bench: failed: $*" >&2
        exit 1
    }
}
quiet cmake --preset windows -B build/bench-windows -DTAROPTS_BENCH=ON
quiet cmake --build build/bench-windows -j2 --target taropts
[ $preset = windows ] || quiet cmake --preset windows64 -B "$build" -DTAROPTS_BENCH=ON
quiet cmake --build "$build" -j2 --target taropts driver floor
rm -f "$log"

# Both programs side by side with the test display driver, so that both see
# the same modes.
rm -rf "$work"
mkdir -p "$work/stage"
cp "$build/taropts.exe" "$build/bench/floor.exe" "$build/tests/stub/ddraw.dll" "$work/stage/"
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

# One run of the scenario; leaves "READY-MS END-MS FAILED-CHECKS..."
# in $work/row. A run without a dialog ends the bench.
run() {
    WINEDLLOVERRIDES=ddraw=n,b TAROPTS_PROGRAM=$work/stage/$1.exe sh tests/scenario.sh \
        tests/scenarios.txt "$SCENARIO" "$work/run" "$build/tests/driver.exe" $wine_env run \
        >"$work/out" 2>&1 || true
    if ! grep -q '^ready ' "$work/out"; then
        cat "$work/out" >&2
        echo "bench: $1.exe never showed its dialog" >&2
        exit 1
    fi
    tr -d '\r' <"$work/out" | awk '/^ready / { ready = $2 } /^end / { end = $2 }
        /^[^ ].*:$/ { failed = failed (failed ? ", " : "") substr($0, 1, length($0) - 1) }
        END { print ready, end, failed }' >"$work/row"
}

echo
echo "== Under Wine ($arch), test display driver with its typical modes, scenario \"$SCENARIO\""
[ $arch = i386 ] || echo "(the 64-bit twin: scripts/wine-env probe says this host runs no 32-bit code)"
echo "floor.exe: every platform call of taropts.exe, the same lists as fixed text, no tarro.cfg"
# One round first, not counted: it starts Wine's desktop, and shows which of
# the driver's checks each program fails.
for program in $PROGRAMS; do
    run "$program"
    failed=$(cut -d' ' -f3- "$work/row")
    echo "$program.exe: ${failed:+checks failed: }${failed:-every check passed}"
done
: >"$work/results"
i=0
while [ $i -lt "$runs" ]; do
    for program in $PROGRAMS; do
        run "$program"
        echo "$program $(cut -d' ' -f1-2 "$work/row")" >>"$work/results"
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
printf '%-16s %-22s %-7s %s\n' "" "start to ready" ratio "OK to end"
floor=$(summary floor 2 | cut -d' ' -f1)
for program in $PROGRAMS; do
    set -- $(summary "$program" 2) $(summary "$program" 3)
    ratio=$(awk "BEGIN { printf \"%.3f\", $1 / $floor }")
    printf '%-16s %6s ms %-12s %-7s %5s ms %s\n' "$program.exe" "$1" "($2)" "$ratio" "$3" "($4)"
done
