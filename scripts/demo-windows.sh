#!/usr/bin/env bash
# The scripted walk through launcher.exe under Wine for machines without a display (what
# `make run-windows` does there): the 32-bit launcher runs in build-win32/game/ inside a virtual X server
# with a window manager, in a Wine prefix of its own, and xdotool clicks through it like a player (a
# language switch, then the start area); the script shows what came out: the screenshots, the setup.dat
# written in the Windows per-user folder and what the stand-in game received.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
game=$root/build-win32/game
demo=$root/build-win32/demo
for tool in xvfb-run openbox xdotool xwininfo import od wine; do
    command -v "$tool" >/dev/null 2>&1 || { echo "The demo needs $tool; scripts/windows-deps.sh installs it."; exit 1; }
done
[ -f "$game/launcher.exe" ] || { echo "$game/launcher.exe is missing: build first (make run-windows does)."; exit 1; }
rm -rf "$demo"
mkdir -p "$demo"
export game demo root WINE=wine WINEPREFIX=$demo/prefix

echo "No display found: running launcher.exe under Wine in a virtual X server (Xvfb, 1024x768) with the"
echo "openbox window manager, clicked through by xdotool. The Wine prefix is $demo/prefix, not your own."
echo

timeout 240 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
step() { echo "  - $*"; }
openbox >/dev/null 2>&1 &
sleep 1
source "$root/scripts/wine-session.sh"
export VALTOR_DEMO_SECONDS=2
step "preparing the Wine prefix"
"$WINE" wineboot --init >/dev/null 2>&1 || true
wine_folder LOCALAPPDATA >"$demo/local-app-data.txt"
(cd "$game" && exec "$WINE" launcher.exe) >"$demo/game-output.txt" 2>&1 &
pid=$!
win=$(wait_for_wine_window launcher.exe) || { echo "The launcher window did not appear:"; cat "$demo/game-output.txt"; exit 1; }
sleep 1.5
client_geometry "$win"
step "started build-win32/game/launcher.exe under Wine; its window (${WIDTH}x$HEIGHT) is shown in English"
import -window "$win" "$demo/1-launcher-english.png"
click_at $((X + 80)) $((Y + 411))
step "clicked the language list: the system combo box opens with english, deutsch, polski, russkij"
import -window root "$demo/2-language-list.png"
xdotool key Down Down Down
sleep 0.3
xdotool key Return
sleep 1.5
step "chose russkij: background picture and lists now in Russian (code page 1251)"
import -window "$win" "$demo/3-launcher-russkij.png"
click_at $((X + 330)) $((Y + 355))
step "clicked the start area (the button drawn on the picture): the launcher wrote setup.dat and started valtor.exe"
sleep 1
import -window root "$demo/4-game-started.png"
wait_for_end "$pid"
step "the launcher ended with exit code $status"
'

userdata=$(cat "$demo/local-app-data.txt")/Quillfen/Valtor/1.0
settings=$userdata/setup.dat
source scripts/demo-report.sh
report_demo "$demo" "$settings" "launcher.exe"
log=$userdata/valtor-demo.log
if [ -f "$log" ]; then
    echo
    echo "What the stand-in game valtor.exe received (its log, $log):"
    sed "s/^/  /" "$log"
fi
exit 0
