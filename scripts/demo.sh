#!/usr/bin/env bash
# The scripted walk through the launcher for machines without a display (what `make run` does there):
# the launcher runs in build/game/ inside a virtual X server with a window manager, xdotool clicks through
# it like a player (a language switch, then the start area), and the script shows what came out: the
# screenshots, the setup.dat written and what the stand-in game received.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(pwd)/build
game=$build/game
demo=$build/demo
for tool in xvfb-run openbox xdotool import od; do
    command -v "$tool" >/dev/null 2>&1 || { echo "The demo needs $tool; scripts/bootstrap.sh installs it."; exit 1; }
done
[ -x "$game/launcher" ] || { echo "$game/launcher is missing: build first (make run does)."; exit 1; }
rm -rf "$demo"
mkdir -p "$demo/data"
export game demo

echo "No display found: running the launcher in a virtual X server (Xvfb, 1024x768) with the openbox window"
echo "manager, clicked through by xdotool. Its per-user folder is $demo/data, not your home."
echo

timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
step() { echo "  - $*"; }
openbox >/dev/null 2>&1 &
sleep 1
source scripts/x11-window.sh
export XDG_DATA_HOME=$demo/data SDL_VIDEODRIVER=x11 VALTOR_DEMO_SECONDS=2
(cd "$game" && exec ./launcher) >"$demo/game-output.txt" 2>&1 &
pid=$!
win=$(wait_for_window --onlyvisible --pid "$pid") ||
    { echo "The launcher window did not appear:"; cat "$demo/game-output.txt"; exit 1; }
sleep 0.7
eval "$(xdotool getwindowgeometry --shell "$win")"
click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep 0.6; }
step "started build/game/launcher; its window (${WIDTH}x$HEIGHT) is shown in English"
import -window "$win" "$demo/1-launcher-english.png"
click 80 411
step "clicked the language list: it opens upwards with english, deutsch, polski, russkij"
import -window "$win" "$demo/2-language-list.png"
click 100 $((348 + 3 * 13 + 6))
step "chose russkij: background picture and lists now in Russian"
import -window "$win" "$demo/3-launcher-russkij.png"
click 330 355
step "clicked the start area (the button drawn on the picture): the launcher wrote setup.dat and started the game"
WINDOW_WAIT_TENTHS=50 wait_for_window --onlyvisible --name "^Valtor\$" >/dev/null || true
sleep 0.5
import -window root "$demo/4-game-started.png"
step "the stand-in game showed what it received; the launcher waits until it ends"
status=0
wait "$pid" || status=$?
step "the launcher ended with exit code $status"
'

settings=$demo/data/Quillfen/Valtor/1.0/setup.dat
source scripts/demo-report.sh
report_demo "$demo" "$settings" "the launcher"
echo
echo "What the stand-in game received (its output):"
sed "s/^/  /" "$demo/game-output.txt"
log=$demo/data/Quillfen/Valtor/1.0/valtor-demo.log
[ -f "$log" ] && { echo "and its log ($log):"; sed "s/^/  /" "$log"; }
exit 0
