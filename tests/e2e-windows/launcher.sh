#!/usr/bin/env bash
# launcher.exe of a Windows build under Wine, in a virtual X server with a window manager, in a copy of the
# build's game folder:
#   - a click on the start area writes setup.dat in the Windows per-user folder and starts the stand-in
#     game, which receives the settings;
#   - a click on the quit area writes setup.dat and starts nothing;
#   - without a mouse, Tab goes through the lists to the start area (with a ring around it) and Enter
#     starts the game;
#   - choosing another language repaints the picture (checked pixel for pixel outside the lists) and the
#     lists in that language's code page;
#   - the stored settings are honoured by the next start (the stored language's picture is shown).
#   launcher.sh BUILD WINE        (WINE: wine for the 32-bit build, /usr/lib/wine/wine64 for the 64-bit one)
# Screenshots go to BUILD/e2e/launcher/. Uses $VALTOR_E2E_WINEPREFIX when set, else a prefix of its own.
set -euo pipefail
build=$(cd "$1" && pwd)
WINE=$2
here=$(cd "$(dirname "$0")" && pwd)
out=$build/e2e/launcher
pictures=$build/assets/stage/data/launcher
for tool in xvfb-run openbox xdotool xwininfo import compare convert od "$WINE"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: skipped"; exit 77; }
done
[ -f "$build/game/launcher.exe" ] || { echo "$build/game/launcher.exe is missing"; exit 1; }
[ -f "$build/game/valtor.exe" ] || { echo "$build/game/valtor.exe (the stand-in game) is missing"; exit 1; }
rm -rf "$out"
mkdir -p "$out"
if [ -n "${VALTOR_E2E_WINEPREFIX:-}" ]; then
    export WINEPREFIX=$VALTOR_E2E_WINEPREFIX
else
    export WINEPREFIX=$out/prefix
fi
export out pictures build here WINE

timeout 280 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
openbox >/dev/null 2>&1 &
sleep 1
source "$here/../../scripts/wine-session.sh"
"$WINE" wineboot --init >/dev/null 2>&1 || true
userdata=$(wine_folder LOCALAPPDATA)/Quillfen/Valtor/1.0
settings=$userdata/setup.dat
gamelog=$userdata/valtor-demo.log
[ -n "$userdata" ] || { echo "no per-user folder from Wine"; exit 1; }

# A fresh game folder for each run; the stored settings stay unless asked to go.
prepare() {
    run=$out/$1
    mkdir -p "$run"
    cp -r "$build/game" "$run/game"
    rm -f "$gamelog"
    [ "${2:-}" = keep ] || rm -f "$settings"
}

# Starts the launcher, waits for its window and finds where the picture lies in it: sets pid, win, X, Y.
start() {
    (cd "$run/game" && exec "$WINE" launcher.exe) >"$run/launcher.log" 2>&1 &
    pid=$!
    win=$(wait_for_wine_window launcher.exe) || { echo "$1: no launcher window"; cat "$run/launcher.log"; exit 1; }
    sleep 1.5
    client_geometry "$win"
}

click() { click_at $((X + $1)) $((Y + $2)); }

finish() {
    wait_for_end "$pid"
    [ "$status" = 0 ] || { echo "$1: launcher exit code $status"; cat "$run/launcher.log"; exit 1; }
}

hexof() { od -An -v -tx1 "$1" | tr -d " \n"; }
field() { od -An -v -td4 -j "$2" -N 4 "$1" | tr -d " "; }
expect_settings() {  # run-name "window width height quality audio language codepage"
    [ -f "$settings" ] || { echo "$1: no setup.dat in $userdata"; exit 1; }
    [ "$(stat -c %s "$settings")" = 60 ] || { echo "$1: setup.dat is not 60 bytes"; exit 1; }
    [ "$(hexof "$settings" | cut -c1-8)" = bebaadde ] || { echo "$1: wrong magic"; exit 1; }
    got="$(field "$settings" 4) $(field "$settings" 8) $(field "$settings" 12) $(field "$settings" 16)"
    got="$got $(field "$settings" 20) $(dd if="$settings" bs=1 skip=24 count=32 2>/dev/null | tr -d "\0")"
    got="$got $(field "$settings" 56)"
    [ "$got" = "$2" ] || { echo "$1: setup.dat holds \"$got\", expected \"$2\""; exit 1; }
}

# The picture part of a screenshot, with the five lists blacked out. The client area starts at $client in
# the window (inside the thin border that Wine draws), and the window may be wider than the picture: Wine measures the
# dialog font its own way.
client=+0+0
masked() {
    convert "$1" -crop "438x429$client" +repage -fill black -draw "rectangle 60,174 200,202" \
        -draw "rectangle 60,231 200,259" -draw "rectangle 60,288 200,316" -draw "rectangle 60,344 200,372" \
        -draw "rectangle 60,397 200,425" -alpha off -depth 8 "$2"
}
masked "$pictures/launcher_bg_english.png" "$out/english-picture.png"
masked "$pictures/launcher_bg_russkij.png" "$out/russkij-picture.png"
shows() {  # screenshot language
    masked "$1" "$1.masked.png"
    [ "$(differing "$1.masked.png" "$out/$2-picture.png")" = 0 ]
}

# --- start area: settings written, the stand-in game started with them
prepare start
start start
import -window "$win" "$out/english.png"
for client in +0+0 +1+1 +2+2 none; do
    [ "$client" != none ] || { echo "start: the window does not show the english picture"; exit 1; }
    shows "$out/english.png" english && break
done
click 330 355
finish start
expect_settings start "0 1024 768 0 1 english 1252"
grep -q "started as valtor.exe; window mode 0 (full screen), resolution 1024x768" "$gamelog" ||
    { echo "start: the game did not receive the settings:"; cat "$gamelog" "$run/launcher.log" 2>&1; exit 1; }
echo "start area: setup.dat written in the per-user folder, valtor.exe started and received the settings"

# --- quit area: written, nothing started
prepare quit
start quit
click 330 405
finish quit
expect_settings quit "0 1024 768 0 1 english 1252"
[ ! -e "$gamelog" ] || { echo "quit: the game was started"; exit 1; }
echo "quit area: setup.dat written, nothing started"

# --- without a mouse: Tab goes through the five lists to the start area (ringed), Enter starts the game
prepare keyboard
start keyboard
xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
for _ in 1 2 3 4 5; do xdotool key Tab; sleep 0.2; done
sleep 0.5
import -window "$win" "$out/keyboard-start.png"
ring=$(convert "$out/keyboard-start.png" -crop "438x429$client" +repage -crop "1x1+264+334" -depth 8 txt:- |
    grep -o "#[0-9A-F]\{6\}" | head -1)
[ "$ring" = "#0078D7" ] || { echo "keyboard: no ring around the start area (pixel $ring)"; exit 1; }
xdotool key Return
finish keyboard
expect_settings keyboard "0 1024 768 0 1 english 1252"
grep -q "started as valtor.exe" "$gamelog" || { echo "keyboard: Enter on the start area started nothing"; exit 1; }
echo "keyboard: Tab reaches the start area after the lists, ringed; Enter starts the game"

# --- language switch: the list opened with a click, the next entry chosen with the keyboard
prepare language
start language
import -window "$win" "$run/before.png"
click 80 411
xdotool key Down Down Down
sleep 0.3
xdotool key Return
sleep 1.5
import -window "$win" "$out/russkij.png"
shows "$out/russkij.png" russkij ||
    { echo "language: the picture is not the russkij one ($(differing "$out/russkij.png.masked.png" "$out/russkij-picture.png") pixels differ)"; exit 1; }
for box in "65+348" "65+292"; do   # the audio and window-mode lists show other texts
    a=$(convert "$run/before.png" -crop "110x20+${box}" +repage -depth 8 rgb:- | md5sum)
    b=$(convert "$out/russkij.png" -crop "110x20+${box}" +repage -depth 8 rgb:- | md5sum)
    [ "$a" != "$b" ] || { echo "language: the list at $box still shows the english text"; exit 1; }
done
click 330 405
finish language
expect_settings language "0 1024 768 0 1 russkij 1251"
echo "language switch: russkij picture and texts shown (code page 1251), russkij stored"

# --- the stored settings are honoured: the next start is in russkij
prepare stored keep
start stored
import -window "$win" "$out/stored.png"
shows "$out/stored.png" russkij || { echo "stored: the stored language is not shown"; exit 1; }
click 330 405
finish stored
expect_settings stored "0 1024 768 0 1 russkij 1251"
echo "stored settings: the stored language shown again and kept"
'
echo "screenshots in $out"
