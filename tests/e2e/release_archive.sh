#!/usr/bin/env bash
# The Linux release archive as a player gets it: made by cpack from this build, unpacked into an empty folder
# and checked for exactly the game folder's files, its VERSION and its list of required libraries; then the
# launcher is started there in a virtual X server, and a click on the start area must write setup.dat and
# start the stand-in game with the settings.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
for tool in xvfb-run openbox xdotool cpack tar readelf; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
[ -x "$build/game/launcher" ] || { echo "$build/game/launcher is missing"; exit 1; }
if grep -q '^MT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
    echo "a sanitizer build: release archives are made from the default build; skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

version=$("$build/tools/paktool/paktool" --version | awk '{ print $2 }')
name=valtor-frontend-$version-linux-x86_64
(cd "$build" && cpack -G TGZ -B "$work/dist") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
archive=$work/dist/$name.tar.gz
[ -f "$archive" ] || { echo "cpack made no $name.tar.gz:"; ls "$work/dist"; exit 1; }

mkdir "$work/player"
tar -xzf "$archive" -C "$work/player"
[ "$(ls "$work/player")" = "$name" ] || { echo "the archive does not unpack into one folder $name"; exit 1; }
game=$work/player/$name
expected="REQUIREMENTS.txt VERSION data.pak data2.pak languages.txt launcher selling site.pak valtor.exe \
valtor_low.exe valtor_low2.exe"
got=$(cd "$game" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
[ "$got" = "$expected" ] || { echo "the game folder holds '$got', expected '$expected'"; exit 1; }
[ "$(cat "$game/VERSION")" = "$version" ] || { echo "VERSION holds '$(cat "$game/VERSION")', not $version"; exit 1; }
for program in launcher selling valtor.exe; do
    [ -x "$game/$program" ] || { echo "$program is not executable"; exit 1; }
    ! readelf -S "$game/$program" | grep -q '\.debug_' || { echo "$program still has debugging sections"; exit 1; }
    for library in $(readelf -d "$game/$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        grep -q "^  $library " "$game/REQUIREMENTS.txt" ||
            { echo "$program needs $library, which REQUIREMENTS.txt does not name"; exit 1; }
    done
done
echo "archive: $name.tar.gz unpacks into $name/ with the game folder, VERSION $version and every library listed"

export game work source_dir
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
openbox >/dev/null 2>&1 &
sleep 1
source "$source_dir/scripts/x11-window.sh"
export SDL_VIDEODRIVER=x11 SDL_RENDER_DRIVER=software VALTOR_DEMO_SECONDS=0 XDG_DATA_HOME=$work/data
start_launcher "$game" "$work/launcher.log" || exit 1
eval "$(xdotool getwindowgeometry --shell "$win")"
[ "$WIDTH" = 438 ] && [ "$HEIGHT" = 429 ] || { echo "window ${WIDTH}x$HEIGHT, not 438x429"; exit 1; }
xdotool mousemove $((X + 330)) $((Y + 355)) click 1
status=0
wait "$pid" || status=$?
[ "$status" = 0 ] || { echo "launcher exit code $status"; cat "$work/launcher.log"; exit 1; }
settings=$work/data/Quillfen/Valtor/1.0
[ "$(stat -c %s "$settings/setup.dat")" = 60 ] || { echo "no 60-byte setup.dat"; exit 1; }
grep -q "started as valtor.exe;.*language english, code page 1252" "$settings/valtor-demo.log" ||
    { echo "the stand-in game did not start with the settings:"; cat "$work/launcher.log"; exit 1; }
'
echo "unpacked game folder: the launcher shows its window, writes setup.dat and starts valtor.exe"
