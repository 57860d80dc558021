#!/bin/sh
# Runs a command inside a folder with a real fault in it (see folders.sh),
# then takes the fault down:
#
#   in-folder.sh KIND DIR [SEED] -- COMMAND...
#
# COMMAND runs with DIR as its current folder, and TAROPTS_FAULT_KIND=KIND and
# TAROPTS_FAULT_FOLDER=DIR (absolute) in its environment; its exit code passes
# through. Exit code 77 means the mount was refused and nothing ran (ctest's
# SKIP_RETURN_CODE). A Windows program runs the same way under
# "scripts/wine-env WINEDIR run", which Wine maps to its drive Z:.
set -u
. "$(dirname "$0")/folders.sh"

kind=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
shift 2
seed=""
if [ "${1:-}" != "--" ]; then
    seed=$1
    shift
fi
[ "${1:-}" = "--" ] && shift

trap 'release_folder "$dir"' EXIT
trap 'exit 130' INT TERM
fault_folder "$kind" "$dir" "$seed"
status=$?
if [ $status = 77 ]; then
    echo "skipped: cannot mount a $kind folder here (needs root with CAP_SYS_ADMIN)"
    exit 77
fi
[ $status = 0 ] || exit 1
(cd "$dir" && TAROPTS_FAULT_KIND=$kind TAROPTS_FAULT_FOLDER=$dir exec "$@")
