#!/bin/sh
# Takes a picture of the real options dialog: starts taropts.exe with the test
# display driver and its typical mode list on a private virtual display, saves
# the dialog as a PNG (ImageMagick import), ends the dialog with Cancel and
# stops the display and Wine again.
#
#   scripts/screenshot.sh [-b BUILD_DIR] [-C FOLDER] [OUTPUT.png]
#
# BUILD_DIR is a built windows tree (default build/windows), FOLDER the
# program's current folder (default: an empty one, so the defaults show),
# OUTPUT the picture (default docs/dialog.png).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/windows
folder=
while getopts b:C: option; do
    case $option in
    b) build=$OPTARG ;;
    C) folder=$OPTARG ;;
    *)
        echo "usage: screenshot.sh [-b BUILD_DIR] [-C FOLDER] [OUTPUT.png]" >&2
        exit 2
        ;;
    esac
done
shift $((OPTIND - 1))
output=${1:-$root/docs/dialog.png}

build=$(cd "$build" && pwd)
helper=$build/tests/e2e/dialog_shot.exe
for file in "$build/taropts.exe" "$build/tests/ddraw_stub/ddraw.dll" "$helper"; do
    [ -f "$file" ] || { echo "screenshot.sh: $file is missing; build $build first" >&2; exit 1; }
done
mkdir -p "$(dirname "$output")"
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")

env_dir=$build/screenshot
wine_env() {
    sh "$root/scripts/wine-env" "$env_dir" "$@"
}
if [ -n "$folder" ]; then
    folder=$(cd "$folder" && pwd)
else
    folder=$env_dir/work
    rm -rf "$folder"
    mkdir -p "$folder"
fi

# Whatever happens from here on, the display and Wine stop again.
trap 'wine_env stop >/dev/null 2>&1 || true' EXIT
trap 'exit 1' HUP INT TERM

wine_env start >/dev/null
# The driver beside the program, with its typical mode list.
export WINEDLLOVERRIDES=ddraw=n,b
unset TAROPTS_TEST_MODES TAROPTS_TEST_FAIL TAROPTS_TEST_LOG

if ! wine_env run "$helper" show "$folder" "$env_dir/program" \
    >"$env_dir/shown.txt" 2>"$env_dir/show.log"; then
    cat "$env_dir/show.log" >&2
    exit 1
fi
# The helper's text output ends its lines with CR LF.
read -r pid kind x y width height <<EOF_SHOWN
$(tr -d '\r' <"$env_dir/shown.txt")
EOF_SHOWN
[ "$kind" = dialog ] || cat "$env_dir/show.log" >&2

DISPLAY=:$(cat "$env_dir/display") import -window root \
    -crop "${width}x${height}+${x}+${y}" +repage "$output"
wine_env run "$helper" cancel "$pid"
echo "screenshot.sh: the $kind is in $output"
