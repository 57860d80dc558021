#!/bin/sh
# Sets the machine up, builds and runs every test:
# - every scenario on the 64-bit twin under 64-bit Wine, on every host;
# - every scenario on the i386 product under 32-bit Wine where this host runs
#   32-bit code (scripts/wine-env probe), and its static checks everywhere;
# - a minute of fuzzing of the configuration file code.
# Ends with a line naming what ran under Wine and one counting everything.
set -eu
cd "$(dirname "$0")/.."

sh scripts/setup.sh

passed=0
failed=0

# The counts of a junit file's testsuite element, "TESTS FAILURES ERRORS
# SKIPPED DISABLED", an absent count 0; nothing without the element.
junit_counts() {
    awk 'BEGIN { RS = ">"; n = split("tests failures errors skipped disabled", names, " ") }
        /<testsuite[ \t\r\n]/ {
            for (i = 1; i <= n; i++) {
                count[i] = 0
                if (match($0, "[ \t\r\n]" names[i] "=\"[0-9]+\""))
                    count[i] = substr($0, RSTART + length(names[i]) + 3, RLENGTH - length(names[i]) - 4)
                else if (i == 1)
                    exit
            }
            print count[1], count[2], count[3], count[4], count[5]
            exit
        }' "$1" 2>/dev/null
}

# Counts from ctest's junit report. ctest reports a test that could not run
# (its fixture failed, its program is missing) as skipped: here that is a
# failure, as nothing is meant to be skipped. Disabled tests count neither way.
run_ctest() {
    preset=$1
    shift
    echo "== $preset $*"
    if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
        echo "test.sh: the $preset build failed"
        failed=$((failed + 1))
        return
    fi
    junit=$(pwd)/build/$preset/junit.xml
    rm -f "$junit"
    ctest --preset "$preset" --output-junit "$junit" "$@" || true
    set -- $(junit_counts "$junit")
    if [ $# != 5 ] || [ "$1" = 0 ]; then
        echo "test.sh: no tests counted in $junit"
        failed=$((failed + 1))
        return
    fi
    [ "$4" = 0 ] || echo "test.sh: $4 tests of $preset did not run"
    passed=$((passed + $1 - $2 - $3 - $4 - $5))
    failed=$((failed + $2 + $3 + $4))
}

run_ctest windows64
if sh scripts/wine-env probe; then
    run_ctest windows
    wine_line="under Wine: x86_64 (64-bit twin), i386 (the product)"
else
    run_ctest windows -L static
    wine_line="under Wine: x86_64 (64-bit twin); i386: static checks only (this host does not run 32-bit code)"
fi

echo "== fuzz"
if sh scripts/fuzz.sh 60; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
fi

echo "taropts: $wine_line"
echo "taropts: $passed passed, $failed failed"
[ "$failed" = 0 ]
