#!/bin/sh
# Fuzzes the configuration file loader and saver with libFuzzer, ASan and UBSan.
#
#   scripts/fuzz.sh [SECONDS]           build, fuzz for SECONDS (60), fail on any finding
#   scripts/fuzz.sh --record [SECONDS]  the same, and add the run to tests/fuzz/runs.tsv
#
# The corpus grows in build/fuzz/corpus, seeded from tests/fuzz/corpus; an
# input that fails a check, crashes, leaks or hangs is kept in build/fuzz/artifacts.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

record=0
if [ "${1:-}" = --record ]; then
    record=1
    shift
fi
seconds=${1:-60}

build=$root/build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target cfg_fuzz >/dev/null
mkdir -p "$build/corpus" "$build/artifacts"
before=$(ls "$build/artifacts" | wc -l)

# The target writes tarro.cfg in its current folder: a scratch one of this run.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/taropts-fuzz-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

echo "fuzz: ${seconds} s, corpus $build/corpus"
status=0
start=$(date +%s)
(cd "$scratch" && exec "$build/tests/cfg_fuzz" -max_total_time="$seconds" -timeout=10 \
    -print_final_stats=1 -dict="$root/tests/fuzz/cfg.dict" -artifact_prefix="$build/artifacts/" \
    "$build/corpus" "$root/tests/fuzz/corpus") >"$build/fuzz.log" 2>&1 || status=$?
elapsed=$(($(date +%s) - start))

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz.log")
corpus=$(sed -n 's/.* corp: \([0-9]*\)\/.*/\1/p' "$build/fuzz.log" | tail -n 1)
findings=$(($(ls "$build/artifacts" | wc -l) - before))
if [ "$status" != 0 ] || [ "$findings" != 0 ]; then
    [ "$findings" != 0 ] || findings=1
    tail -n 40 "$build/fuzz.log"
fi
echo "fuzz: ${executions:-0} executions, corpus ${corpus:-0}, $findings findings; log $build/fuzz.log"

if [ "$record" = 1 ]; then
    printf '%s\t%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%dT%H:%MZ)" "$elapsed" "${executions:-0}" \
        "${corpus:-0}" "$findings" >>tests/fuzz/runs.tsv
fi
[ "$findings" = 0 ]
