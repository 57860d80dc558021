#!/bin/sh
# Fuzzes the configuration file loader and saver with libFuzzer.
#
#   scripts/fuzz.sh [SECONDS]            build, fuzz for SECONDS (60), fail on any finding
#   scripts/fuzz.sh --record [SECONDS]   the same, and add the run to tests/fuzz/runs.tsv
#   scripts/fuzz.sh --table              write docs/robustness.md from tests/fuzz/runs.tsv
#                                        and the fault tests' last results
#
# TAROPTS_FUZZ_BUILD is the build folder (build/fuzz, the fuzz preset's). The
# corpus grows there, seeded from tests/fuzz/corpus; an input that makes a
# check fail, crash, leak or hang is kept under artifacts/ there.
# TAROPTS_NATIVE_BUILD and TAROPTS_WINDOWS_BUILD (build/native, build/windows)
# are where --table looks for the fault tests' results.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

record=0
case ${1:-} in
--table)
    exec sh tests/faults/write-table.sh "${TAROPTS_NATIVE_BUILD:-build/native}" \
        "${TAROPTS_WINDOWS_BUILD:-build/windows}" tests/fuzz/runs.tsv docs/robustness.md
    ;;
--record)
    record=1
    shift
    ;;
esac
seconds=${1:-60}

build=${TAROPTS_FUZZ_BUILD:-build/fuzz}
mkdir -p "$build"
build=$(cd "$build" && pwd)
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target cfg_fuzz -j2 >/dev/null

corpus=$build/corpus
artifacts=$build/artifacts
mkdir -p "$corpus" "$artifacts"
rm -f "$build/fuzz-stats.txt"
before=$(ls "$artifacts" | wc -l)

# The target's many small writes go to memory when /dev/shm is there; a
# finding can leave its scratch folder behind, so it goes with this one.
parent=$build
[ -d /dev/shm ] && [ -w /dev/shm ] && parent=/dev/shm
tmp=$(mktemp -d "$parent/taropts-fuzz.XXXXXX")
echo "fuzz: ${seconds} s, corpus $corpus"
status=0
start=$(date +%s)
TMPDIR=$tmp TAROPTS_FUZZ_STATS=$build/fuzz-stats.txt "$build/tests/fuzz/cfg_fuzz" \
    -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -dict="$root/tests/fuzz/cfg.dict" -artifact_prefix="$artifacts/" \
    "$corpus" "$root/tests/fuzz/corpus" >"$build/fuzz.log" 2>&1 || status=$?

elapsed=$(($(date +%s) - start))
rm -rf "$tmp"
executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz.log")
new_units=$(sed -n 's/^stat::new_units_added: *//p' "$build/fuzz.log")
# libFuzzer's own count: the inputs it keeps for the coverage they add.
corpus_size=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' "$build/fuzz.log" | tail -n 1)
after=$(ls "$artifacts" | wc -l)
findings=$((after - before))
if [ "$status" != 0 ] || [ "$findings" != 0 ]; then
    [ "$findings" != 0 ] || findings=1
    tail -n 60 "$build/fuzz.log"
    for file in $(ls -t "$artifacts" | head -n 3); do
        echo "fuzz: finding $artifacts/$file:"
        od -A d -c "$artifacts/$file" | head -n 20
    done
fi
echo "fuzz: ${executions:-0} executions, corpus ${corpus_size:-0} inputs (${new_units:-0} new)," \
    "${findings} findings; log $build/fuzz.log"

if [ "$record" = 1 ]; then
    ledger=tests/fuzz/runs.tsv
    keys="runs too_many_lines exactly_fifty fixed_points settings_checked not_scannable"
    keys="$keys with_1a with_lone_cr with_nul with_long_line with_high_byte with_own_lines"
    if [ ! -s "$ledger" ]; then
        printf 'date\tseconds\texecutions\tcorpus\tfindings' >"$ledger"
        for key in $keys; do printf '\t%s' "$key" >>"$ledger"; done
        printf '\n' >>"$ledger"
    fi
    printf '%s\t%s\t%s\t%s\t%s' "$(date -u +%Y-%m-%dT%H:%MZ)" "$elapsed" "${executions:-0}" \
        "${corpus_size:-0}" "$findings" >>"$ledger"
    for key in $keys; do
        value=$(sed -n "s/^$key=//p" "$build/fuzz-stats.txt" 2>/dev/null)
        printf '\t%s' "${value:-0}" >>"$ledger"
    done
    printf '\n' >>"$ledger"
    echo "fuzz: recorded in $ledger"
fi
[ "$findings" = 0 ]
