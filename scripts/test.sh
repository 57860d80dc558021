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
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

# ctest's own count: "100% tests passed, 0 tests failed out of 63".
run_ctest() {
    preset=$1
    shift
    echo "== $preset $*"
    if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
        echo "test.sh: the $preset build failed"
        failed=$((failed + 1))
        return
    fi
    ctest --preset "$preset" "$@" | tee "$summary" || true
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$summary" || true)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        return
    fi
    total=${line##* out of }
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
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
