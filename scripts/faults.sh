#!/bin/sh
# Measures the tests with planted faults: which test, if any, catches each one.
#
# Each fault of scripts/faults.txt is planted alone in a copy of the sources.
#
#   scripts/faults.sh [-s SOURCE_TREE] [-w SCRATCH] [-o RESULTS] [-p PRESET] [-t SECONDS] [-n] [FAULT...]
#
# SOURCE_TREE (this repository's working tree unless given; build/ and .git
# left out) is copied once into SCRATCH/tree (default build/faults). Each
# fault then goes into a fresh copy of its file there, the PRESET build
# (windows64 unless given; windows too on a host that runs 32-bit code) runs, then its tests
# (ctest --stop-on-failure); a fault in settings/ that they miss also gets
# SECONDS (30) of the fuzzer. -n only checks that each fault applies and
# builds. One line a fault, also written to RESULTS when given:
#   ID: caught by TEST | ID: MISSED | ID: does not apply | ID: does not build
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
faults=$root/scripts/faults.txt
source=$root scratch=$root/build/faults results='' preset=windows64 seconds=30 dry=0
while getopts s:w:o:p:t:n option; do
    case $option in
    s) source=$OPTARG ;;
    w) scratch=$OPTARG ;;
    o) results=$OPTARG ;;
    p) preset=$OPTARG ;;
    t) seconds=$OPTARG ;;
    n) dry=1 ;;
    *) sed -n 6p "$0" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ $# -gt 0 ] || set -- $(sed -n 's/^fault: //p' "$faults")
case $preset in windows) arch=i386 ;; *) arch=x86_64 ;; esac
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
source=$(cd "$source" && pwd)
case $results in "" | /*) ;; *) results=$PWD/$results ;; esac
[ -z "$results" ] || : >"$results"
tree=$scratch/tree logs=$scratch/logs

# The copy keeps its build folder, so that each fault rebuilds only what it
# touches. Files get the time of the copy (tar -m): a stale object built with
# an earlier run's fault is then older than its source.
rm -rf "$logs"
mkdir -p "$tree" "$logs"
find "$tree" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
(cd "$source" && tar -cf - --exclude=./build --exclude=./.git .) | tar -xmf - -C "$tree"

# The fault's find and replace texts, repeated lines joined by line breaks.
# Prints FILE with the one occurrence of find replaced; fails unless there is
# exactly one.
plant() {
    awk -v id="$1" '
        FILENAME == ARGV[1] {
            if (/^fault: /)
                inside = substr($0, 8) == id
            else if (inside && match($0, /^(find|replace):( |$)/)) {
                key = substr($0, 1, index($0, ":") - 1)
                line = substr($0, RLENGTH + 1)
                text[key] = seen[key]++ ? text[key] "\n" line : line
            }
            next
        }
        { body = body $0 "\n" }
        END {
            find = text["find"]
            count = 0
            for (rest = body; find != "" && (at = index(rest, find)) > 0; count++)
                rest = substr(rest, at + length(find))
            if (count != 1)
                exit 1
            at = index(body, find)
            printf "%s", substr(body, 1, at - 1) text["replace"] substr(body, at + length(find))
        }' "$faults" "$2"
}

file_of() {
    awk -v id="$1" '/^fault: / { inside = substr($0, 8) == id } inside && /^file: / { print substr($0, 7); exit }' "$faults"
}

report() {
    echo "$1"
    [ -z "$results" ] || echo "$1" >>"$results"
}

build() { # PRESET LOG
    (cd "$tree" && cmake --preset "$1" && cmake --build --preset "$1") >"$2" 2>&1
}

stop_wine() {
    sh "$tree/scripts/wine-env" "$arch" "$tree/build/$preset/wine" stop 2>/dev/null || true
}

# Runs the tests; prints the first failing test's name, and fails when none
# failed. A failure that the test run alone does not repeat is taken for a
# hiccup of Wine or Xvfb, and the whole run is tried once more.
scenarios() { # LOG
    for _ in 1 2; do
        status=0
        (cd "$tree" && ctest --preset "$preset" --stop-on-failure) >"$1" 2>&1 || status=$?
        stop_wine
        [ "$status" != 0 ] || return 1
        failed=$(sed -n '/tests FAILED:/,$ s/^[[:space:]]*[0-9]* - \(.*\) ([^()]*)$/\1/p' "$1" | head -n 1)
        [ -n "$failed" ] || { echo "ctest (see $1)"; return 0; }
        pattern=$(printf '%s' "$failed" | sed 's/[][\\.*^$+?(){}|]/\\&/g')
        again=0
        (cd "$tree" && ctest --preset "$preset" -R "^$pattern\$") >"$1.again" 2>&1 || again=1
        stop_wine
        [ "$again" = 0 ] || { echo "$failed"; return 0; }
    done
    echo "$failed (only now and then)"
}

# The tree's own fuzz run; prints what it found, and fails when it found nothing.
fuzz() { # LOG
    ! sh "$tree/scripts/fuzz.sh" "$seconds" >"$1" 2>&1 || return 1
    log=$tree/build/fuzz/fuzz.log
    cat "$log" >>"$1"
    found=$(grep -m 1 -E '^cfg_fuzz: |^SUMMARY: |ERROR: libFuzzer' "$log" |
        sed 's/^SUMMARY: //; s/ (.*) / /') || true
    echo "cfg_fuzz${found:+ ($found)}"
}

saved=
stop() {
    [ -z "$saved" ] || cat "$scratch/pristine" >"$tree/$saved"
    saved=
    stop_wine
}
trap stop EXIT
trap 'exit 130' INT TERM

# The tests must pass without a fault, or every fault would count as caught.
start=$(date +%s)
build "$preset" "$logs/no-fault.build.log" || { echo "faults.sh: the tree does not build, see $logs/no-fault.build.log"; exit 1; }
if [ "$dry" = 0 ] && failed=$(scenarios "$logs/no-fault.ctest.log"); then
    echo "faults.sh: $failed fails without a fault"
    exit 1
fi

caught=0 missed=0 unapplied=0 unbuilt=0
for id; do
    file=$(file_of "$id")
    verdict=
    if [ -z "$file" ] || [ ! -f "$tree/$file" ]; then
        verdict="does not apply"
    else
        cp "$tree/$file" "$scratch/pristine"
        if ! plant "$id" "$tree/$file" >"$scratch/faulty"; then
            verdict="does not apply"
        else
            saved=$file
            cat "$scratch/faulty" >"$tree/$file"
            if ! build "$preset" "$logs/$id.build.log"; then
                verdict="does not build"
            elif [ "$dry" = 1 ]; then
                case $file in settings/*) build fuzz "$logs/$id.fuzz-build.log" || verdict="does not build" ;; esac
            elif test=$(scenarios "$logs/$id.ctest.log"); then
                verdict="caught by $test"
            else
                case $file in settings/*)
                    if ! build fuzz "$logs/$id.fuzz-build.log"; then
                        verdict="does not build"
                    elif test=$(fuzz "$logs/$id.fuzz.log"); then
                        verdict="caught by $test"
                    fi ;;
                esac
            fi
            # A fresh time, so that the next build replaces the faulty objects.
            cat "$scratch/pristine" >"$tree/$file"
            saved=
        fi
    fi
    case $verdict in
    "caught by"*) caught=$((caught + 1)) ;;
    "does not apply") unapplied=$((unapplied + 1)) ;;
    "does not build") unbuilt=$((unbuilt + 1)) ;;
    "") if [ "$dry" = 1 ]; then verdict="applies and builds"; else verdict=MISSED missed=$((missed + 1)); fi ;;
    esac
    report "$id: $verdict"
done
report "faults.sh: $# faults, $caught caught, $missed missed, $unapplied do not apply, $unbuilt do not build; $(($(date +%s) - start)) s"
