#!/usr/bin/env bash
# The launcher without a mouse and at a larger scale, in a virtual X server with a window manager:
#   - the keyboard alone: Tab to the language list, Down to the next language, Tab on to the start area,
#     Enter: the game starts with that language;
#   - VALTOR_UI_SCALE=2: the window is 876 x 858, the picture and the lists are drawn twice as large, and a
#     click at twice the start area's coordinates starts the game;
#   - Xft.dpi 192 in the X server's resources gives the same scale without the override.
# Screenshots go to <build>/e2e/ways_in/.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
out=$build/e2e/ways_in
for tool in xvfb-run openbox xdotool import xwininfo xprop; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
[ -x "$build/game/launcher" ] || { echo "$build/game/launcher is missing"; exit 1; }
rm -rf "$out"
mkdir -p "$out"
export out build source_dir

timeout 200 xvfb-run -a -s "-screen 0 1920x1200x24" bash -euo pipefail -c '
openbox >/dev/null 2>&1 &
sleep 1
source "$source_dir/scripts/x11-window.sh"
export SDL_VIDEODRIVER=x11 SDL_RENDER_DRIVER=software VALTOR_DEMO_SECONDS=0

prepare() { prepare_launcher_run "$out/$1" "$build/game"; }
start() {  # name width height
    start_launcher "$run/game" "$run/launcher.log" || { echo "($1)"; exit 1; }
    client_geometry "$win"
    [ "$WIDTH" = "$2" ] && [ "$HEIGHT" = "$3" ] || { echo "$1: window ${WIDTH}x$HEIGHT, not $2x$3"; exit 1; }
    xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
}
finish() {
    status=0
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && { echo "$1: the launcher did not end"; kill "$pid"; exit 1; }
    wait "$pid" || status=$?
    [ "$status" = 0 ] || { echo "$1: launcher exit code $status"; cat "$run/launcher.log"; exit 1; }
}
language_stored() { dd if="$settings" bs=1 skip=24 count=32 2>/dev/null | tr -d "\0"; }

# --- the keyboard alone
prepare keyboard
start keyboard 438 429
for key in Tab Tab Down Tab Tab; do xdotool key "$key"; sleep 0.2; done
xdotool key Tab
sleep 0.5
import -window "$win" "$out/keyboard-start-focused.png"   # the ring around the start area
xdotool key Return
finish keyboard
[ "$(language_stored)" = deutsch ] || { echo "keyboard: setup.dat holds \"$(language_stored)\", not deutsch"; exit 1; }
grep -q "started as valtor.exe;.*language deutsch, code page 1252" "$gamelog" ||
    { echo "keyboard: the game did not start with deutsch:"; cat "$gamelog" "$run/launcher.log" 2>/dev/null; exit 1; }
echo "keyboard alone: deutsch chosen, start area reached with Tab, Enter started the game with it"

# --- scale 2
prepare scale2
export VALTOR_UI_SCALE=2
start scale2 876 858
import -window "$win" "$out/scale2.png"
xdotool mousemove $((X + 2 * 330)) $((Y + 2 * 355)) click 1
finish scale2
unset VALTOR_UI_SCALE
[ "$(language_stored)" = english ] || { echo "scale2: setup.dat holds \"$(language_stored)\""; exit 1; }
grep -q "started as valtor.exe" "$gamelog" || { echo "scale2: the game was not started"; cat "$run/launcher.log"; exit 1; }
echo "scale 2: window 876x858, a click at (660, 710) started the game"

# --- the desktop text DPI: Xft.dpi 192 gives scale 2 without any override
xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	192"
prepare xftdpi
start xftdpi 876 858
xdotool mousemove $((X + 2 * 330)) $((Y + 2 * 405)) click 1   # the quit area
finish xftdpi
[ ! -e "$gamelog" ] || { echo "xftdpi: the game was started"; exit 1; }
echo "Xft.dpi 192: window 876x858, the quit area at twice its coordinates"
'
echo "screenshots in $out"
