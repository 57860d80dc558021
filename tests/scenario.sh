#!/bin/sh
# Runs one scenario in a folder of its own, where the driver says the file
# lies: on a full 4 KiB disk, in a read-only folder or file (root), as a folder.
#   scenario.sh TABLE NAME FOLDER DRIVER WINE-ENV-RUN...
set -u
table=$1 name=$2 dir=$3 driver=$4
shift 4

release() {
    umount -l "$dir/tarro.cfg" "$dir" 2>/dev/null
    rm -rf "$dir" "$dir.in" "$dir.plan" "$dir.log"
}
release
mkdir -p "$dir" "$dir.in"
trap release EXIT
"$@" "$driver" "$table" "$name" "$dir" prepare >"$dir.plan" || { cat "$dir.plan"; exit 1; }
read -r screen where <<END
$(tr -d '\r' <"$dir.plan")
END
[ "$where" != full ] || mount -t tmpfs -o size=4k tmpfs "$dir" || exit 1
cp -a "$dir.in/." "$dir/" && case $where in
folder) mkdir "$dir/tarro.cfg" ;;
full) cat /dev/zero >"$dir/filler" 2>/dev/null || true ;;
ro-folder) mount --bind "$dir" "$dir" && mount -o remount,bind,ro "$dir" ;;
ro-file) mount --bind "$dir/tarro.cfg" "$dir/tarro.cfg" && mount -o remount,bind,ro "$dir/tarro.cfg" ;;
esac || exit 1
"$@" ${screen:+-s "$screen"} "$driver" "$table" "$name" "$dir" run
