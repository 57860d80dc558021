# Folders with a real fault in them, for tests that run a program inside one.
# Source this file (POSIX sh), then:
#
#   fault_folder KIND DIR [SEED]   make DIR afresh with the fault; SEED, if
#                                  given, becomes DIR/tarro.cfg first
#   release_folder DIR             take the fault down and remove DIR
#
# KIND is one of
#   full             DIR is a 4 KiB tmpfs: a save larger than that meets a full disk
#   readonly-folder  DIR is a read-only tmpfs
#   readonly-file    DIR/tarro.cfg (SEED needed) is bound read-only onto itself
#
# Mounting needs root (CAP_SYS_ADMIN). fault_folder returns 77 when the
# machine refuses it, so that a caller can report the test as skipped, and 1
# when the fault does not hold once made.

mounted_at() {
    awk -v path="$1" '$5 == path { found = 1 } END { exit !found }' /proc/self/mountinfo
}

# A program that has just ended can still keep the mount busy for a moment.
unmount_all() {
    tries=0
    while mounted_at "$1"; do
        tries=$((tries + 1))
        if [ $tries -gt 50 ]; then
            umount -l "$1"
        elif ! umount "$1" 2>/dev/null; then
            sleep 0.1
        fi
    done
}

release_folder() {
    [ -e "$1" ] || return 0
    unmount_all "$1/tarro.cfg"
    unmount_all "$1"
    rm -rf "$1"
}

fault_folder() {
    kind=$1
    dir=$2
    seed=${3:-}
    release_folder "$dir" || return 1
    mkdir -p "$dir"
    case $kind in
    full)
        mount -t tmpfs -o size=4k,mode=0755 taropts-full "$dir" || return 77
        [ -z "$seed" ] || cp "$seed" "$dir/tarro.cfg"
        # The fault holds: 8 KiB do not fit.
        if dd if=/dev/zero of="$dir/probe" bs=1024 count=8 2>/dev/null; then
            echo "fault_folder: $dir is not full at 8 KiB" >&2
            return 1
        fi
        rm -f "$dir/probe"
        ;;
    readonly-folder)
        mount -t tmpfs -o size=64k,mode=0755 taropts-readonly "$dir" || return 77
        [ -z "$seed" ] || cp "$seed" "$dir/tarro.cfg"
        mount -o remount,ro "$dir" || return 77
        if (: >"$dir/probe") 2>/dev/null; then
            echo "fault_folder: $dir is writable" >&2
            return 1
        fi
        ;;
    readonly-file)
        [ -n "$seed" ] || { echo "fault_folder: readonly-file needs a seed" >&2; return 1; }
        cp "$seed" "$dir/tarro.cfg"
        mount --bind "$dir/tarro.cfg" "$dir/tarro.cfg" || return 77
        mount -o remount,bind,ro "$dir/tarro.cfg" || return 77
        if (: >>"$dir/tarro.cfg") 2>/dev/null; then
            echo "fault_folder: $dir/tarro.cfg is writable" >&2
            return 1
        fi
        ;;
    *)
        echo "fault_folder: unknown kind $kind" >&2
        return 1
        ;;
    esac
}
