#!/bin/sh
# Shows that check_exe.sh catches each fault: it runs the check on broken
# inputs and expects a failure that names every fault.
#
#   check_exe_test.sh CHECK EXE FAULTY_EXE IMPORTS_LIST VERSION OBJDUMP WINDRES
set -eu

check=$1
exe=$2
faulty=$3
allowlist=$4
version=$5
objdump=$6
windres=$7

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The list without MessageBoxA, which the program imports.
grep -v '^USER32!MessageBoxA$' "$allowlist" >"$work/imports-short.txt"

failures=0

# expect NAME EXE LIST VERSION MESSAGE...: the check fails and prints each
# MESSAGE.
expect() {
    case_name=$1
    case_exe=$2
    case_list=$3
    case_version=$4
    shift 4
    if sh "$check" "$case_exe" "$case_list" "$case_version" "$objdump" "$windres" \
        >"$work/out" 2>&1; then
        echo "FAIL $case_name: the check passed"
        failures=$((failures + 1))
        return
    fi
    for message in "$@"; do
        if ! grep -qF "$message" "$work/out"; then
            echo "FAIL $case_name: no \"$message\" in:"
            sed 's/^/    /' "$work/out"
            failures=$((failures + 1))
        fi
    done
    echo "ok   $case_name"
}

expect "faulty program" "$faulty" "$allowlist" "$version" \
    "subsystem is not Windows GUI (2)" \
    "subsystem version is 6.0, not 4.0" \
    "imports from ADVAPI32.dll" \
    "new import KERNEL32!Beep" \
    "new import ADVAPI32!RegOpenKeyExA" \
    "names SHELL32.dll in its data" \
    "has a resource of type icon" \
    "has a resource of type group icon" \
    "has no version resource"
expect "unreviewed import" "$exe" "$work/imports-short.txt" "$version" \
    "new import USER32!MessageBoxA"
expect "other version" "$exe" "$allowlist" 9.8.7 \
    "FILEVERSION is not 9, 8, 7, 0" \
    "FileVersion is \"$version\", not \"9.8.7\"" \
    "ProductVersion is \"$version\", not \"9.8.7\""
expect "missing file" "$work/none.exe" "$allowlist" "$version" \
    "none.exe: no such file"

exit $((failures != 0))
