#!/bin/sh
# The shipped exe runs on every Windows from 95 on and needs nothing beside it:
# PE32 for i386, GUI subsystem 4.0, at most LIMIT bytes, imports only the
# reviewed functions of IMPORTS, no icon, a version resource with VERSION.
#   check_exe.sh EXE IMPORTS LIMIT VERSION OBJDUMP WINDRES
set -u
exe=$1 list=$2 limit=$3 version=$4 objdump=$5 windres=$6
problems=$(
    "$objdump" -p "$exe" >headers.txt || echo "$objdump cannot read it"
    grep -q 'file format pei-i386$' headers.txt || echo "not PE32 for i386"
    grep -q '^Subsystem		00000002' headers.txt || echo "not a GUI program"
    grep -q '^MajorSubsystemVersion	4$' headers.txt && grep -q '^MinorSubsystemVersion	0$' headers.txt ||
        echo "subsystem version is not 4.0: Windows 95 refuses a newer one"
    [ "$(wc -c <"$exe")" -le "$limit" ] || echo "$(wc -c <"$exe") bytes, over $limit"
    awk '/DLL Name:/ { dll = toupper($3); sub(/\.DLL$/, "", dll) }
        /^\t[0-9a-f]+\t/ && dll { print dll "!" $3 }' headers.txt | sort >imports.txt
    sed -e 's/#.*//' -e '/^$/d' "$list" | sort | comm -23 imports.txt - | sed 's/^/imports /'
    "$windres" -i "$exe" -O rc >resources.rc || echo "$windres cannot read its resources"
    grep -q '^/\* Type: icon' resources.rc && echo "has an icon"
    grep -q "VALUE \"FileVersion\", \"$version\"" resources.rc || echo "no version $version"
)
[ -z "$problems" ] || { echo "$problems" | sed "s|^|$exe: |"; exit 1; }
