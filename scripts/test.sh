#!/bin/sh
# Sets up the machine, builds both presets and runs every test: the portable
# code natively under the sanitizers, then the Win32 tests and the real
# taropts.exe under Wine on a private Xvfb display, then a minute of fuzzing.
# Ends with one line that counts the ctest tests and the fuzzing run.
set -eu
cd "$(dirname "$0")/.."

sh scripts/setup.sh

passed=0
failed=0
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

for preset in native windows; do
    echo "== $preset"
    if cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; then
        ctest --preset "$preset" | tee "$summary" || true
        # "100% tests passed, 0 tests failed out of 21"
        line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$summary" || true)
        if [ -n "$line" ]; then
            total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
            bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
            passed=$((passed + total - bad))
            failed=$((failed + bad))
        else
            failed=$((failed + 1))
        fi
    else
        echo "test.sh: the $preset build failed"
        failed=$((failed + 1))
    fi
done

echo "== fuzz"
if sh scripts/fuzz.sh 60; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
fi

echo "taropts: $passed passed, $failed failed"
[ "$failed" = 0 ]
