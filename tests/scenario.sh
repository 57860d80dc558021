#!/bin/sh
# Runs one scenario of the table in a folder of its own: mounts what its
# "where:" asks for (a disk that tarro.cfg fills, a read-only folder or file;
# root only), lets the driver put tarro.cfg in place, then runs it on the
# screen it names.
#   scenario.sh TABLE NAME FOLDER DRIVER WINE-ENV-RUN...
set -u
table=$1 name=$2 dir=$3 driver=$4
shift 4
field() {
    awk -v name="scenario: $name" -v key="$1: " '$0 == name { inside = 1; next }
        /^scenario: / { inside = 0 }
        inside && index($0, key) == 1 { print substr($0, length(key) + 1) }' "$table"
}
where=$(field where)
screen=$(field screen)
screen=${screen:-1024x768x24}

release() {
    for path in "$dir/tarro.cfg" "$dir"; do
        i=0
        # A program that has just ended can keep the mount busy for a moment.
        while mountpoint -q "$path" 2>/dev/null; do
            i=$((i + 1))
            umount "$path" 2>/dev/null || { [ $i -lt 50 ] && sleep 0.1; } || umount -l "$path"
        done
    done
    rm -rf "$dir" "$dir.log"
}
release
mkdir -p "$dir"
trap release EXIT
case $where in
full | ro-folder | ro-file)
    [ "$(id -u)" = 0 ] || { echo "scenario.sh: a $where folder needs root to mount"; exit 1; } ;;
esac
case $where in
full) mount -t tmpfs -o size=4k tmpfs "$dir" ;;
ro-folder) mount -t tmpfs -o size=64k tmpfs "$dir" ;;
esac || exit 1
"$@" -s "$screen" "$driver" "$table" "$name" "$dir" prepare || exit 1
case $where in
full) cat /dev/zero >"$dir/filler" 2>/dev/null || true ;;
ro-folder) mount -o remount,ro "$dir" ;;
ro-file) mount --bind "$dir/tarro.cfg" "$dir/tarro.cfg" &&
    mount -o remount,bind,ro "$dir/tarro.cfg" ;;
esac || exit 1
"$@" -s "$screen" "$driver" "$table" "$name" "$dir" run
