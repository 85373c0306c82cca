#!/usr/bin/env bash
# The real launcher in a virtual X server with a window manager, in a copy of the sample game folder:
#   - a click on the start area writes setup.dat and starts the stand-in game, which receives the settings;
#   - a click on the quit area, and a close request (Alt+F4), write setup.dat and start nothing;
#   - choosing another language with real clicks repaints the background and the lists in that language
#     (checked against the language's picture, pixel for pixel, outside the lists).
# Screenshots go to <build>/e2e/launcher/.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
out=$build/e2e/launcher
pictures=$build/assets/stage/data/launcher
for tool in xvfb-run openbox xdotool import compare convert od; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
[ -x "$build/game/launcher" ] || { echo "$build/game/launcher is missing"; exit 1; }
rm -rf "$out"
mkdir -p "$out"
export out pictures build source_dir

timeout 220 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
openbox >/dev/null 2>&1 &
sleep 1
source "$source_dir/scripts/x11-window.sh"
export SDL_VIDEODRIVER=x11 SDL_RENDER_DRIVER=software VALTOR_DEMO_SECONDS=0

# A fresh game folder and per-user folder for each run.
prepare() { prepare_launcher_run "$out/$1" "$build/game"; }

# Starts the launcher and waits for its window: sets pid, win, X and Y.
start() {
    start_launcher "$run/game" "$run/launcher.log" || { echo "($1)"; exit 1; }
    eval "$(xdotool getwindowgeometry --shell "$win")"
    [ "$WIDTH" = 438 ] && [ "$HEIGHT" = 429 ] || { echo "$1: window ${WIDTH}x$HEIGHT, not 438x429"; exit 1; }
}

click() {
    xdotool mousemove $((X + $1)) $((Y + $2)) click 1
    sleep 0.4
}

# Waits for the launcher to end and checks its exit code.
finish() {
    status=0
    wait "$pid" || status=$?
    [ "$status" = 0 ] || { echo "$1: launcher exit code $status"; cat "$run/launcher.log"; exit 1; }
}

# The 60 bytes of setup.dat as hex, and one field as a signed number.
hexof() { od -An -v -tx1 "$1" | tr -d " \n"; }
field() { od -An -v -td4 -j "$2" -N 4 "$1" | tr -d " "; }

expect_settings() {  # run-name window width height quality audio language codepage
    [ -f "$settings" ] || { echo "$1: no setup.dat"; exit 1; }
    size=$(stat -c %s "$settings")
    [ "$size" = 60 ] || { echo "$1: setup.dat has $size bytes"; exit 1; }
    [ "$(hexof "$settings" | cut -c1-8)" = bebaadde ] || { echo "$1: wrong magic"; exit 1; }
    got="$(field "$settings" 4) $(field "$settings" 8) $(field "$settings" 12) $(field "$settings" 16)"
    got="$got $(field "$settings" 20) $(dd if="$settings" bs=1 skip=24 count=32 2>/dev/null | tr -d "\0")"
    got="$got $(field "$settings" 56)"
    [ "$got" = "$2" ] || { echo "$1: setup.dat holds \"$got\", expected \"$2\""; exit 1; }
}

# --- start area: settings written, then the stand-in game started with them
prepare start
start start
import -window "$win" "$out/english.png"
click 330 355
finish start
expect_settings start "0 1024 768 0 1 english 1252"
grep -q "valtor-demo: started as valtor.exe; window mode 0 (full screen), resolution 1024x768, quality 0 (normal), audio 1 (hardware), language english, code page 1252" "$gamelog" ||
    { echo "start: the game did not receive the settings:"; cat "$gamelog" "$run/launcher.log"; exit 1; }
grep -q "started as valtor.exe" "$run/launcher.log" || { echo "start: no game output"; exit 1; }
echo "start area: setup.dat written, valtor.exe started and received the settings"

# --- quit area: written, nothing started
prepare quit
start quit
click 330 405
finish quit
expect_settings quit "0 1024 768 0 1 english 1252"
[ ! -e "$gamelog" ] || { echo "quit: the game was started"; exit 1; }
echo "quit area: setup.dat written, nothing started"

# --- close request through the window manager
prepare close
start close
xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
xdotool key alt+F4                 # the window manager turns it into a close request
finish close
expect_settings close "0 1024 768 0 1 english 1252"
[ ! -e "$gamelog" ] || { echo "close: the game was started"; exit 1; }
echo "close request: setup.dat written, nothing started"

# --- language switch with real clicks, checked by screenshot pixels
prepare language
start language
import -window "$win" "$run/english.png"
click 80 411                        # the language list opens upwards: english deutsch polski russkij
import -window "$win" "$out/language-open.png"
click 100 $((348 + 1 * 13 + 6))     # its second entry, deutsch
sleep 0.5
import -window "$win" "$out/deutsch.png"
# Outside the five closed lists the window shows the deutsch picture exactly, and no longer the english one.
masked() {
    convert "$1" -fill black -draw "rectangle 60,174 200,202" -draw "rectangle 60,231 200,259" \
        -draw "rectangle 60,288 200,316" -draw "rectangle 60,344 200,372" -draw "rectangle 60,397 200,425" \
        -alpha off -depth 8 "$2"
}
masked "$out/deutsch.png" "$run/shown.png"
masked "$pictures/launcher_bg_deutsch.png" "$run/deutsch-picture.png"
masked "$pictures/launcher_bg_english.png" "$run/english-picture.png"
differ() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
[ "$(differ "$run/shown.png" "$run/deutsch-picture.png")" = 0 ] ||
    { echo "language: the background is not the deutsch picture ($(differ "$run/shown.png" "$run/deutsch-picture.png") pixels differ)"; exit 1; }
[ "$(differ "$run/shown.png" "$run/english-picture.png")" != 0 ] || { echo "language: still the english picture"; exit 1; }
# The lists repainted in German: the audio and window-mode boxes look different from before.
for box in "65+348" "65+292"; do
    a=$(convert "$run/english.png" -crop "130x20+${box}" +repage -depth 8 rgb:- | md5sum)
    b=$(convert "$out/deutsch.png" -crop "130x20+${box}" +repage -depth 8 rgb:- | md5sum)
    [ "$a" != "$b" ] || { echo "language: the list at $box still shows the english text"; exit 1; }
done
click 330 405
finish language
expect_settings language "0 1024 768 0 1 deutsch 1252"
echo "language switch: deutsch picture and texts shown, deutsch stored"
'
echo "screenshots in $out"
