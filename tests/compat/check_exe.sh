#!/bin/sh
# Checks that an executable still runs on every Windows from 95 on and needs
# nothing beside it:
#
#   check_exe.sh EXE IMPORTS_LIST VERSION OBJDUMP WINDRES
#
# - PE32 for i386, GUI subsystem, subsystem version 4.0;
# - imports only from KERNEL32, USER32, GDI32, DDRAW and MSVCRT, no delayed or
#   bound imports, and no other DLL named in the file for loading at run time;
# - every imported function listed in IMPORTS_LIST ("DLL!function" a line, the
#   DLL's name in any case, with or without .dll), so that a new import is
#   reviewed before it ships;
# - no icon resource, and a version resource that carries VERSION.
#
# Prints every problem found and exits 1 when there is any.
set -eu
export LC_ALL=C

if [ $# -ne 5 ]; then
    echo "usage: check_exe.sh EXE IMPORTS_LIST VERSION OBJDUMP WINDRES" >&2
    exit 2
fi
exe=$1
allowlist=$2
version=$3
objdump=$4
windres=$5
name=$(basename "$exe")

ALLOWED_DLLS="KERNEL32 USER32 GDI32 DDRAW MSVCRT"
# GCC's start-up code looks this one up among the modules already loaded, to
# share its unwinding tables; it never loads it.
PROBED_DLLS="LIBGCC_S_DW2-1"

problems=0
fail() {
    echo "$name: $*"
    problems=$((problems + 1))
}

[ -f "$exe" ] || { echo "$name: no such file: $exe"; exit 1; }
[ -f "$allowlist" ] || { echo "$name: no imports list: $allowlist"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$objdump" -f -p "$exe" >"$work/headers" 2>"$work/objdump.err"; then
    echo "$name: $objdump cannot read it:"
    cat "$work/objdump.err"
    exit 1
fi

# The value of a "Name<tab>value" line of the PE header dump.
header() {
    awk -v key="$1" '$1 == key { print $2; exit }' "$work/headers"
}

grep -q 'file format pei-i386$' "$work/headers" ||
    fail "not a PE file for i386: $(grep -m1 'file format' "$work/headers")"
grep -q '^architecture: i386,' "$work/headers" ||
    fail "architecture is not i386: $(grep -m1 '^architecture' "$work/headers")"
[ "$(header Magic)" = 010b ] || fail "not PE32: Magic $(header Magic)"
[ "$(header Subsystem)" = 00000002 ] ||
    fail "subsystem is not Windows GUI (2): $(grep -m1 '^Subsystem' "$work/headers")"
subsystem_version=$(header MajorSubsystemVersion).$(header MinorSubsystemVersion)
[ "$subsystem_version" = 4.0 ] ||
    fail "subsystem version is $subsystem_version, not 4.0 (Windows 95 refuses a newer one)"

# Directory entries that must be empty: "Entry d 00000000 00000000 Delay ...".
for directory in 'Delay Import Directory' 'Bound Import Directory'; do
    grep "^Entry . [0-9a-f]* [0-9a-f]* $directory" "$work/headers" |
        grep -q "^Entry . 00000000 00000000 " ||
        fail "has a $directory"
done

# One "DLL!function" a line, the DLL in upper case without .dll. Function
# lines of the import dump start with a tab and the entry's address; an
# import by ordinal has no name.
normalize() {
    awk -F'!' '{ dll = toupper($1); sub(/\.DLL$/, "", dll); print dll "!" $2 }'
}
awk '
    /^The Import Tables/ { inside = 1; next }
    inside && /^[A-Z]/ { inside = 0 }
    inside && /DLL Name:/ { dll = $3; next }
    inside && dll != "" && /^\t[0-9a-f]+\t/ {
        print dll "!" (NF >= 3 ? $3 : "#" $2)
    }
' "$work/headers" | normalize | sort -u >"$work/imports"
[ -s "$work/imports" ] || fail "no imports found in the dump of $objdump"

sed -e 's/#.*//' -e 's/[[:space:]]//g' "$allowlist" | grep -v '^$' | normalize |
    sort -u >"$work/allowed"

for dll in $(cut -d'!' -f1 "$work/imports" | sort -u); do
    case " $ALLOWED_DLLS " in
    *" $dll "*) ;;
    *) fail "imports from $dll.dll, which is not one of $ALLOWED_DLLS" ;;
    esac
done
for import in $(comm -23 "$work/imports" "$work/allowed"); do
    fail "new import $import: not in $(basename "$allowlist"); review it and add it there"
done
for import in $(comm -13 "$work/imports" "$work/allowed"); do
    echo "$name: note: $import is listed but no longer imported"
done

# DLL names in the file's text: a LoadLibrary of anything else would need a
# DLL that Windows 95 may not have.
strings -a "$exe" | grep -io '[a-z0-9_.-]*\.dll' |
    normalize | sed 's/!$//' | sort -u >"$work/named"
for dll in $(cat "$work/named"); do
    case " $ALLOWED_DLLS $PROBED_DLLS " in
    *" $dll "*) ;;
    *) fail "names $dll.dll in its data; loading it at run time would need another DLL" ;;
    esac
done

# Resources, as windres writes them back as a script.
if ! "$windres" -i "$exe" -O rc >"$work/resources.rc" 2>"$work/windres.err"; then
    fail "$windres cannot read its resources: $(cat "$work/windres.err")"
fi
sed -n 's|^/\* Type: \(.*\)$|\1|p' "$work/resources.rc" | sort -u >"$work/types"
for type in icon "group icon"; do
    if grep -qx "$type" "$work/types"; then
        fail "has a resource of type $type; the program has no icon"
    fi
done
grep -qx version "$work/types" || fail "has no version resource"

# The StringFileInfo value of KEY, or nothing.
version_value() {
    sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"\$/\1/p" "$work/resources.rc" | head -n 1
}
if grep -qx version "$work/types"; then
    numbers=$(echo "$version" | awk -F. '{ printf "%d, %d, %d, %d", $1, $2, $3, $4 }')
    for field in FILEVERSION PRODUCTVERSION; do
        grep -q "^ *$field $numbers\$" "$work/resources.rc" ||
            fail "version resource: $field is not $numbers:" \
                "$(grep -m1 "^ *$field" "$work/resources.rc")"
    done
    for key in FileVersion ProductVersion; do
        [ "$(version_value $key)" = "$version" ] ||
            fail "version resource: $key is \"$(version_value $key)\", not \"$version\""
    done
    for key in ProductName FileDescription OriginalFilename; do
        [ -n "$(version_value $key)" ] || fail "version resource: no $key"
    done
    [ "$(version_value OriginalFilename)" = "$name" ] ||
        fail "version resource: OriginalFilename is \"$(version_value OriginalFilename)\", not \"$name\""
fi

if [ $problems -ne 0 ]; then
    echo "$name: $problems problem(s)"
    exit 1
fi
echo "$name: PE32 i386, GUI 4.0, $(wc -l <"$work/imports") reviewed imports from" \
    "$(cut -d'!' -f1 "$work/imports" | sort -u | tr '\n' ' ')no icon, version $version"
